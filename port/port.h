// A MIDI port as the transfers see it: bytes written whole and sent on,
// bytes read as they arrive until a deadline, and the clock the transfers
// pace and wait by. Each call says how it ended, with the system's own words
// for a failure, so that nothing about a device reaches the transfers but
// these results. The device code implements Port over the system's
// interface; the tests over a model of the instrument on a clock they move.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

namespace bank {

using Clock = std::chrono::steady_clock;

enum class PortState {
  ok,
  deadline,   // receive: nothing arrived before the deadline
  cancelled,  // an interrupt came (see cancel.h)
  failed,     // the port failed, or reported its end; `words` says how
};

struct PortResult {
  PortState state = PortState::ok;
  std::size_t count = 0;  // receive: the bytes read
  std::string words;      // failed: the system's words for the fault
};

inline PortResult port_result(PortState state, std::size_t count = 0) {
  PortResult result;
  result.state = state;
  result.count = count;
  return result;
}
inline PortResult port_failure(std::string words) {
  PortResult result = port_result(PortState::failed);
  result.words = std::move(words);
  return result;
}

class Port {
 public:
  Port() = default;
  Port(const Port&) = delete;
  Port& operator=(const Port&) = delete;
  virtual ~Port() = default;

  // Writes every byte and waits until they have left the port. An interrupt
  // ends only a wait: bytes that can go at once still go, so that the F7
  // closing a message cut short by one is sent.
  virtual PortResult send(std::span<const std::uint8_t> bytes) = 0;
  // Reads what has arrived, up to room.size() bytes, waiting for it until
  // `deadline` at most.
  virtual PortResult receive(std::span<std::uint8_t> room, Clock::time_point deadline) = 0;
  // Passes over whatever has arrived and not been read.
  virtual PortResult discard_input() = 0;
  // Passes over what is pending and gives the port back as it was found (a
  // terminal's settings restored). Closing again does nothing.
  virtual PortResult close() = 0;
};

// The time the transfers keep: the system's steady clock, or one a test
// moves.
class Timekeeper {
 public:
  Timekeeper() = default;
  Timekeeper(const Timekeeper&) = delete;
  Timekeeper& operator=(const Timekeeper&) = delete;
  virtual ~Timekeeper() = default;

  virtual Clock::time_point now() = 0;
  // Waits until `deadline`; false when an interrupt ended the wait.
  virtual bool wait_until(Clock::time_point deadline) = 0;
};

}  // namespace bank
