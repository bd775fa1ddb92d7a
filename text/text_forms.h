// Line forms of the bank text.
//
// A bank text is a bank name line and, for each voice, a header line and
// parameter lines:
//
//   FB-01:<7-character bank name>
//   @<voice number>: <7-character voice name>
//   LFO: EN SPD AMD PMD AMS PMS FORM SYNC
//   VOI: ALG FB TRANS
//   OP<1-4>: MUL TL AR DR SL SR RR DT1 DT2 KST KSL KSR VST ADJ VSA MC
//   FNC: MON POR CNT PBR
//   EXT: ON1 ON2 ON3 ON4 OUT USR
//   RAW: <byte> <value> [<byte> <value> ...]
//
// The EXT line carries the operator switches, the output bits and the user
// code, and the RAW line the bits of the voice data that no value holds,
// by byte offset in the 64-byte voice data; a listing writes each only for
// a voice that needs it, so that every bit of a voice comes back as it was.
// A voice without them gets all operators on, both output bits set and
// user code 0, and no free bit set.
//
// Lines starting with '#' (comments, and the column labels that the written
// form puts above each value line), blank lines and lines that begin with no
// keyword carry nothing. Keywords are matched case-sensitively, by prefix,
// at the start of a line or after spaces (not tabs).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "formats/field_layout.h"

namespace bank {

inline constexpr std::string_view kBankNameKeyword = "FB-01:";
inline constexpr std::string_view kVoiceHeaderKeyword = "@";
inline constexpr std::string_view kLfoKeyword = "LFO:";
inline constexpr std::string_view kVoiKeyword = "VOI:";
inline constexpr std::string_view kOperatorKeyword = "OP";  // then the number and ':'
inline constexpr std::string_view kFncKeyword = "FNC:";
inline constexpr std::string_view kExtKeyword = "EXT:";
inline constexpr std::string_view kRawKeyword = "RAW:";
// The name line of a configuration text: a bank text's reading stops at
// it, and the text is read again as a configuration text.
inline constexpr std::string_view kConfigKeyword = "CONFIG:";

// Under a voice header or the bank name: what a compile of the listing
// does not give back as the dump holds it, each part after ", ".
inline constexpr std::string_view kLossesComment = "# A compile of this text does not give back: ";
inline constexpr std::string_view kNameLoss = ", name bytes outside 0x20-0x7E";
inline constexpr std::string_view kBankPadLoss = ", bank-name bytes 7-31";

// The columns of each parameter line are runs of the field enums, whose
// order is the column order.
template <class Field, Field First, Field Last>
constexpr auto field_run() {
  std::array<Field, static_cast<std::size_t>(Last) - static_cast<std::size_t>(First) + 1> run{};
  for (std::size_t i = 0; i < run.size(); ++i)
    run[i] = static_cast<Field>(static_cast<std::size_t>(First) + i);
  return run;
}
inline constexpr auto kLfoColumns = field_run<VoiceField, VoiceField::EN, VoiceField::SYNC>();
inline constexpr auto kVoiColumns = field_run<VoiceField, VoiceField::ALG, VoiceField::TRANS>();
inline constexpr auto kFncColumns = field_run<VoiceField, VoiceField::MON, VoiceField::PBR>();
inline constexpr auto kExtColumns = field_run<VoiceField, VoiceField::ON1, VoiceField::USR>();
inline constexpr auto kOperatorColumns =
    field_run<OperatorField, OperatorField::MUL, OperatorField::MC>();
static_assert(kLfoColumns.size() + kVoiColumns.size() + kFncColumns.size() +
                  kExtColumns.size() ==
              kVoiceFieldCount);
static_assert(kOperatorColumns.size() == kOperatorFieldCount);

// In the written form each value is printed with at least three digits and
// one space before it; FORM, SYNC and TRANS get two, so that the values sit
// under their labels:
//   "LFO: %03d %03d %03d %03d %03d %03d  %03d  %03d"
//   "VOI: %03d %03d  %03d"
//   "OP%d: %03d %03d ... %03d" (16 values)
//   "FNC: %03d %03d %03d %03d"
//   "EXT: %03d %03d %03d %03d %03d %03d"
//   "RAW: %03d %03d" (a pair of numbers for each byte with free bits set)
constexpr std::size_t written_gap(VoiceField field) {
  return field == VoiceField::FORM || field == VoiceField::SYNC || field == VoiceField::TRANS ? 2
                                                                                              : 1;
}
constexpr std::size_t written_gap(OperatorField /*field*/) { return 1; }
inline constexpr std::size_t kWrittenDigits = 3;
// The written keyword of an operator line: "OP", its digit and ':'.
inline constexpr std::size_t kWrittenOperatorKeywordSize = kOperatorKeyword.size() + 2;

constexpr const FieldLayout& field_layout(VoiceField field) { return voice_field_layout(field); }
constexpr const FieldLayout& field_layout(OperatorField field) {
  return operator_field_layout(field);
}

// A comment line that the written form puts above a value line, so that
// each label ends over the last digit of its column ('#' stands under the
// keyword, and at least one space comes before each label).
struct LabelLine {
  std::array<char, 80> text{};
  std::size_t size = 0;
  constexpr std::string_view view() const { return {text.data(), size}; }
};

template <class Field, std::size_t N>
constexpr LabelLine label_line(std::size_t keyword_size, const std::array<Field, N>& columns) {
  LabelLine line;
  auto put = [&line](char ch) { line.text[line.size++] = ch; };
  put('#');
  while (line.size < keyword_size) put(' ');
  for (const Field field : columns) {
    const std::string_view label = field_layout(field).label;
    const std::size_t width = written_gap(field) + kWrittenDigits;
    for (std::size_t pad = width > label.size() ? width - label.size() : 1; pad > 0; --pad)
      put(' ');
    for (const char ch : label) put(ch);
  }
  put('\n');
  return line;
}

inline constexpr LabelLine kLfoLabelLine = label_line(kLfoKeyword.size(), kLfoColumns);
inline constexpr LabelLine kVoiLabelLine = label_line(kVoiKeyword.size(), kVoiColumns);
inline constexpr LabelLine kOperatorLabelLine =
    label_line(kWrittenOperatorKeywordSize, kOperatorColumns);
inline constexpr LabelLine kFncLabelLine = label_line(kFncKeyword.size(), kFncColumns);
inline constexpr LabelLine kExtLabelLine = label_line(kExtKeyword.size(), kExtColumns);
inline constexpr std::string_view kLfoLabels = kLfoLabelLine.view();
inline constexpr std::string_view kVoiLabels = kVoiLabelLine.view();
inline constexpr std::string_view kOperatorLabels = kOperatorLabelLine.view();
inline constexpr std::string_view kFncLabels = kFncLabelLine.view();
inline constexpr std::string_view kExtLabels = kExtLabelLine.view();
// The comment line above a RAW line.
inline constexpr std::string_view kRawLabels = "#    bits that no value above holds: byte, value\n";

// A line as the reader takes it: its bytes before its end (the newline,
// and a CR directly before it, so that texts written on any system read
// alike), and whether a newline ended it (the last line of a text may end
// with none).
struct LineContent {
  std::span<const std::uint8_t> bytes;
  bool has_newline = false;
};

constexpr LineContent line_content(std::span<const std::uint8_t> line) {
  std::size_t size = line.size();
  const bool newline = size > 0 && line[size - 1] == '\n';
  if (newline) {
    --size;
    if (size > 0 && line[size - 1] == '\r') --size;
  }
  return {line.first(size), newline};
}

// White space inside a line: space, tab, vertical tab, form feed, and a CR
// anywhere but before the newline. The newline ends the line instead.
constexpr bool is_line_blank(int ch) {
  return ch == ' ' || (static_cast<unsigned>(ch - '\t') <= '\r' - '\t' && ch != '\n');
}

}  // namespace bank
