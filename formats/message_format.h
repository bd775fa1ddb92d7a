// Messages: fixed texts with printf-style placeholders, kept in tables by
// the code that raises them and filled from a list of values here.
//
// The placeholders are the few the texts need: %s takes a text, %d an
// integer of any width, %02X a byte as two upper-case hex digits, and %%
// is a percent sign. Values fill the placeholders in order; unlike printf,
// a value of the wrong kind is shown as what it is, never read as another.
#pragma once

#include <concepts>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace bank {

struct MessageArg {
  MessageArg(std::string_view t) : text(t), is_text(true) {}      // NOLINT: implicit by design
  MessageArg(const char* t) : MessageArg(std::string_view(t)) {}  // NOLINT
  MessageArg(const std::string& t) : MessageArg(std::string_view(t)) {}  // NOLINT
  template <std::integral T>
  MessageArg(T n) : number(static_cast<std::int64_t>(n)) {}  // NOLINT

  std::int64_t number = 0;
  std::string_view text;
  bool is_text = false;
};

// Appends `text` with its placeholders filled from `args`.
void append_message(std::string& out, std::string_view text, std::span<const MessageArg> args);
inline void append_message(std::string& out, std::string_view text,
                           std::initializer_list<MessageArg> args = {}) {
  append_message(out, text, std::span(args.begin(), args.size()));
}

// Writes the filled text to `stream` as it stands, zero bytes included.
void print_message(std::FILE* stream, std::string_view text,
                   std::initializer_list<MessageArg> args = {});

inline std::string format_message(std::string_view text,
                                  std::initializer_list<MessageArg> args = {}) {
  std::string out;
  append_message(out, text, args);
  return out;
}

}  // namespace bank
