// The numbers of a text: how the readers of every text form scan a value
// and tell, for a warning, what was written.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "text_forms.h"

namespace bank {

inline bool is_digit(int ch) { return ch >= '0' && ch <= '9'; }

// A decimal integer: optional white space, an optional sign, then digits,
// up to the first character that is not a digit. Any number of digits is
// read; the value is kept modulo 2^32, so its low bits are exact. This is
// where most of the reading time goes: the written form, one space and
// three digits, is taken in one step.
inline const std::uint8_t* scan_integer(const std::uint8_t* p, const std::uint8_t* end, int& value,
                                        bool& found) {
  if (end - p >= 4 && p[0] == ' ' && is_digit(p[1]) && is_digit(p[2]) && is_digit(p[3]) &&
      (end - p == 4 || !is_digit(p[4]))) {
    value = (p[1] - '0') * 100 + (p[2] - '0') * 10 + (p[3] - '0');
    found = true;
    return p + 4;
  }
  while (p != end && is_line_blank(*p)) ++p;
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  std::uint32_t magnitude = 0;
  const std::uint8_t* const digits = p;
  while (p != end && is_digit(*p)) magnitude = magnitude * 10U + (*p++ - '0');
  found = p != digits;
  if (found) value = static_cast<int>(negative ? 0U - magnitude : magnitude);
  return p;
}

// A number as written, for warnings: its digits without leading zeros,
// its sign, and whether the number kept (modulo 2^32) is its value. Built
// for every value a line holds, so nothing is allocated until a warning
// shows it.
struct WrittenNumber {
  std::span<const std::uint8_t> digits;  // at least one
  bool negative = false;                 // a '-' before digits that are not 0
  bool kept_exactly = true;
};

// `written` holds what scan_integer read: white space, a sign, digits.
inline WrittenNumber written_number(std::span<const std::uint8_t> written, int kept) {
  std::size_t i = 0;
  while (i < written.size() && is_line_blank(written[i])) ++i;
  const bool minus = i < written.size() && written[i] == '-';
  if (i < written.size() && (written[i] == '+' || written[i] == '-')) ++i;
  while (i + 1 < written.size() && written[i] == '0') ++i;
  WrittenNumber number;
  number.digits = written.subspan(i);
  number.negative = minus && !(number.digits.size() == 1 && number.digits[0] == '0');
  // Ten digits at most can be the number kept; more were wrapped.
  if (number.digits.size() > 10) {
    number.kept_exactly = false;
    return number;
  }
  std::int64_t value = 0;
  for (const std::uint8_t digit : number.digits) value = value * 10 + (digit - '0');
  number.kept_exactly = (number.negative ? -value : value) == kept;
  return number;
}

// Whether the number kept is the number written. Nine characters hold at
// most nine digits, which an int keeps: the written form's numbers are
// judged without a second look at their digits.
inline bool written_exactly(std::span<const std::uint8_t> written, int kept) {
  return written.size() <= 9 || written_number(written, kept).kept_exactly;
}

// Its decimal value as a warning shows it.
inline std::string decimal(const WrittenNumber& number) {
  std::string text = number.negative ? "-" : "";
  text.append(number.digits.begin(), number.digits.end());
  return text;
}

}  // namespace bank
