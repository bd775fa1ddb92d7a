#include "text_compile.h"

#include "bank_text_reader.h"
#include "system/fixed_text.h"
#include "formats/message_layout.h"
#include "formats/midi_file.h"
#include "reader_warnings.h"

namespace bank {
namespace {

// text2syx's texts, kept word for word (see system/fixed_text.h).
constexpr std::string_view kErrorInLine = "Error in line %d: %s";
constexpr std::string_view kNotABankText = "It seems not be a FB-01 text\n";
constexpr std::string_view kDumpNotText =
    "%s holds a bank dump, not a text: syx2text lists it as one\n";

}  // namespace

TextReading read_text_for_dump(InputStream& in, BankState& state, bool with_warnings) {
  // Everything the reader fills starts afresh, so a state read into before
  // (its name, definitions, voices, the spare record) counts for nothing.
  state.reader_error = 0;
  state.definition_count = 0;
  state.bank_name = {};
  state.voices = {};
  ReaderWarnings warnings;
  TextReading reading;
  const std::span<const std::uint8_t> start = peek_bytes(in, 1);
  reading.holds_dump = (!start.empty() && start[0] == kSysExStart) || is_midi_file(in);
  reading.bad_line = read_bank_text(in, state, with_warnings ? &warnings : nullptr);
  reading.read_failed = failed(in);
  reading.config_text = reading.bad_line != 0 && state.reader_error == kConfigTextLine;
  reading.accepted = reading.bad_line == 0 && !reading.read_failed &&
                     state.definition_count >= kMinimumDefinitions;
  if (with_warnings)
    reading.warnings = warnings_text(warnings, reading.bad_line == 0 && !reading.read_failed);
  return reading;
}

void append_text_error(std::string& out, const TextReading& reading, const BankState& state,
                       std::string_view input_name) {
  if (reading.bad_line != 0)
    append_text(out, kErrorInLine, {reading.bad_line, reader_error_message(state.reader_error)});
  else if (reading.read_failed)
    append_text(out, kCannotReadText, {input_name});
  else if (state.definition_count < kMinimumDefinitions)
    append_text(out, kNotABankText);
  if (reading.holds_dump) append_text(out, kDumpNotText, {input_name});
}

}  // namespace bank
