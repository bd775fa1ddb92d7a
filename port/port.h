// A MIDI port as the transfers see it: bytes written whole and sent on,
// bytes read as they arrive until a deadline. The device code implements it
// over a file descriptor; nothing else about a device reaches the transfers.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>

namespace bank {

using Clock = std::chrono::steady_clock;

class Port {
 public:
  Port() = default;
  Port(const Port&) = delete;
  Port& operator=(const Port&) = delete;
  virtual ~Port() = default;

  // Writes every byte and waits until they have left the port. False on a
  // failure or an interrupt (see interrupts.h).
  virtual bool send(std::span<const std::uint8_t> bytes) = 0;
  // Reads what has arrived, up to room.size() bytes, waiting for it until
  // `deadline` at most: the count, 0 when the deadline passed first or an
  // interrupt came, -1 on a failure.
  virtual std::int64_t receive(std::span<std::uint8_t> room, Clock::time_point deadline) = 0;
  // Passes over whatever has arrived and not been read.
  virtual void discard_input() = 0;
};

}  // namespace bank
