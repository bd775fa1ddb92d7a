// The programs' own texts (errors, warnings, the comment lines of a
// listing): fixed texts with printf-style placeholders, kept in tables by
// the code that prints them and filled from a list of values here. In this
// code "message" means a System Exclusive message; what a user reads is a
// "text".
//
// Every such text is kept word for word, spacing and slips included
// ("It seems not be a FB-01 text", "is not contain", "Checksum error.."):
// scripts and users match them as they stand, so they are not to be
// mended.
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

// The texts that every program gives for a file it cannot open, read or
// write.
inline constexpr std::string_view kCannotOpenText = "Error: Cannot open %s\n";
// The line after it: the system's words for why.
inline constexpr std::string_view kSystemSaysText = "The system says: %s\n";
inline constexpr std::string_view kCannotReadText = "Error: Cannot read %s\n";
inline constexpr std::string_view kCannotWriteText = "Error: Cannot write %s\n";

struct TextArg {
  TextArg(std::string_view t) : text(t), is_text(true) {}          // NOLINT: implicit by design
  TextArg(const char* t) : TextArg(std::string_view(t)) {}         // NOLINT
  TextArg(const std::string& t) : TextArg(std::string_view(t)) {}  // NOLINT
  template <std::integral T>
  TextArg(T n) : number(static_cast<std::int64_t>(n)) {}  // NOLINT

  std::int64_t number = 0;
  std::string_view text;
  bool is_text = false;
};

// Appends `text` with its placeholders filled from `args`.
void append_text(std::string& out, std::string_view text, std::span<const TextArg> args);
inline void append_text(std::string& out, std::string_view text,
                        std::initializer_list<TextArg> args = {}) {
  append_text(out, text, std::span(args.begin(), args.size()));
}

// Writes the filled text to `stream` as it stands, zero bytes included.
void print_text(std::FILE* stream, std::string_view text, std::initializer_list<TextArg> args = {});

// The numbers (from 1) of the set flags as runs: "2-5, 9, 13-48"; `count`
// is how many are set.
std::string number_runs(std::span<const bool> flags, int& count);

inline std::string filled_text(std::string_view text, std::initializer_list<TextArg> args = {}) {
  std::string out;
  append_text(out, text, args);
  return out;
}

}  // namespace bank
