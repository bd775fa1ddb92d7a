// The instrument's answer to a bank request, read from a port with the
// format library's header and block reading, as syx2text --all reads a
// capture: bytes before the dump are passed over, real-time bytes inside it
// too, and the dump is checked as syx2text checks a file.
#pragma once

#include <cstdint>

#include "formats/bank_data.h"
#include "formats/byte_source.h"
#include "formats/input_stream.h"
#include "lister/list_dump.h"
#include "port.h"

namespace bank {

// A port as a byte source whose data end at a deadline: what arrives before
// it, then nothing (nothing_yet: the port itself has no end).
class PortSource final : public ByteSource {
 public:
  PortSource(Port& port, Clock::time_point deadline) : port_(port), deadline_(deadline) {}
  SourceRead read(std::span<std::uint8_t> room) override;
  std::uint64_t received() const { return received_; }

 private:
  Port& port_;
  Clock::time_point deadline_;
  std::uint64_t received_ = 0;
};

enum class AnswerKind {
  bank,        // a whole bank dump that passed its checks
  none,        // no bank dump began before the data ended
  refused,     // a status message F0 43 60 cc F7 came instead
  damaged,     // a bank dump began but is damaged or cut; `fault` says how
  read_error,  // the port could not be read
};

struct Answer {
  AnswerKind kind = AnswerKind::none;
  BankData bank;                      // with AnswerKind::bank
  int status_code = 0;                // with AnswerKind::refused
  ListStatus fault = ListStatus::ok;  // with AnswerKind::damaged
};

// Reads the first bank dump, or status message, from `in` to the end of its
// data (for a port, the deadline).
Answer read_answer(InputStream& in);

}  // namespace bank
