#include "bank_text_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>

#include "formats/text_forms.h"

namespace bank {
namespace {

constexpr int kEnd = -1;

// The character under the cursor, with CR LF already turned into LF, so
// that texts from any platform read alike.
struct TextCursor {
  InputStream& in;
  int ch;
};

// The general step: refills the buffer and joins CR LF.
[[gnu::noinline]] void advance_slowly(TextCursor& c) {
  int ch = next_byte(c.in);
  if (ch == '\r' && peek_byte(c.in) == '\n') ch = next_byte(c.in);
  c.ch = ch;
}

// Steps to the next character. Nearly every step finds a plain character in
// the buffer, so that case is kept small enough to inline.
inline void advance(TextCursor& c) {
  if (!c.in.window.empty() && c.in.window.front() != '\r') {
    c.ch = c.in.window.front();
    c.in.window = c.in.window.subspan(1);
    return;
  }
  advance_slowly(c);
}

bool at_line_end(const TextCursor& c) { return c.ch == '\n' || c.ch == kEnd; }

// Moves to the first character of the next line. The rest of a line is
// passed over a buffer at a time: comment lines make up much of a text.
void skip_line(TextCursor& c) {
  while (!at_line_end(c)) {
    const auto rest = c.in.window;
    const auto* newline =
        static_cast<const std::uint8_t*>(std::memchr(rest.data(), '\n', rest.size()));
    if (newline == nullptr) {
      c.in.window = rest.subspan(rest.size());
      advance(c);
    } else {
      // Stop on the newline itself, as advance() would have.
      c.in.window = rest.subspan(static_cast<std::size_t>(newline - rest.data()) + 1);
      c.ch = '\n';
    }
  }
  if (c.ch == '\n') advance(c);
}

// White space inside a line; the newline ends the line instead.
bool is_blank(int ch) { return ch == ' ' || ch == '\t' || ch == '\v' || ch == '\f' || ch == '\r'; }

void skip_blanks(TextCursor& c) {
  while (is_blank(c.ch)) advance(c);
}

bool is_digit(int ch) { return ch >= '0' && ch <= '9'; }

// A decimal integer: optional white space, an optional sign, then digits,
// up to the first character that is not a digit. Any number of digits is
// read; the value is kept modulo 2^32, so its low bits are exact.
bool read_integer(TextCursor& c, int& value) {
  skip_blanks(c);
  bool negative = false;
  if (c.ch == '+' || c.ch == '-') {
    negative = c.ch == '-';
    advance(c);
  }
  if (!is_digit(c.ch)) return false;
  std::uint32_t magnitude = 0;
  while (is_digit(c.ch)) {
    magnitude = magnitude * 10U + static_cast<std::uint32_t>(c.ch - '0');
    // The digits that follow are taken straight from the buffer.
    const std::uint8_t* p = c.in.window.data();
    const std::uint8_t* const end = p + c.in.window.size();
    for (; p != end && is_digit(*p); ++p) magnitude = magnitude * 10U + (*p - '0');
    c.in.window = std::span<const std::uint8_t>(p, end);
    advance(c);
  }
  value = static_cast<int>(negative ? 0U - magnitude : magnitude);
  return true;
}

template <std::size_t N>
bool read_integers(TextCursor& c, std::array<int, N>& values) {
  return std::all_of(values.begin(), values.end(), [&c](int& v) { return read_integer(c, v); });
}

// Up to 7 name characters, stopping early only at the end of the line. The
// newline itself is taken as a character (the builder sends it as a space).
void read_name(TextCursor& c, Name& name) {
  for (std::size_t i = 0; i < kNameLength && c.ch != kEnd; ++i) {
    name[i] = static_cast<char>(c.ch);
    if (c.ch == '\n') break;
    advance(c);
  }
}

void clear_name(Name& name) {
  std::fill_n(name.begin(), kNameLength, ' ');
  name[kNameLength] = '\0';
}

enum class LineKind { other, bank_name, voice_header, lfo, voi, op, fnc };

struct Keyword {
  std::string_view text;
  LineKind kind;
};

constexpr std::array<Keyword, 6> kKeywords{{
    {kBankNameKeyword, LineKind::bank_name},
    {kVoiceHeaderKeyword, LineKind::voice_header},
    {kLfoKeyword, LineKind::lfo},
    {kVoiKeyword, LineKind::voi},
    {kOperatorKeyword, LineKind::op},
    {kFncKeyword, LineKind::fnc},
}};

// Consumes the keyword at the cursor, if one is there. No keyword is a
// prefix of another, so the first one completed is the match.
LineKind match_keyword(TextCursor& c) {
  std::array<bool, kKeywords.size()> alive{};
  alive.fill(true);
  for (std::size_t matched = 0;; ++matched) {
    bool any = false;
    for (std::size_t k = 0; k < kKeywords.size(); ++k) {
      if (!alive[k]) continue;
      const std::string_view text = kKeywords[k].text;
      if (text.size() == matched) return kKeywords[k].kind;
      alive[k] = c.ch != kEnd && text[matched] == static_cast<char>(c.ch);
      any = any || alive[k];
    }
    if (!any) return LineKind::other;
    advance(c);
  }
}

// Reads the values of a voice parameter line into `voice`, in column order.
// Returns `error` when fewer values than columns can be read.
template <std::size_t N>
int read_voice_line(TextCursor& c, VoiceParams& voice, const std::array<VoiceField, N>& columns,
                    int error) {
  std::array<int, N> values{};
  if (!read_integers(c, values)) return error;
  for (std::size_t i = 0; i < N; ++i) voice_slot(voice, columns[i]) = values[i];
  return kReaderOk;
}

// Counts an accepted definition line; passes an error code through.
int counted(BankState& state, int error) {
  if (error == kReaderOk) ++state.definition_count;
  return error;
}

// Reads the rest of a line whose keyword has been consumed. Returns the
// error code, or 0 when the line was accepted.
int read_line_body(TextCursor& c, LineKind kind, BankState& state, int& current) {
  VoiceParams& voice = state.voices[static_cast<std::size_t>(current)];
  switch (kind) {
    case LineKind::other: return kReaderOk;

    case LineKind::bank_name:
      // A bank name line replaces the whole name; positions it does not
      // fill become spaces. It is not a definition.
      clear_name(state.bank_name);
      read_name(c, state.bank_name);
      return kReaderOk;

    case LineKind::voice_header: {
      int number = 0;
      if (!read_integer(c, number)) return kBadVoiceHeader;
      Name name{};
      clear_name(name);
      std::int64_t index = kSpareVoiceIndex;
      // The colon must follow the digits directly; without it the lines of
      // this voice go to the spare record.
      if (c.ch == ':') {
        advance(c);
        skip_blanks(c);
        if (!at_line_end(c)) read_name(c, name);
        index = static_cast<std::int64_t>(number) - 1;
      }
      index = std::clamp<std::int64_t>(index, 0, kSpareVoiceIndex);
      current = static_cast<int>(index);
      state.voices[static_cast<std::size_t>(index)].name = name;
      return counted(state, kReaderOk);
    }

    case LineKind::lfo: return counted(state, read_voice_line(c, voice, kLfoColumns, kBadLfoLine));

    case LineKind::voi: return counted(state, read_voice_line(c, voice, kVoiColumns, kBadVoiLine));

    case LineKind::fnc: return counted(state, read_voice_line(c, voice, kFncColumns, kBadFncLine));

    case LineKind::op: {
      // "OP", the operator number, a colon directly after it, 16 values.
      int number = 0;
      if (!read_integer(c, number) || c.ch != ':') return kBadOperatorLine;
      advance(c);
      std::array<int, kOperatorColumns.size()> values{};
      if (!read_integers(c, values)) return kBadOperatorLine;
      const int index = std::clamp(number, 1, kOperatorCount) - 1;
      OperatorParams& op = voice.op[static_cast<std::size_t>(index)];
      for (std::size_t i = 0; i < values.size(); ++i)
        operator_slot(op, kOperatorColumns[i]) = values[i];
      return counted(state, kReaderOk);
    }
  }
  return kReaderOk;
}

}  // namespace

std::string_view reader_error_message(int code) {
  static constexpr std::array<std::string_view, 6> kMessages{
      "none\n",
      "Instrument or Voicename are wrong\n",
      "LFO definition is wrong\n",
      "VOI definition is wrong\n",
      "OP definition is wrong\n",
      "FNC definition is wrong\n",
  };
  return code >= 0 && code < static_cast<int>(kMessages.size())
             ? kMessages[static_cast<std::size_t>(code)]
             : kMessages[0];
}

std::int64_t read_bank_text(InputStream& input, BankState& state) {
  TextCursor c{input, kEnd};
  advance(c);
  std::int64_t line = 0;
  int current = 0;  // lines before the first voice header belong to voice 1
  while (c.ch != kEnd) {
    ++line;
    // Keywords stand at the start of the line or after spaces (not tabs).
    while (c.ch == ' ') advance(c);
    const int error = read_line_body(c, match_keyword(c), state, current);
    if (error != kReaderOk) {
      state.reader_error = error;
      return line;
    }
    skip_line(c);
  }
  return 0;
}

}  // namespace bank
