#include "memory_port.h"

#include <algorithm>

#include "formats/packet_schedule.h"

namespace testing_support {

bool TestClock::wait_until(bank::Clock::time_point deadline) {
  if (cancel_.cancelled()) return false;
  now_ = std::max(now_, deadline) + oversleep_;
  oversleep_ = {};
  return true;
}

bank::PortResult MemoryPort::send(std::span<const std::uint8_t> bytes) {
  ++sends_;
  if (sends_ == faults_.fail_send) return bank::port_failure("Input/output error");
  if (sends_ == faults_.stall_send) clock_.advance(faults_.stall);
  if (sends_ == faults_.cancel_in_send) {
    bytes = bytes.first(bytes.size() / 2);
    cancel_.cancel();
  }
  const bank::Clock::time_point on_wire = std::max(clock_.now(), wire_free_);
  model_.take(bytes, on_wire, bank::wire_time(1));
  wire_free_ = on_wire + bank::wire_time(bytes.size());
  if (!faults_.undrained) clock_.wait_until(wire_free_);  // drained when the last byte has left
  if (sends_ == faults_.cancel_after_send) cancel_.cancel();
  if (sends_ + 1 == faults_.late_wake) clock_.oversleep(faults_.stall);
  if (sends_ == faults_.cancel_in_send) return bank::port_result(bank::PortState::cancelled);
  return {};
}

bank::PortResult MemoryPort::receive(std::span<std::uint8_t> room,
                                     bank::Clock::time_point deadline) {
  ++receives_;
  if (receives_ == faults_.fail_receive) return bank::port_failure("Input/output error");
  if (receives_ == faults_.cancel_after_receive + 1 && faults_.cancel_after_receive > 0)
    cancel_.cancel();
  for (;;) {
    if (cancel_.cancelled()) return bank::port_result(bank::PortState::cancelled);
    if (clock_.now() > hour_over_) return bank::port_failure("an hour went by");
    const std::vector<std::uint8_t> due = model_.due(clock_.now());
    pending_.insert(pending_.end(), due.begin(), due.end());
    if (!pending_.empty()) {
      const std::size_t n = std::min(room.size(), pending_.size());
      std::copy_n(pending_.begin(), n, room.begin());
      pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
      return bank::port_result(bank::PortState::ok, n);
    }
    const std::optional<bank::Clock::time_point> next = model_.next_due();
    if (!next || *next > deadline) {
      clock_.wait_until(deadline);
      return bank::port_result(bank::PortState::deadline);
    }
    clock_.wait_until(*next);
  }
}

bank::PortResult MemoryPort::discard_input() {
  model_.due(clock_.now());
  pending_.clear();
  return {};
}

}  // namespace testing_support
