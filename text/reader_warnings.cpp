#include "reader_warnings.h"

#include "system/fixed_text.h"

namespace bank {
namespace {

// One fixed text for each code; its values fill the placeholders in order.
std::string_view warning_text(WarningCode code) {
  switch (code) {
    case WarningCode::not_a_keyword: return "\"%s:\" is not a keyword; the line is ignored";
    case WarningCode::keyword_without_colon:
      return "\"%s\" is not followed by its colon; the line is ignored";
    case WarningCode::tab_before_keyword: return "a tab stands before \"%s\"; the line is ignored";
    case WarningCode::value_outside: return "%s %s is outside %d to %d; %d is stored";
    case WarningCode::lists_back_as: return "%s %d is stored, but lists back as %d";
    case WarningCode::voice_above_range:
      return "voice %s is outside 1 to 48; its lines are ignored";
    case WarningCode::voice_outside: return "voice %s is outside 1 to 48; voice %d is used";
    case WarningCode::no_colon_after_voice:
      return "no ':' after the voice number; its lines are ignored";
    case WarningCode::operator_outside: return "operator %s is outside 1 to 4; operator %d is used";
    case WarningCode::voice_defined_again:
      return "voice %d is defined again (first in line %d); the later lines win";
    case WarningCode::no_voice_header_yet: return "no voice header yet; voice 1 is used";
    case WarningCode::name_cut: return "name \"%s\" is cut to \"%s\"";
    case WarningCode::name_character: return "name character 0x%02X is stored as a space";
    case WarningCode::text_after_values: return "text after the last value is ignored";
    case WarningCode::raw_bits_not_free:
      return "RAW %s for byte %d sets bits outside the free bits 0x%02X; %d is stored";
  }
  return "";
}

constexpr std::string_view kLineWarning = "Warning in line %d: ";
constexpr std::string_view kUtf16 = "Warning: the text is UTF-16; save it as ASCII or UTF-8\n";
constexpr std::string_view kNoBankName = "Warning: no bank name line; the bank name is blank\n";
constexpr std::string_view kOneVoiceUndefined = "Warning: voice %s is not defined; it is blank\n";
constexpr std::string_view kVoicesUndefined =
    "Warning: voices %s are not defined; they are blank\n";

}  // namespace

std::string format_warning(const ReaderWarning& warning) {
  std::string out = filled_text(kLineWarning, {warning.line});
  std::vector<TextArg> args;
  args.reserve(warning.values.size());
  for (const WarningValue& v : warning.values)
    args.push_back(v.is_text ? TextArg(v.text) : TextArg(v.number));
  append_text(out, warning_text(warning.code), args);
  out += '\n';
  return out;
}

std::string summary_warnings(const ReaderWarnings& warnings) {
  std::string out;
  if (!warnings.bank_name_seen) out += kNoBankName;
  std::array<bool, kVoiceCount> undefined_voices{};
  for (std::size_t v = 0; v < undefined_voices.size(); ++v)
    undefined_voices[v] = !warnings.defined[v];
  int undefined = 0;
  const std::string ranges = number_runs(undefined_voices, undefined);
  if (undefined > 0)
    append_text(out, undefined == 1 ? kOneVoiceUndefined : kVoicesUndefined, {ranges});
  return out;
}

std::string warnings_text(const ReaderWarnings& warnings, bool summary) {
  std::string out;
  if (warnings.utf16) out += kUtf16;
  for (const ReaderWarning& w : warnings.lines) out += format_warning(w);
  if (summary) out += summary_warnings(warnings);
  return out;
}

}  // namespace bank
