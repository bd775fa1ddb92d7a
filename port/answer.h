// The instrument's answer to a request, read from a port with the codec of
// the kind asked for, as syx2text --all reads a capture: bytes before the
// message are passed over, real-time bytes inside it too, and the message
// must be whole.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "formats/message_kind.h"
#include "system/byte_source.h"
#include "system/input_stream.h"
#include "port.h"

namespace bank {

// However the port goes on bringing bytes, an answer read from it ends
// this long after its silence would first have ended it.
inline constexpr std::chrono::seconds kLongestAnswer{10};

// A port as a byte source whose data end after `silence` without a byte of
// a System Exclusive message: the wait is for the answer's first byte, and
// then for each next one, so a slow answer is read whole however long it
// takes. Bytes that are no part of such a message (active sensing, clock,
// a keyboard's notes, a device that sends zeros for ever) do not renew the
// silence, and whatever comes, the data end `longest` after the first
// silence would have ended them. How the data ended (the silence, an
// interrupt, a failure) is kept. `in_message`: the bytes to come continue a
// message already open.
class PortSource final : public ByteSource {
 public:
  PortSource(Port& port, Timekeeper& time, Clock::duration silence, bool in_message = false,
             Clock::duration longest = kLongestAnswer)
      : port_(port),
        time_(time),
        silence_(silence),
        deadline_(time.now() + silence),
        limit_(deadline_ + longest),
        in_message_(in_message) {}
  SourceRead read(std::span<std::uint8_t> room) override;
  std::uint64_t received() const { return received_; }
  const PortResult& ended() const { return ended_; }

 private:
  // Whether `bytes` hold a byte of a System Exclusive message.
  bool renews(std::span<const std::uint8_t> bytes);

  Port& port_;
  Timekeeper& time_;
  Clock::duration silence_;
  Clock::time_point deadline_;
  Clock::time_point limit_;
  bool in_message_;  // an F0 was read, and nothing has ended its message
  std::uint64_t received_ = 0;
  PortResult ended_;
};

enum class AnswerKind {
  whole,       // the message asked for, whole and passing its checks
  none,        // no such message began before the data ended
  refused,     // a status message F0 43 60 cc F7 came instead
  damaged,     // the message began but is damaged or cut; `fault` says how
  read_error,  // the data could not be read
};

struct Answer {
  AnswerKind kind = AnswerKind::none;
  std::vector<std::uint8_t> message;  // with AnswerKind::whole, as the kind encodes it
  int status_code = 0;                // with AnswerKind::refused
  BankFault fault = BankFault::none;  // with AnswerKind::damaged
};

// Reads the first message of `kind` from system `system_number`, or status
// message, from `in` to the end of its data (for a port, the silence after
// it). Any other message (an echo, another instrument on the cable) is
// passed over.
Answer read_answer(InputStream& in, int system_number, const MessageKind& kind);

// Reads and passes over what the port brings until no System Exclusive
// byte has come for `quiet`: the rest of an answer that turned out damaged,
// so that the instrument is not asked again while it talks, nor left
// talking.
PortResult wait_for_quiet(Port& port, Timekeeper& time, Clock::duration quiet);

}  // namespace bank
