#include "bank_text_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>

#include "system/fixed_text.h"
#include "text_forms.h"
#include "text_numbers.h"

namespace bank {
namespace {

constexpr int kEnd = -1;

// Every line is parsed through one cursor over its bytes, handed out whole
// by the stream. `end` bounds the line's content (its newline and a CR
// before it excluded), and the character under the cursor is `ch`: at the
// end it is '\n' for a line that has a newline and kEnd for the last line
// of a text that ends without one. No step ever passes the end.
struct Cursor {
  const std::uint8_t* p;
  const std::uint8_t* end;
  int last;  // '\n' or kEnd
  int ch;
};

Cursor line_cursor(std::span<const std::uint8_t> line) {
  const LineContent content = line_content(line);
  Cursor c{content.bytes.data(), content.bytes.data() + content.bytes.size(),
           content.has_newline ? '\n' : kEnd, 0};
  c.ch = c.p != c.end ? *c.p : c.last;
  return c;
}

inline void move_to(Cursor& c, const std::uint8_t* p) {
  c.p = p;
  c.ch = p != c.end ? *p : c.last;
}

inline void advance(Cursor& c) {
  if (c.p != c.end) move_to(c, c.p + 1);
}

bool at_line_end(const Cursor& c) { return c.p == c.end; }

void skip_blanks(Cursor& c) {
  while (is_line_blank(c.ch)) advance(c);
}

inline bool read_integer(Cursor& c, int& value) {
  bool found = false;
  move_to(c, scan_integer(c.p, c.end, value, found));
  return found;
}

// Reads N integers. Marked (for warnings), also where each was written:
// integer i lies in [bounds[i], bounds[i + 1]). The unmarked loop is the
// reader's hottest and is kept free of the marking.
template <bool kMarked, std::size_t N>
bool read_integers(Cursor& c, std::array<int, N>& values,
                   std::array<const std::uint8_t*, N + 1>& bounds) {
  const std::uint8_t* p = c.p;
  bool found = true;
  for (std::size_t i = 0; i < N && found; ++i) {
    if constexpr (kMarked) bounds[i] = p;
    p = scan_integer(p, c.end, values[i], found);
  }
  if constexpr (kMarked) bounds[N] = p;
  move_to(c, p);
  return found;
}

template <std::size_t N>
bool read_integers(Cursor& c, std::array<int, N>& values,
                   std::array<const std::uint8_t*, N + 1>& bounds, bool marked) {
  return marked ? read_integers<true>(c, values, bounds) : read_integers<false>(c, values, bounds);
}

void clear_name(Name& name) {
  std::fill_n(name.begin(), kNameLength, ' ');
  name[kNameLength] = '\0';
}

// ---- Line kinds -----------------------------------------------------------

enum class LineKind { other, bank_name, voice_header, lfo, voi, op, fnc, ext, raw, config };

struct Keyword {
  std::string_view text;
  LineKind kind;
};

constexpr std::array<Keyword, 9> kKeywords{{
    {kBankNameKeyword, LineKind::bank_name},
    {kVoiceHeaderKeyword, LineKind::voice_header},
    {kLfoKeyword, LineKind::lfo},
    {kVoiKeyword, LineKind::voi},
    {kOperatorKeyword, LineKind::op},
    {kFncKeyword, LineKind::fnc},
    {kExtKeyword, LineKind::ext},
    {kRawKeyword, LineKind::raw},
    {kConfigKeyword, LineKind::config},
}};

// Consumes the keyword at the cursor, if one is there. Otherwise returns
// `other`, with `consumed` holding the characters of a keyword that were
// consumed before the first that differed. Most lines that begin with no
// keyword (comments, label lines, blank lines) are told at their first
// character, and a whole keyword is compared at once; only a line that
// begins like a keyword but is none is walked for the characters that
// matched.
[[gnu::noinline]] LineKind walk_keyword(Cursor& c, std::string_view& consumed) {
  std::string_view matched;
  for (;;) {
    const Keyword* next = nullptr;
    for (const Keyword& k : kKeywords) {
      if (k.text.size() > matched.size() && k.text.starts_with(matched) &&
          static_cast<unsigned char>(k.text[matched.size()]) == c.ch) {
        next = &k;
        break;
      }
    }
    if (next == nullptr) break;
    matched = next->text.substr(0, matched.size() + 1);
    advance(c);
  }
  consumed = matched;
  return LineKind::other;
}

inline LineKind match_keyword(Cursor& c, std::string_view& consumed) {
  static constexpr std::array<bool, 256> kBegins = [] {
    std::array<bool, 256> begins{};
    for (const Keyword& k : kKeywords) begins[static_cast<unsigned char>(k.text[0])] = true;
    return begins;
  }();
  if (c.ch < 0 || !kBegins[static_cast<std::size_t>(c.ch)]) return LineKind::other;
  const auto room = static_cast<std::size_t>(c.end - c.p);
  for (const Keyword& k : kKeywords) {
    if (static_cast<unsigned char>(k.text[0]) != c.ch) continue;
    if (room >= k.text.size() && std::equal(k.text.begin(), k.text.end(), c.p)) {
      move_to(c, c.p + k.text.size());
      consumed = k.text;
      return k.kind;
    }
  }
  return walk_keyword(c, consumed);
}

// ---- The reading of one text ----------------------------------------------

struct Reader {
  BankState& state;
  ReaderWarnings* warnings;  // null unless warnings were asked for
  std::int64_t line = 0;
  int current = 0;  // lines before the first voice header belong to voice 1
  bool header_seen = false;
};

// Records a warning on the current line, with its values in the order its
// text names them.
void warn(Reader& r, WarningCode code, std::initializer_list<TextArg> values = {}) {
  ReaderWarning w;
  w.line = r.line;
  w.code = code;
  for (const TextArg& v : values) w.values.push_back({v.number, std::string(v.text), v.is_text});
  r.warnings->lines.push_back(std::move(w));
}

bool is_word_char(int ch) {
  return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || is_digit(ch) || ch == '-' ||
         ch == '_';
}

// The name as written (to the end of the line, less trailing white space),
// when it is longer than what is kept.
void warn_if_cut(Reader& r, Cursor& c, const std::string& kept) {
  std::string written = kept;
  while (!at_line_end(c)) {
    written += static_cast<char>(c.ch);
    advance(c);
  }
  while (!written.empty() && is_line_blank(static_cast<unsigned char>(written.back())))
    written.pop_back();
  if (written.size() <= kNameLength) return;
  warn(r, WarningCode::name_cut, {written, kept});
}

// Up to 7 name characters, stopping early only at the end of the line. The
// newline itself is taken as a character (the builder sends it as a space).
// With warnings, a character that will be sent as a space and a name cut
// short are reported.
void read_name(Reader& r, Cursor& c, Name& name) {
  std::size_t taken = 0;
  for (; taken < kNameLength && c.ch != kEnd; ++taken) {
    name[taken] = static_cast<char>(c.ch);
    if (c.ch == '\n') break;
    advance(c);
  }
  if (r.warnings == nullptr) return;
  for (std::size_t i = 0; i < taken; ++i) {
    const auto byte = static_cast<std::uint8_t>(name[i]);
    if (name_byte_sent_as_space(byte)) warn(r, WarningCode::name_character, {int{byte}});
  }
  warn_if_cut(r, c, std::string(name.data(), taken));
}

// Integer i of a line as written, from the bounds read_integers gave.
std::span<const std::uint8_t> written_text(std::span<const std::uint8_t* const> bounds,
                                           std::size_t i) {
  const std::uint8_t* const begin = bounds[i];
  return {begin, static_cast<std::size_t>(bounds[i + 1] - begin)};
}

// The warning of a value outside its field, out of the common path: it
// builds strings, which the path of a value that fits should not pay for.
[[gnu::noinline, gnu::cold]] void warn_value_outside(Reader& r, const FieldLayout& layout,
                                                     int value,
                                                     std::span<const std::uint8_t> written_text,
                                                     int highest) {
  warn(r, WarningCode::value_outside,
       {layout.label, decimal(written_number(written_text, value)), int{layout.lowest}, highest,
        value & highest});
}

[[gnu::noinline, gnu::cold]] void warn_lists_back_as(Reader& r, const FieldLayout& layout,
                                                     int value) {
  warn(r, WarningCode::lists_back_as, {layout.label, value, listed_value(layout, value)});
}

// A value's warning: outside its field (as written, whatever the number
// kept), or listed back as another value.
void check_value(Reader& r, const FieldLayout& layout, int value,
                 std::span<const std::uint8_t> written_text) {
  const int highest = field_max(field_width(layout));
  if (value < layout.lowest || value > highest || !written_exactly(written_text, value))
    warn_value_outside(r, layout, value, written_text, highest);
  else if (listed_value(layout, value) != value)
    warn_lists_back_as(r, layout, value);
}

void check_rest_of_line(Reader& r, Cursor& c) {
  skip_blanks(c);
  if (!at_line_end(c)) warn(r, WarningCode::text_after_values);
}

// A parameter line is about to be stored into the current voice.
void note_parameter_line(Reader& r) {
  if (r.warnings == nullptr) return;
  if (!r.header_seen) warn(r, WarningCode::no_voice_header_yet);
  if (r.current < kVoiceCount) r.warnings->defined[static_cast<std::size_t>(r.current)] = true;
}

// Counts an accepted definition line; passes an error code through.
int counted(BankState& state, int error) {
  if (error == kReaderOk) ++state.definition_count;
  return error;
}

int read_bank_name_line(Reader& r, Cursor& c) {
  // A bank name line replaces the whole name; positions it does not fill
  // become spaces. It is not a definition.
  clear_name(r.state.bank_name);
  read_name(r, c, r.state.bank_name);
  if (r.warnings != nullptr) r.warnings->bank_name_seen = true;
  return kReaderOk;
}

// With warnings, what a voice header probably did not mean: its number as
// written, and a voice defined twice. Apart from the reading, which it
// should not slow down.
[[gnu::noinline]] void check_voice_header(Reader& r, std::span<const std::uint8_t> written,
                                          int number, bool colon, std::int64_t index) {
  if (!colon)
    warn(r, WarningCode::no_colon_after_voice);
  else if (index >= kVoiceCount)
    warn(r, WarningCode::voice_above_range, {decimal(written_number(written, number))});
  else if (number < 1 || !written_exactly(written, number))
    warn(r, WarningCode::voice_outside, {decimal(written_number(written, number)), index + 1});
  if (index < kVoiceCount) {
    auto& first = r.warnings->first_header[static_cast<std::size_t>(index)];
    if (first != 0) warn(r, WarningCode::voice_defined_again, {index + 1, first});
    if (first == 0) first = r.line;
    r.warnings->defined[static_cast<std::size_t>(index)] = true;
  }
}

int read_voice_header_line(Reader& r, Cursor& c) {
  int number = 0;
  const std::uint8_t* const number_start = c.p;
  if (!read_integer(c, number)) return kBadVoiceHeader;
  // The colon must follow the digits directly; without it the lines of
  // this voice go to the spare record.
  const bool colon = c.ch == ':';
  const std::int64_t index = std::clamp<std::int64_t>(
      colon ? static_cast<std::int64_t>(number) - 1 : kSpareVoiceIndex, 0, kSpareVoiceIndex);
  if (r.warnings != nullptr)
    check_voice_header(r, {number_start, static_cast<std::size_t>(c.p - number_start)}, number,
                       colon, index);
  Name name{};
  clear_name(name);
  if (colon) {
    advance(c);
    // The listing writes "@NN: " and the name, so a name that begins with
    // a space stands after two: read in exactly that form, the name begins
    // after the first. Any other header skips the white space after its
    // colon ("@1:  Piano" aligns names by hand).
    const bool as_listed = c.p - number_start == 3 && is_digit(number_start[0]) &&
                           is_digit(number_start[1]) && c.end - c.p >= 2 && c.p[0] == ' ' &&
                           c.p[1] == ' ';
    if (as_listed)
      advance(c);
    else
      skip_blanks(c);
    if (!at_line_end(c)) read_name(r, c, name);
  }
  r.current = static_cast<int>(index);
  r.header_seen = true;
  r.state.voices[static_cast<std::size_t>(index)].name = name;
  return counted(r.state, kReaderOk);
}

// Reads the values of a voice parameter line into the current voice, in
// column order. Returns `error` when fewer values than columns can be read.
template <std::size_t N>
int read_voice_line(Reader& r, Cursor& c, const std::array<VoiceField, N>& columns, int error) {
  std::array<int, N> values{};
  std::array<const std::uint8_t*, N + 1> bounds;  // filled when marked
  if (!read_integers(c, values, bounds, r.warnings != nullptr)) return error;
  VoiceParams& voice = r.state.voices[static_cast<std::size_t>(r.current)];
  for (std::size_t i = 0; i < N; ++i) voice_slot(voice, columns[i]) = values[i];
  if (r.warnings != nullptr) {
    note_parameter_line(r);
    for (std::size_t i = 0; i < N; ++i)
      check_value(r, voice_field_layout(columns[i]), values[i], written_text(bounds, i));
    check_rest_of_line(r, c);
  }
  return counted(r.state, kReaderOk);
}

// With warnings: a RAW value that sets bits a field holds, or that is
// outside a byte, loses those bits.
[[gnu::noinline, gnu::cold]] void check_raw_value(Reader& r, int offset, int value,
                                                  std::span<const std::uint8_t> written) {
  const int free_bits = free_voice_bits(static_cast<std::size_t>(offset));
  if ((value & ~free_bits) == 0 && written_exactly(written, value)) return;
  warn(r, WarningCode::raw_bits_not_free,
       {decimal(written_number(written, value)), offset, free_bits, value & free_bits});
}

// "RAW:" and pairs of numbers: a voice data offset (0-63) and the value of
// that byte's free bits. A later pair for a byte replaces an earlier one.
int read_raw_line(Reader& r, Cursor& c) {
  if (r.warnings != nullptr) note_parameter_line(r);
  VoiceParams& voice = r.state.voices[static_cast<std::size_t>(r.current)];
  std::array<std::uint8_t, kVoiceDataSize> raw = voice.raw;
  bool any = false;
  int offset = 0;
  const std::uint8_t* offset_start = c.p;
  while (read_integer(c, offset)) {
    const std::uint8_t* const value_start = c.p;
    // The offset as written, not as kept: 4294967312 is no byte 16.
    const bool offset_kept = written_number({offset_start, value_start}, offset).kept_exactly;
    int value = 0;
    if (!read_integer(c, value) || !offset_kept || offset < 0 ||
        offset >= static_cast<int>(raw.size()))
      return kBadRawLine;
    const auto at = static_cast<std::size_t>(offset);
    raw[at] = static_cast<std::uint8_t>(value & free_voice_bits(at));
    if (r.warnings != nullptr)
      check_raw_value(r, offset, value,
                      {value_start, static_cast<std::size_t>(c.p - value_start)});
    any = true;
    offset_start = c.p;
  }
  if (!any) return kBadRawLine;
  voice.raw = raw;
  if (r.warnings != nullptr) check_rest_of_line(r, c);
  return counted(r.state, kReaderOk);
}

// "OP", the operator number, a colon directly after it, 16 values.
int read_operator_line(Reader& r, Cursor& c) {
  int number = 0;
  const std::uint8_t* const number_start = c.p;
  if (!read_integer(c, number) || c.ch != ':') return kBadOperatorLine;
  const std::uint8_t* const number_end = c.p;
  advance(c);
  std::array<int, kOperatorColumns.size()> values{};
  std::array<const std::uint8_t*, kOperatorColumns.size() + 1> bounds;  // filled when marked
  if (!read_integers(c, values, bounds, r.warnings != nullptr)) return kBadOperatorLine;
  const int used = std::clamp(number, 1, kOperatorCount);
  VoiceParams& voice = r.state.voices[static_cast<std::size_t>(r.current)];
  OperatorParams& op = voice.op[static_cast<std::size_t>(used - 1)];
  for (std::size_t i = 0; i < values.size(); ++i)
    operator_slot(op, kOperatorColumns[i]) = values[i];
  if (r.warnings != nullptr) {
    note_parameter_line(r);
    const std::span<const std::uint8_t> written{
        number_start, static_cast<std::size_t>(number_end - number_start)};
    if (used != number || !written_exactly(written, number))
      warn(r, WarningCode::operator_outside, {decimal(written_number(written, number)), used});
    for (std::size_t i = 0; i < values.size(); ++i)
      check_value(r, operator_field_layout(kOperatorColumns[i]), values[i],
                  written_text(bounds, i));
    check_rest_of_line(r, c);
  }
  return counted(r.state, kReaderOk);
}

// The keyword of an operator line as written, from "OP" to its colon
// ("OP 1:", "OP7:"); "OP" alone when no colon follows the number.
std::string operator_keyword_as_written(Cursor& c) {
  std::string text(kOperatorKeyword);
  while (is_line_blank(c.ch) || c.ch == '+' || c.ch == '-' || is_digit(c.ch)) {
    text += static_cast<char>(c.ch);
    advance(c);
  }
  return c.ch == ':' ? text + ':' : std::string(kOperatorKeyword);
}

// Whether `word` is the name of a keyword, its colon left out, in any
// letter case: "EXT", "fnc", "FB-01", "OP2" (an operator's number in
// digits).
bool names_a_keyword(std::string_view word) {
  const auto same = [](std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
             const auto upper = [](char ch) {
               return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
             };
             return upper(x) == upper(y);
           });
  };
  for (const Keyword& k : kKeywords) {
    if (!k.text.ends_with(':')) continue;  // "@" and "OP" are told otherwise
    if (same(word, k.text.substr(0, k.text.size() - 1))) return true;
  }
  return word.size() > kOperatorKeyword.size() &&
         same(word.substr(0, kOperatorKeyword.size()), kOperatorKeyword) &&
         std::all_of(word.begin() + static_cast<std::ptrdiff_t>(kOperatorKeyword.size()),
                     word.end(), [](char ch) { return is_digit(ch); });
}

// With warnings: a line that the reader ignores although it looks like a
// definition. The characters `consumed` began a keyword but did not end
// one.
void check_ignored_line(Reader& r, Cursor& c, std::string_view consumed) {
  std::string word(consumed);
  if (consumed.empty()) {
    bool tab = false;
    while (c.ch == ' ' || c.ch == '\t') {
      tab = tab || c.ch == '\t';
      advance(c);
    }
    if (tab) {
      const LineKind kind = match_keyword(c, consumed);
      if (kind != LineKind::other) {
        warn(r, WarningCode::tab_before_keyword,
             {kind == LineKind::op ? operator_keyword_as_written(c) : std::string(consumed)});
        return;
      }
      word = consumed;
    }
  }
  while (is_word_char(c.ch)) {
    word += static_cast<char>(c.ch);
    advance(c);
  }
  if (word.empty()) return;
  if (c.ch == ':') {
    warn(r, WarningCode::not_a_keyword, {word});
    return;
  }
  if (names_a_keyword(word)) warn(r, WarningCode::keyword_without_colon, {word});
}

int read_line_body(Reader& r, Cursor& c, LineKind kind) {
  switch (kind) {
    case LineKind::other: return kReaderOk;
    case LineKind::bank_name: return read_bank_name_line(r, c);
    case LineKind::voice_header: return read_voice_header_line(r, c);
    case LineKind::lfo: return read_voice_line(r, c, kLfoColumns, kBadLfoLine);
    case LineKind::voi: return read_voice_line(r, c, kVoiColumns, kBadVoiLine);
    case LineKind::fnc: return read_voice_line(r, c, kFncColumns, kBadFncLine);
    case LineKind::ext: return read_voice_line(r, c, kExtColumns, kBadExtLine);
    case LineKind::raw: return read_raw_line(r, c);
    case LineKind::op: return read_operator_line(r, c);
    case LineKind::config: return kConfigTextLine;
  }
  return kReaderOk;
}

// One line, from its first character. Returns the error code, or 0 when
// the line was accepted or ignored. The faulty line of an error gets no
// warning of its own.
int read_line(Reader& r, Cursor& c) {
  // Keywords stand at the start of the line or after spaces (not tabs).
  while (c.ch == ' ') advance(c);
  std::string_view consumed;
  const LineKind kind = match_keyword(c, consumed);
  if (kind == LineKind::other) {
    if (r.warnings != nullptr) check_ignored_line(r, c, consumed);
    return kReaderOk;
  }
  const std::size_t mark = r.warnings != nullptr ? r.warnings->lines.size() : 0;
  const int error = read_line_body(r, c, kind);
  if (error != kReaderOk && r.warnings != nullptr) r.warnings->lines.resize(mark);
  return error;
}

}  // namespace

std::string_view reader_error_message(int code) {
  static constexpr std::array<std::string_view, 9> kMessages{
      "none\n",
      "Instrument or Voicename are wrong\n",
      "LFO definition is wrong\n",
      "VOI definition is wrong\n",
      "OP definition is wrong\n",
      "FNC definition is wrong\n",
      "EXT definition is wrong\n",
      "RAW definition is wrong\n",
      "a configuration text's line in a bank text\n",
  };
  return code >= 0 && code < static_cast<int>(kMessages.size())
             ? kMessages[static_cast<std::size_t>(code)]
             : kMessages[0];
}

std::int64_t read_bank_text(InputStream& input, BankState& state, ReaderWarnings* warnings) {
  Reader r{state, warnings};
  // A UTF-8 byte-order mark, which some editors put at the start of a
  // text, is passed over as text tools do; a UTF-16 one means the text
  // cannot be read as it is, which -w tells.
  const std::span<const std::uint8_t> start = peek_bytes(input, 3);
  if (start.size() >= 3 && start[0] == 0xEF && start[1] == 0xBB && start[2] == 0xBF)
    consume(input, 3);
  else if (warnings != nullptr && start.size() >= 2 &&
           ((start[0] == 0xFF && start[1] == 0xFE) || (start[0] == 0xFE && start[1] == 0xFF)))
    warnings->utf16 = true;
  while (const auto line = next_line(input)) {
    ++r.line;
    Cursor c = line_cursor(*line);
    const int error = read_line(r, c);
    if (error != kReaderOk) {
      state.reader_error = error;
      return r.line;
    }
  }
  return 0;
}

}  // namespace bank
