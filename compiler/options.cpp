#include "options.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "formats/config_dump.h"
#include "system/file_services.h"

namespace bank {
namespace {

// The decimal number at the start of `text`: optional white space, an
// optional sign, digits up to the first non-digit; 0 without digits. The
// value saturates instead of overflowing.
std::int64_t option_number(const char* text) {
  constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max() + std::int64_t{1};
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  std::int64_t magnitude = 0;
  for (; *text >= '0' && *text <= '9'; ++text)
    magnitude = std::min(kLimit, magnitude * 10 + (*text - '0'));
  return negative ? -magnitude : magnitude;
}

}  // namespace

ParsedOptions parse_options(int argc, const char* const* argv, BankState& state) {
  ParsedOptions parsed;
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0) {
      parsed.help = true;
    } else if (std::strcmp(arg, "--version") == 0) {
      parsed.version = true;
    } else if (std::strcmp(arg, "--voice") == 0) {
      const char* number = i + 1 < argc ? argv[++i] : "";
      parsed.voice = static_cast<int>(std::clamp<std::int64_t>(option_number(number), 1, kVoiceCount));
    } else if (arg[1] == 'i') {
      parsed.instrument = static_cast<int>(
          std::clamp<std::int64_t>(option_number(arg + 2), 1, kInstrumentCount) - 1);
    } else if (arg[1] == 's') {
      state.system_number = static_cast<int>(
          std::clamp<std::int64_t>(option_number(arg + 2), 0, kSystemNumberCount - 1));
    } else if (arg[1] == 'w') {
      parsed.warnings = true;
    } else if (arg[1] == 'm') {
      parsed.midi = true;
    } else if (arg[1] == 'b') {
      const std::int64_t bank = option_number(arg + 2);
      state.bank_number = bank == 1 ? 1 : 0;
      parsed.bank_given = true;
    } else if (arg[1] == 'c') {
      parsed.config_memory = static_cast<int>(
          std::clamp<std::int64_t>(option_number(arg + 2), 1, kConfigMemoryCount) - 1);
    }
  }
  parsed.input_index = i;
  return parsed;
}

std::size_t find_last_char(std::string_view text, char ch) {
  const std::size_t at = text.rfind(ch);
  return at == std::string_view::npos || at == 0 ? text.size() : at;
}

std::string derive_output_name(std::string_view input, std::string_view extension) {
  const std::size_t slash = input.find_last_of(kPathSeparators);
  const std::size_t base = slash == std::string_view::npos ? 0 : slash + 1;
  const std::size_t dot = find_last_char(input.substr(base), '.');
  return std::string(input.substr(0, base + dot)) + std::string(extension);
}

}  // namespace bank
