#include "written_form.h"

#include <algorithm>
#include <array>
#include <cstdio>

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

template <typename... Values>
void append_formatted(std::string& out, const char* format, Values... values) {
  // Every value is a field of at most 8 bits, so a line is short.
  std::array<char, 128> line{};
  const int n = std::snprintf(line.data(), line.size(), format, values...);
  if (n > 0) out.append(line.data(), std::min(static_cast<std::size_t>(n), line.size() - 1));
}

// A voice field as the listing shows it. The instrument knows no CNT above 4
// and no PBR above 12; larger stored values are shown at the limit.
int voice_value(std::span<const std::uint8_t, kListedVoiceBytes> block, VoiceField field) {
  const int value = unpack_field(block, voice_field_layout(field));
  if (field == VoiceField::CNT) return std::min(value, kListedCntLimit);
  if (field == VoiceField::PBR) return std::min(value, kListedPbrLimit);
  return value;
}

}  // namespace

void print_bank_name(std::string& out, std::span<const std::uint8_t, kListedBankNameBytes> block) {
  out += kBankNameKeyword;
  append_name(out, block);
  out += "\n\n";
}

void print_voice_header(std::string& out, std::span<const std::uint8_t, kListedVoiceBytes> block,
                        int number) {
  append_formatted(out, "@%02d: ", number);
  append_name(out, block);
  out += '\n';

  std::array<int, kLfoColumns.size()> lfo{};
  std::transform(kLfoColumns.begin(), kLfoColumns.end(), lfo.begin(),
                 [&](VoiceField f) { return voice_value(block, f); });
  out += kLfoLabels;
  append_formatted(out, "LFO: %03d %03d %03d %03d %03d %03d  %03d  %03d\n", lfo[0], lfo[1], lfo[2],
                   lfo[3], lfo[4], lfo[5], lfo[6], lfo[7]);

  std::array<int, kVoiColumns.size()> voi{};
  std::transform(kVoiColumns.begin(), kVoiColumns.end(), voi.begin(),
                 [&](VoiceField f) { return voice_value(block, f); });
  out += kVoiLabels;
  append_formatted(out, "VOI: %03d %03d  %03d\n", voi[0], voi[1], voi[2]);
}

void print_operator(std::string& out, std::span<const std::uint8_t, kListedVoiceBytes> block,
                    int number) {
  if (number == 1) out += kOperatorLabels;
  const auto data = operator_data(block, number - 1);
  std::array<int, kOperatorColumns.size()> v{};
  std::transform(kOperatorColumns.begin(), kOperatorColumns.end(), v.begin(),
                 [&](OperatorField f) { return unpack_field(data, operator_field_layout(f)); });
  append_formatted(out,
                   "OP%d: %03d %03d %03d %03d %03d %03d %03d %03d %03d %03d %03d %03d %03d "
                   "%03d %03d %03d\n",
                   number, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10], v[11],
                   v[12], v[13], v[14], v[15]);
}

void print_functions(std::string& out, std::span<const std::uint8_t, kListedVoiceBytes> block) {
  out += kFncLabels;
  std::array<int, kFncColumns.size()> fnc{};
  std::transform(kFncColumns.begin(), kFncColumns.end(), fnc.begin(),
                 [&](VoiceField f) { return voice_value(block, f); });
  append_formatted(out, "FNC: %03d %03d %03d %03d\n", fnc[0], fnc[1], fnc[2], fnc[3]);
}

void print_voice(std::string& out, std::span<const std::uint8_t, kListedVoiceBytes> block,
                 int number) {
  print_voice_header(out, block, number);
  for (int k = 1; k <= kOperatorCount; ++k) print_operator(out, block, k);
  print_functions(out, block);
  out += '\n';
}

}  // namespace bank
