// Reads arbitrary text as a bank text, with and without warnings, from
// memory and through a buffer of a few bytes: every reading must store the
// same, and both readings with warnings must warn alike. When the text is accepted, builds the
// message and decodes it again: 6363 bytes, the right header, 49 blocks of
// the right sizes with every checksum good, and the closing F7.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>

#include "text/bank_text_reader.h"
#include "compiler/dump_builder.h"
#include "formats/block_codec.h"
#include "system/chunked_source.h"
#include "formats/header.h"
#include "system/input_stream.h"
#include "fuzz_check.h"

namespace {

bool same_reading(const bank::BankState& a, const bank::BankState& b) {
  return a.reader_error == b.reader_error && a.definition_count == b.definition_count &&
         a.bank_name == b.bank_name && std::memcmp(&a.voices, &b.voices, sizeof a.voices) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto state = std::make_unique<bank::BankState>();
  state->system_number = size % 16 == 0 ? 15 : 3;
  state->bank_number = size % 2 == 0 ? 1 : 0;
  bank::InputStream in = bank::memory_input(std::span(data, size));
  const std::int64_t line = bank::read_bank_text(in, *state);

  auto warned = std::make_unique<bank::BankState>();
  warned->system_number = state->system_number;
  warned->bank_number = state->bank_number;
  bank::ReaderWarnings warnings;
  bank::InputStream again = bank::memory_input(std::span(data, size));
  check(bank::read_bank_text(again, *warned, &warnings) == line && same_reading(*warned, *state),
        "reading with warnings stores something else");
  // The same text through a tiny buffer, as a file that hands over a few
  // bytes at a time: lines straddle every refill.
  auto small = std::make_unique<bank::BankState>();
  bank::ReaderWarnings small_warnings;
  bank::InputStream chunked = bank::chunked_input(std::span(data, size), 1 + size % 13);
  check(bank::read_bank_text(chunked, *small, &small_warnings) == line &&
            same_reading(*small, *state),
        "reading through a small buffer stores something else");
  check(small_warnings.lines.size() == warnings.lines.size(), "a small buffer warns otherwise");
  for (std::size_t i = 0; i < warnings.lines.size(); ++i)
    check(bank::format_warning(small_warnings.lines[i]) == bank::format_warning(warnings.lines[i]),
          "a small buffer warns otherwise");
  for (const bank::ReaderWarning& w : warnings.lines)
    check(w.line >= 1 && (line == 0 || w.line < line), "a warning outside the lines read");
  if (line != 0) {
    check(state->reader_error >= 1 &&
              bank::reader_error_message(state->reader_error) != bank::reader_error_message(0),
          "an error code with no message");
    return 0;
  }
  bank::build_bulk_dump(*state);

  const std::span<const std::uint8_t> message(state->message);
  bank::InputStream decoded = bank::memory_input(message);
  const auto header = bank::read_message_header(decoded, bank::kAnyVoiceMessage);
  check(header && header->form == bank::MessageForm::bank_dump, "header not a bulk dump");
  check(header->system_number == state->system_number && header->number == state->bank_number,
        "system or bank number not in the header");
  bank::Block block;
  for (int i = 0; i < bank::kBlockCount; ++i) {
    check(bank::read_block(decoded, block) == bank::BlockFault::none, "a block does not decode");
    check(block.data.size() == (i == 0 ? bank::kBankNameDataSize : bank::kVoiceDataSize),
          "a block of the wrong size");
    for (std::size_t k = 0; k < bank::kNameLength; ++k)
      check(block.data[k] >= 0x20 && block.data[k] <= 0x7F, "a name character not cleaned");
  }
  check(bank::next_byte(decoded) == bank::kSysExEnd && bank::next_byte(decoded) == -1,
        "no F7 at the end, or bytes after it");
  return 0;
}
