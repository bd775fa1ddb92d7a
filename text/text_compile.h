// A bank text read as text2syx reads it, for the programs that compile one:
// the voice table cleared, the text read, its definitions counted, and what
// is said of it (warnings with -w, the error that refuses it).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "bank_state.h"
#include "system/input_stream.h"

namespace bank {

// A bank text defines at least this many voice headers and parameter lines.
inline constexpr std::int64_t kMinimumDefinitions = 7;

struct TextReading {
  std::int64_t bad_line = 0;  // the first malformed line; 0 for none
  bool read_failed = false;   // the input could not be read to its end
  bool accepted = false;      // a dump can be built from what was read
  bool holds_dump = false;    // the input begins as a bank dump or a MIDI file does
  bool config_text = false;   // it has a CONFIG line: a configuration text, read no further
  std::string warnings;       // what -w prints: empty without it
};

// Reads `in` into `state` (whose options are kept), with warnings when
// asked for.
TextReading read_text_for_dump(InputStream& in, BankState& state, bool with_warnings);

// Appends the error of a text that was not accepted, as text2syx prints
// it; `input_name` names the input in a read error.
void append_text_error(std::string& out, const TextReading& reading, const BankState& state,
                       std::string_view input_name);

}  // namespace bank
