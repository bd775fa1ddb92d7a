#include "message_format.h"

#include <array>
#include <charconv>

namespace bank {
namespace {

void append_value(std::string& out, const MessageArg& arg) {
  if (arg.is_text) {
    out += arg.text;
    return;
  }
  std::array<char, 24> digits{};
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), arg.number).ptr;
  out.append(digits.data(), end);
}

void append_hex_byte(std::string& out, const MessageArg& arg) {
  constexpr std::string_view kDigits = "0123456789ABCDEF";
  const auto byte = static_cast<std::uint8_t>(arg.number);
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0x0F];
}

}  // namespace

void append_message(std::string& out, std::string_view text, std::span<const MessageArg> args) {
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

}  // namespace bank
