#include "fixed_text.h"

#include <array>
#include <cinttypes>
#include <cstdio>

namespace bank {
namespace {

// Values are rare and short: printf's own conversions, into a bounded
// buffer, keep them exactly as printf would show them.
void append_value(std::string& out, const TextArg& arg) {
  if (arg.is_text) {
    out += arg.text;
    return;
  }
  std::array<char, 24> digits{};
  const int n = std::snprintf(digits.data(), digits.size(), "%" PRId64, arg.number);
  out.append(digits.data(), static_cast<std::size_t>(n));
}

void append_hex_byte(std::string& out, const TextArg& arg) {
  std::array<char, 4> digits{};
  std::snprintf(digits.data(), digits.size(), "%02X", static_cast<unsigned>(arg.number & 0xFF));
  out.append(digits.data(), 2);
}

}  // namespace

void append_text(std::string& out, std::string_view text, std::span<const TextArg> args) {
  auto next = args.begin();
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t percent = text.find('%', i);
    if (percent == std::string_view::npos) {
      out += text.substr(i);
      return;
    }
    out += text.substr(i, percent - i);
    const std::string_view rest = text.substr(percent + 1);
    std::size_t taken = 0;
    if (rest.starts_with('%')) {
      out += '%';
      taken = 1;
    } else if (rest.starts_with('s') || rest.starts_with('d')) {
      if (next != args.end()) append_value(out, *next++);
      taken = 1;
    } else if (rest.starts_with("02X")) {
      if (next != args.end()) append_hex_byte(out, *next++);
      taken = 3;
    } else {
      out += '%';
    }
    i = percent + 1 + taken;
  }
}

void print_text(std::FILE* stream, std::string_view text, std::initializer_list<TextArg> args) {
  const std::string filled = filled_text(text, args);
  std::fwrite(filled.data(), 1, filled.size(), stream);
}

std::string number_runs(std::span<const bool> flags, int& count) {
  std::string runs;
  count = 0;
  const auto n = static_cast<int>(flags.size());
  int last = 0;
  for (int first = 1; first <= n; first = last + 1) {
    last = first;
    if (!flags[static_cast<std::size_t>(first - 1)]) continue;
    while (last < n && flags[static_cast<std::size_t>(last)]) ++last;
    if (!runs.empty()) runs += ", ";
    runs += std::to_string(first);
    if (last > first) {
      runs += '-';
      runs += std::to_string(last);
    }
    count += last - first + 1;
  }
  return runs;
}

}  // namespace bank
