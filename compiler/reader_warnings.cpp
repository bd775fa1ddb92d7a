#include "reader_warnings.h"

#include <cstdio>

namespace bank {
namespace {

// One fixed text for each code. %L is the label, %T and %C the texts,
// %1 to %4 the numbers.
std::string_view warning_text(WarningCode code) {
  switch (code) {
    case WarningCode::not_a_keyword: return "\"%T:\" is not a keyword; the line is ignored";
    case WarningCode::tab_before_keyword: return "a tab stands before \"%T\"; the line is ignored";
    case WarningCode::value_outside: return "%L %1 is outside %2 to %3; %4 is stored";
    case WarningCode::lists_back_as: return "%L %1 is stored, but lists back as %2";
    case WarningCode::voice_above_range:
      return "voice %1 is outside 1 to 48; its lines are ignored";
    case WarningCode::voice_below_range: return "voice %1 is outside 1 to 48; voice 1 is used";
    case WarningCode::no_colon_after_voice:
      return "no ':' after the voice number; its lines are ignored";
    case WarningCode::operator_outside: return "operator %1 is outside 1 to 4; operator %2 is used";
    case WarningCode::voice_defined_again:
      return "voice %1 is defined again (first in line %2); the later lines win";
    case WarningCode::no_voice_header_yet: return "no voice header yet; voice 1 is used";
    case WarningCode::name_cut: return "name \"%T\" is cut to \"%C\"";
    case WarningCode::name_character: return "name character %X is stored as a space";
    case WarningCode::text_after_values: return "text after the last value is ignored";
  }
  return "";
}

void append_hex_byte(std::string& out, std::int64_t byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(byte & 0xFF));
  out += text;
}

}  // namespace

std::string format_warning(const ReaderWarning& warning) {
  std::string out = "Warning in line " + std::to_string(warning.line) + ": ";
  const std::string_view text = warning_text(warning.code);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char key = text[++i];
    if (key == 'L') out += warning.label;
    if (key == 'T') out += warning.text;
    if (key == 'C') out += warning.cut;
    if (key == 'X') append_hex_byte(out, warning.numbers[0]);
    if (key >= '1' && key <= '4')
      out += std::to_string(warning.numbers[static_cast<std::size_t>(key - '1')]);
  }
  out += '\n';
  return out;
}

std::string summary_warnings(const ReaderWarnings& warnings) {
  std::string out;
  if (!warnings.bank_name_seen) out += "Warning: no bank name line; the bank name is blank\n";
  std::string ranges;
  int undefined = 0;
  int last = 0;
  for (int v = 1; v <= kVoiceCount; v = last + 1) {
    last = v;
    if (warnings.defined[static_cast<std::size_t>(v - 1)]) continue;
    while (last < kVoiceCount && !warnings.defined[static_cast<std::size_t>(last)]) ++last;
    if (!ranges.empty()) ranges += ", ";
    ranges += std::to_string(v);
    if (last > v) {
      ranges += '-';
      ranges += std::to_string(last);
    }
    undefined += last - v + 1;
  }
  if (undefined == 1) out += "Warning: voice " + ranges + " is not defined; it is blank\n";
  if (undefined > 1) out += "Warning: voices " + ranges + " are not defined; they are blank\n";
  return out;
}

}  // namespace bank
