// Cancelling a transfer: SIGINT, SIGTERM and SIGHUP (Ctrl-C and the
// console's close on Windows) set the one Cancel of the process, and it
// wakes every wait of the port and of the schedule at once, so that the
// program can end an open System Exclusive message, give the port back as
// it was and say so before it exits.
#pragma once

#include "port.h"

namespace bank {

class Cancel {
 public:
  Cancel();
  ~Cancel();
  Cancel(const Cancel&) = delete;
  Cancel& operator=(const Cancel&) = delete;

  // Safe in a signal handler.
  void cancel();
  bool cancelled() const;
#ifdef _WIN32
  // An event that is set once cancelled, for the waits.
  void* wake_event() const { return event_; }

 private:
  void* event_ = nullptr;
#else
  // A descriptor that becomes readable once cancelled, for poll.
  int wake_fd() const { return read_fd_; }

 private:
  int read_fd_ = -1;
  int write_fd_ = -1;
#endif
};

// Lets the interrupts set `cancel`; call before the port is opened. The
// handlers do not restart system calls, so a blocking drain ends too.
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
