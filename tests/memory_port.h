// A port in memory whose far end is the instrument model, on a clock the
// test moves: the transfers' logic runs in process at full speed, with no
// thread and no sleep. A wait moves the clock to its end; bytes sent reach
// the model at MIDI's rate; the model's answer arrives at the times it
// gives. On demand the port stalls, fails, or a cancel comes, at a packet
// or in one.
#pragma once

#include <optional>
#include <string>

#include "dump_fixtures.h"
#include "instrument/instrument_model.h"
#include "port/cancel.h"
#include "port/port.h"

namespace testing_support {

class TestClock final : public bank::Timekeeper {
 public:
  explicit TestClock(const bank::Cancel& cancel) : cancel_(cancel) {}
  bank::Clock::time_point now() override { return now_; }
  bool wait_until(bank::Clock::time_point deadline) override;
  void advance(bank::Clock::duration by) { now_ += by; }
  // The next wait ends `by` after its deadline: the sender woke late.
  void oversleep(bank::Clock::duration by) { oversleep_ = by; }

 private:
  const bank::Cancel& cancel_;
  bank::Clock::duration oversleep_{};
  bank::Clock::time_point now_{std::chrono::hours(1)};
};

struct PortFaults {
  int stall_send = 0;  // the send call (from 1) that leaves `stall` late
  int late_wake = 0;   // the send call whose wait before it ends `stall` late
  bank::Clock::duration stall{};
  int fail_send = 0;          // the send call that fails
  int fail_receive = 0;       // the receive call that fails
  int cancel_after_send = 0;  // the send call after which a cancel comes
  int cancel_in_send = 0;     // the send call cut by a cancel after half its bytes
  int cancel_after_receive = 0;  // the receive call after which a cancel comes
  // A send returns once the port has the bytes, before they are on the
  // wire (a device that cannot be drained, a driver that copies them).
  bool undrained = false;
};

class MemoryPort final : public bank::Port {
 public:
  MemoryPort(InstrumentModel& model, TestClock& clock, bank::Cancel& cancel, PortFaults faults = {})
      : model_(model), clock_(clock), cancel_(cancel), faults_(faults) {}
  bank::PortResult send(std::span<const std::uint8_t> bytes) override;
  bank::PortResult receive(std::span<std::uint8_t> room, bank::Clock::time_point deadline) override;
  bank::PortResult discard_input() override;
  bank::PortResult close() override { return {}; }
  int sends() const { return sends_; }

 private:
  InstrumentModel& model_;
  TestClock& clock_;
  bank::Cancel& cancel_;
  PortFaults faults_;
  std::vector<std::uint8_t> pending_;  // arrived, not yet read
  // A transfer that never ends fails here instead of hanging the test.
  bank::Clock::time_point hour_over_ = clock_.now() + std::chrono::hours(1);
  bank::Clock::time_point wire_free_{};  // when the bytes taken have left
  int sends_ = 0;
  int receives_ = 0;
};

}  // namespace testing_support
