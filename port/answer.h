// The instrument's answer to a bank request, read from a port with the
// format library's message reading and the bank codec, as syx2text --all
// reads a capture: bytes before the dump are passed over, real-time bytes
// inside it too, and the dump must be whole.
#pragma once

#include <chrono>
#include <cstdint>

#include "formats/bank_codec.h"
#include "formats/byte_source.h"
#include "formats/input_stream.h"
#include "port.h"

namespace bank {

// A port as a byte source whose data end after `silence` without a byte:
// the wait is for the answer's first byte, and then for each next one, so a
// slow answer is read whole however long it takes. How the data ended (the
// silence, an interrupt, a failure) is kept.
class PortSource final : public ByteSource {
 public:
  PortSource(Port& port, Timekeeper& time, Clock::duration silence)
      : port_(port), time_(time), silence_(silence), deadline_(time.now() + silence) {}
  SourceRead read(std::span<std::uint8_t> room) override;
  std::uint64_t received() const { return received_; }
  const PortResult& ended() const { return ended_; }

 private:
  Port& port_;
  Timekeeper& time_;
  Clock::duration silence_;
  Clock::time_point deadline_;
  std::uint64_t received_ = 0;
  PortResult ended_;
};

enum class AnswerKind {
  bank,        // a whole bank dump that passed its checks
  none,        // no bank dump began before the data ended
  refused,     // a status message F0 43 60 cc F7 came instead
  damaged,     // a bank dump began but is damaged or cut; `fault` says how
  read_error,  // the data could not be read
};

struct Answer {
  AnswerKind kind = AnswerKind::none;
  BankData bank;                      // with AnswerKind::bank
  int status_code = 0;                // with AnswerKind::refused
  BankFault fault = BankFault::none;  // with AnswerKind::damaged
};

// Reads the first bank dump, or status message, from `in` to the end of its
// data (for a port, the silence after it).
Answer read_answer(InputStream& in);

}  // namespace bank
