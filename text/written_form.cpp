#include "written_form.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

#include "formats/field_layout.h"
#include "system/fixed_text.h"
#include "text_forms.h"

namespace bank {
namespace {

// Appends the name bytes up to the first zero byte, at most seven. A
// control byte is shown as a space: printed raw it could drive the terminal
// or break the line, and the compiler sends it as a space anyway. Bytes from
// 0x80 up are shown as they are; the compiler sends those as spaces too.
void append_name(std::string& out, std::span<const std::uint8_t> bytes) {
  for (const std::uint8_t byte : bytes.first(kNameLength)) {
    if (byte == 0) break;
    out += byte < 0x20 ? ' ' : static_cast<char>(byte);
  }
}

// Appends `gap` spaces and `value` with at least `digits` digits, zero-padded
// (printf's %0*d for a non-negative value). Every value a listing prints is
// below 1000 (a field holds at most 255): those are written digit by digit,
// which is most of the listing's work.
[[gnu::always_inline]] inline void append_number(std::string& out, std::size_t gap, int value,
                   std::size_t digits = kWrittenDigits) {
  out.append(gap, ' ');
  if (value >= 0 && value < 1000 && digits <= 3) {
    const std::array<char, 3> text{static_cast<char>('0' + value / 100),
                                   static_cast<char>('0' + value / 10 % 10),
                                   static_cast<char>('0' + value % 10)};
    const std::size_t significant = value >= 100 ? 3 : value >= 10 ? 2 : 1;
    const std::size_t shown = std::max(significant, digits);
    out.append(text.data() + text.size() - shown, shown);
    return;
  }
  std::array<char, 16> text{};
  const auto result = std::to_chars(text.data(), text.data() + text.size(), value);
  const auto length = static_cast<std::size_t>(result.ptr - text.data());
  if (length < digits) out.append(digits - length, '0');
  out.append(text.data(), length);
}

// A voice field as the listing shows it.
int voice_value(std::span<const std::uint8_t, kVoiceDataSize> block, VoiceField field) {
  const FieldLayout& layout = voice_field_layout(field);
  return listed_value(layout, unpack_field(block, layout));
}

// One voice parameter line: the keyword and the columns' values.
template <std::size_t N>
void append_voice_line(std::string& out, std::span<const std::uint8_t, kVoiceDataSize> block,
                       std::string_view keyword, const std::array<VoiceField, N>& columns) {
  out += keyword;
  for (const VoiceField field : columns)
    append_number(out, written_gap(field), voice_value(block, field));
  out += '\n';
}

// Whether a name's bytes are all printable ASCII, as a text gives them back.
bool name_comes_back(std::span<const std::uint8_t> bytes) {
  return std::all_of(bytes.begin(), bytes.begin() + kNameLength,
                     [](std::uint8_t byte) { return byte >= 0x20 && byte <= 0x7E; });
}

// A comment line naming what a compile of the listing would not give back,
// where anything is: the reader stores printable ASCII alone in a name, and
// the instrument knows no larger value than a field's listed_max.
void append_losses(std::string& out, std::string_view losses) {
  if (losses.empty()) return;
  out += kLossesComment;
  out.append(losses.begin() + 2, losses.end());  // past the first ", "
  out += '\n';
}

void note_listed_max(std::string& losses, std::span<const std::uint8_t, kVoiceDataSize> block,
                     VoiceField field) {
  const FieldLayout& layout = voice_field_layout(field);
  const int stored = unpack_field(block, layout);
  if (stored == listed_value(layout, stored)) return;
  append_text(losses, ", %s %d (as %d)", {layout.label, stored, layout.listed_max});
}

// "@NN: <name>", a comment line with what does not come back where
// something does not, then the LFO and VOI lines with their label lines.
void print_voice_header(std::string& out, std::span<const std::uint8_t, kVoiceDataSize> block,
                        int number) {
  out += kVoiceHeaderKeyword;
  append_number(out, 0, number, 2);
  out += ": ";
  append_name(out, block);
  out += '\n';
  std::string losses;
  if (!name_comes_back(block)) losses += kNameLoss;
  note_listed_max(losses, block, VoiceField::CNT);
  note_listed_max(losses, block, VoiceField::PBR);
  append_losses(out, losses);
  out += kLfoLabels;
  append_voice_line(out, block, kLfoKeyword, kLfoColumns);
  out += kVoiLabels;
  append_voice_line(out, block, kVoiKeyword, kVoiColumns);
}

// Operator `number` (1-4); operator 1 is preceded by the label line.
void print_operator(std::string& out, std::span<const std::uint8_t, kVoiceDataSize> block,
                    int number) {
  if (number == 1) out += kOperatorLabels;
  const auto data = operator_data(block, number - 1);
  out += kOperatorKeyword;
  append_number(out, 0, number, 1);
  out += ':';
  for (const OperatorField field : kOperatorColumns)
    append_number(out, written_gap(field), unpack_field(data, operator_field_layout(field)));
  out += '\n';
}

// The FNC label line and the FNC line.
void print_functions(std::string& out, std::span<const std::uint8_t, kVoiceDataSize> block) {
  out += kFncLabels;
  append_voice_line(out, block, kFncKeyword, kFncColumns);
}

// The EXT line, for a voice where a field of it is not its preset, and the
// RAW line, for a voice with free bits set: what the compiler would not
// write by itself. A voice the compiler made needs neither, so this is out
// of the common path.
[[gnu::noinline, gnu::cold]] void print_extras(std::string& out,
                                               std::span<const std::uint8_t, kVoiceDataSize> block,
                                               bool ext, bool raw) {
  if (ext) {
    out += kExtLabels;
    append_voice_line(out, block, kExtKeyword, kExtColumns);
  }
  if (!raw) return;
  out += kRawLabels;
  out += kRawKeyword;
  for (std::size_t i = 0; i < block.size(); ++i) {
    const int bits = block[i] & kFreeVoiceBits[i];
    if (bits == 0) continue;
    append_number(out, 1, static_cast<int>(i));
    append_number(out, 1, bits);
  }
  out += '\n';
}

}  // namespace

void print_bank_name(std::string& out, std::span<const std::uint8_t> block) {
  out += kBankNameKeyword;
  append_name(out, block.first<kListedBankNameBytes>());
  out += '\n';
  // The builder writes zeros after the name: a space in byte 7 and zeros
  // after it, as the instrument's own dumps hold, is that same pad.
  std::string losses;
  if (!name_comes_back(block)) losses += kNameLoss;
  const std::span<const std::uint8_t> pad = block.subspan(kNameLength);
  const bool own_pad = (pad[0] == 0 || pad[0] == ' ') &&
                       std::all_of(pad.begin() + 1, pad.end(), [](std::uint8_t b) { return b == 0; });
  if (!own_pad) losses += kBankPadLoss;
  append_losses(out, losses);
  out += '\n';
}

void append_voice(std::string& out, std::span<const std::uint8_t, kVoiceDataSize> block,
                  int number) {
  print_voice_header(out, block, number);
  for (int k = 1; k <= kOperatorCount; ++k) print_operator(out, block, k);
  print_functions(out, block);
  const bool ext = differs_in(block, kExtPresets.mask, kExtPresets.bits);
  const bool raw = differs_in(block, kFreeVoiceBits, kNoBits);
  if (ext || raw) print_extras(out, block, ext, raw);
  out += '\n';
}

}  // namespace bank
