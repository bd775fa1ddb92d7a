// Cancelling a transfer: SIGINT, SIGTERM and SIGHUP (Ctrl-C and the
// console's close on Windows) set the one Cancel of the process, and it
// wakes every wait of the port and of the schedule at once, so that the
// program can end an open System Exclusive message, give the port back as
// it was and say so before it exits.
#pragma once

#include <atomic>

#include "port.h"

namespace bank {

class Cancel {
 public:
  Cancel();
  ~Cancel();
  Cancel(const Cancel&) = delete;
  Cancel& operator=(const Cancel&) = delete;

  // Safe in a signal handler. The flag alone carries the cancel where the
  // system gave nothing to wake a wait with: every read and every wait
  // looks at it, and a wait without its wake-up looks again within
  // kCancelLookMs.
  void cancel();
  bool cancelled() const { return flag_.load(); }
#ifdef _WIN32
  // An event that is set once cancelled, for the waits.
  void* wake_event() const { return event_; }

 private:
  std::atomic<bool> flag_{false};
  void* event_ = nullptr;
#else
  // A descriptor that becomes readable once cancelled, for poll.
  int wake_fd() const { return read_fd_; }

 private:
  std::atomic<bool> flag_{false};
  int read_fd_ = -1;
  int write_fd_ = -1;
#endif
};
static_assert(std::atomic<bool>::is_always_lock_free);

// How long a wait goes on before it looks at the flag again where the
// cancel has no wake-up.
inline constexpr int kCancelLookMs = 50;

// Lets the interrupts set `cancel` while it lives; call before the port is
// opened. The handlers do not restart system calls, so a blocking drain
// ends too. When `cancel` ends, the interrupts do again what they did
// before, so that one after the transfer is not swallowed.
void cancel_on_interrupts(Cancel& cancel);

// The system's steady clock, whose waits end at `cancel`.
class SystemTimekeeper final : public Timekeeper {
 public:
  explicit SystemTimekeeper(const Cancel& cancel) : cancel_(cancel) {}
  Clock::time_point now() override { return Clock::now(); }
  bool wait_until(Clock::time_point deadline) override;

 private:
  const Cancel& cancel_;
};

}  // namespace bank
