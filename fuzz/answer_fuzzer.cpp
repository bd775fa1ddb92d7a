// Reads arbitrary bytes as an instrument's answer on a port: handed over in
// pieces of arbitrary sizes, and then "nothing yet" for ever, the most a
// source can hold the reading up once its data stop. Whatever the bytes and
// pieces, the reading must end (never asking again and again), and find
// exactly what it finds in the same bytes read whole from memory.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "system/byte_source.h"
#include "system/input_stream.h"
#include "formats/bank_kind.h"
#include "formats/config_kind.h"
#include "fuzz_check.h"
#include "port/answer.h"

namespace {

// The first byte of the input sets the sizes of the pieces.
class PieceSource final : public bank::ByteSource {
 public:
  PieceSource(std::span<const std::uint8_t> bytes, std::uint8_t seed)
      : bytes_(bytes), seed_(seed) {}
  bank::SourceRead read(std::span<std::uint8_t> room) override {
    if (bytes_.empty()) {
      check(++asked_after_end_ < 1000, "the reading waits on past its deadline");
      return {bank::SourceState::nothing_yet};
    }
    seed_ = static_cast<std::uint8_t>(seed_ * 73 + 41);
    const std::size_t n = std::min({room.size(), bytes_.size(), std::size_t{1} + seed_ % 97});
    std::copy_n(bytes_.begin(), n, room.begin());
    bytes_ = bytes_.subspan(n);
    return {bank::SourceState::bytes, n};
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::uint8_t seed_;
  int asked_after_end_ = 0;
};

bool same(const bank::Answer& a, const bank::Answer& b) {
  if (a.kind != b.kind) return false;
  switch (a.kind) {
    case bank::AnswerKind::whole: return a.message == b.message;
    case bank::AnswerKind::refused: return a.status_code == b.status_code;
    case bank::AnswerKind::damaged: return a.fault == b.fault;
    case bank::AnswerKind::none:
    case bank::AnswerKind::read_error: return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::span<const std::uint8_t> bytes(data + 1, size - 1);
  bank::InputStream whole = bank::memory_input(bytes);
  // The kind and system asked for, from the same byte: a bank (0-6) or a
  // configuration (the current one, 1-2); messages of others are passed
  // over.
  const int system_number = data[0] >> 4 & 0x0F;
  const int asked = (data[0] >> 1) % 10;
  const bank::BankKind bank_kind(asked % 7);
  const bank::ConfigKind config_kind(asked - 8);
  const bank::MessageKind& kind =
      asked < 7 ? static_cast<const bank::MessageKind&>(bank_kind) : config_kind;
  const bank::Answer expected = bank::read_answer(whole, system_number, kind);
  check(expected.kind != bank::AnswerKind::read_error, "memory cannot fail to read");
  // Through a buffer as small as a few bytes, or as large as a port's.
  PieceSource pieces(bytes, data[0]);
  bank::InputStream in = bank::source_input(pieces, 1 + data[0] % 64);
  check(same(bank::read_answer(in, system_number, kind), expected),
        "pieces are read otherwise than the whole");
  return 0;
}
