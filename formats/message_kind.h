// A kind of message the instrument exchanges, as a transfer sees it: how
// it is asked for, how its answer is told among the bytes that come back
// and decoded, the packets and schedule it is sent in, and how a message
// read back is compared with the one sent. A transfer takes a kind and
// knows no more of it; each kind is one codec beside its wire format (the
// bank in bank_codec.h, the configuration in config_dump.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bank_codec.h"
#include "packet_schedule.h"
#include "system/input_stream.h"

namespace bank {

// A message of the kind as read from what the instrument sent.
struct KindRead {
  enum class State {
    other,       // no message of this kind's answer: passed over
    whole,       // the answer, whole and passing its checks
    damaged,     // the answer began but is damaged or cut; `fault` says how
    read_error,  // the data could not be read
  };
  State state = State::other;
  std::vector<std::uint8_t> message;  // whole: the message as the kind encodes it
  BankFault fault = BankFault::none;  // damaged: how
};

// A kind's answer as its codec decoded it: whole (`message` the kind's
// encoding of it), damaged, or not readable.
inline KindRead kind_read_of(BankFault fault, std::vector<std::uint8_t> message) {
  KindRead read;
  read.fault = fault == BankFault::read_error ? BankFault::none : fault;
  read.state = fault == BankFault::none         ? KindRead::State::whole
               : fault == BankFault::read_error ? KindRead::State::read_error
                                                : KindRead::State::damaged;
  if (fault == BankFault::none) read.message = std::move(message);
  return read;
}

class MessageKind {
 public:
  MessageKind() = default;
  MessageKind(const MessageKind&) = delete;
  MessageKind& operator=(const MessageKind&) = delete;
  virtual ~MessageKind() = default;

  // What the message is called in progress lines, warnings and errors:
  // "bank", "configuration".
  virtual std::string_view noun() const = 0;
  // The message that asks the instrument of `system_number` for it.
  virtual std::vector<std::uint8_t> request(int system_number) const = 0;
  // Its size on the wire, which the progress counts against.
  virtual std::size_t message_size() const = 0;
  // Reads the message that begins at the stream's F0, consuming at least
  // the F0: the kind's answer from `system_number`, or `other`.
  virtual KindRead read(InputStream& in, int system_number) const = 0;
  // The timed packets that send `message` (one the kind encoded) to the
  // instrument of `system_number`; `gap_ms` paces a message sent in parts.
  virtual std::vector<TimedPacket> packets(std::span<const std::uint8_t> message,
                                           int system_number, std::uint32_t gap_ms) const = 0;
  // What differs between a message sent and the one read back, as a text
  // names it; empty when the instrument holds what was sent.
  virtual std::string differences(std::span<const std::uint8_t> sent,
                                  std::span<const std::uint8_t> back) const = 0;
};

}  // namespace bank
