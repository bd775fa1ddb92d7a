// What the reader notices, with -w, in a text it accepts: lines it ignores
// that look like definitions, values cut to their fields, voice and
// operator numbers it brings into range, names it cuts or cleans. None of
// these changes what is read; they are reported so that a slip in a
// hand-edited text does not pass unseen.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/message_layout.h"

namespace bank {

// The values of each warning, in the order its text names them.
enum class WarningCode {
  not_a_keyword,         // the word before the colon
  keyword_without_colon,  // the keyword as written
  tab_before_keyword,    // the keyword as written
  value_outside,         // label, value as written, lowest, highest, stored
  lists_back_as,         // label, value, listed
  voice_above_range,     // voice number as written
  voice_outside,         // voice number as written, voice used
  no_colon_after_voice,  //
  operator_outside,      // operator number as written, operator used
  voice_defined_again,   // voice, line of its first header
  no_voice_header_yet,   //
  name_cut,              // the name as written, what is kept
  name_character,        // the byte
  text_after_values,     //
  raw_bits_not_free,     // value as written, byte, its free bits, stored
};

// A value of a warning, kept until the warning is printed.
struct WarningValue {
  std::int64_t number = 0;
  std::string text;
  bool is_text = false;
};

struct ReaderWarning {
  std::int64_t line = 0;
  WarningCode code = WarningCode::not_a_keyword;
  std::vector<WarningValue> values;
};

// Collected while reading, for one text.
struct ReaderWarnings {
  std::vector<ReaderWarning> lines;  // in line order, and in column order within a line
  bool utf16 = false;                // the text begins with a UTF-16 byte-order mark
  bool bank_name_seen = false;
  // The line of the first header that selected each voice (0: none yet).
  std::array<std::int64_t, kVoiceCount> first_header{};
  // Voices that a header selected or a parameter line reached.
  std::array<bool, kVoiceCount> defined{};
};

// "Warning in line N: TEXT\n"
std::string format_warning(const ReaderWarning& warning);

// The warnings about the whole text, for a text read to its end: no bank
// name line, and the voices it left undefined, as ranges ("2-5, 9, 13-48").
std::string summary_warnings(const ReaderWarnings& warnings);

// Everything -w prints for a text: the warning about its encoding, the
// line warnings, and the summary when `summary` is set.
std::string warnings_text(const ReaderWarnings& warnings, bool summary);

}  // namespace bank
