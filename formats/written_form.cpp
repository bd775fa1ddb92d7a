#include "written_form.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

#include "field_layout.h"
#include "text_forms.h"

namespace bank {
namespace {

// Appends the name bytes up to the first zero byte, at most seven.
void append_name(std::string& out, std::span<const std::uint8_t> bytes) {
  const auto name = bytes.first(kNameLength);
  const auto end = std::find(name.begin(), name.end(), std::uint8_t{0});
  out.append(name.begin(), end);
}

// Appends `gap` spaces and `value` with at least `digits` digits, zero-padded
// (printf's %0*d for a non-negative value).
void append_number(std::string& out, std::size_t gap, int value,
                   std::size_t digits = kWrittenDigits) {
  std::array<char, 16> text{};
  const auto result = std::to_chars(text.data(), text.data() + text.size(), value);
  const auto length = static_cast<std::size_t>(result.ptr - text.data());
  out.append(gap, ' ');
  if (length < digits) out.append(digits - length, '0');
  out.append(text.data(), length);
}

// A voice field as the listing shows it. The instrument knows no CNT above 4
// and no PBR above 12; larger stored values are shown at the limit.
int voice_value(std::span<const std::uint8_t, kListedVoiceBytes> block, VoiceField field) {
  const int value = unpack_field(block, voice_field_layout(field));
  if (field == VoiceField::CNT) return std::min(value, kListedCntLimit);
  if (field == VoiceField::PBR) return std::min(value, kListedPbrLimit);
  return value;
}

// One voice parameter line: the keyword and the columns' values.
template <std::size_t N>
void append_voice_line(std::string& out, std::span<const std::uint8_t, kListedVoiceBytes> block,
                       std::string_view keyword, const std::array<VoiceField, N>& columns) {
  out += keyword;
  for (const VoiceField field : columns)
    append_number(out, written_gap(field), voice_value(block, field));
  out += '\n';
}

}  // namespace

void print_bank_name(std::string& out, std::span<const std::uint8_t, kListedBankNameBytes> block) {
  out += kBankNameKeyword;
  append_name(out, block);
  out += "\n\n";
}

void print_voice_header(std::string& out, std::span<const std::uint8_t, kListedVoiceBytes> block,
                        int number) {
  out += kVoiceHeaderKeyword;
  append_number(out, 0, number, 2);
  out += ": ";
  append_name(out, block);
  out += '\n';
  out += kLfoLabels;
  append_voice_line(out, block, kLfoKeyword, kLfoColumns);
  out += kVoiLabels;
  append_voice_line(out, block, kVoiKeyword, kVoiColumns);
}

void print_operator(std::string& out, std::span<const std::uint8_t, kListedVoiceBytes> block,
                    int number) {
  if (number == 1) out += kOperatorLabels;
  const auto data = operator_data(block, number - 1);
  out += kOperatorKeyword;
  append_number(out, 0, number, 1);
  out += ':';
  for (const OperatorField field : kOperatorColumns)
    append_number(out, 1, unpack_field(data, operator_field_layout(field)));
  out += '\n';
}

void print_functions(std::string& out, std::span<const std::uint8_t, kListedVoiceBytes> block) {
  out += kFncLabels;
  append_voice_line(out, block, kFncKeyword, kFncColumns);
}

void print_voice(std::string& out, std::span<const std::uint8_t, kListedVoiceBytes> block,
                 int number) {
  print_voice_header(out, block, number);
  for (int k = 1; k <= kOperatorCount; ++k) print_operator(out, block, k);
  print_functions(out, block);
  out += '\n';
}

}  // namespace bank
