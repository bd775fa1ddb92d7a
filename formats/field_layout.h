// Where each parameter lives in the packed voice data.
//
// A parameter is stored as its low bits only: packing keeps as many low bits
// of the value as the field is wide and leaves every other bit of the byte
// alone; no range check is made. KST is the one parameter whose two bits lie
// in different bytes of the operator data, so a field is a list of pieces.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "message_layout.h"

namespace bank {

// clang-format off
// Per-voice parameters, in the column order of the text lines that carry
// them (LFO, VOI, FNC).
enum class VoiceField : std::uint8_t {
  EN, SPD, AMD, PMD, AMS, PMS, FORM, SYNC,  // LFO line
  ALG, FB, TRANS,                           // VOI line
  MON, POR, CNT, PBR,                       // FNC line
};
inline constexpr std::size_t kVoiceFieldCount = 15;

// Per-operator parameters, in the column order of the operator line.
enum class OperatorField : std::uint8_t {
  MUL, TL, AR, DR, SL, SR, RR, DT1, DT2, KST, KSL, KSR, VST, ADJ, VSA, MC,
};
inline constexpr std::size_t kOperatorFieldCount = 16;
// clang-format on

// `width` bits of the value, starting at bit `value_shift`, are stored in
// byte `byte` starting at bit `shift`.
struct BitPiece {
  std::uint8_t byte;
  std::uint8_t shift;
  std::uint8_t width;
  std::uint8_t value_shift;
};

struct FieldLayout {
  std::string_view label;
  std::array<BitPiece, 2> pieces;
  std::uint8_t piece_count;
  // Values that a text may give without a warning run from `lowest` to the
  // largest the field holds; TRANS, a whole byte, is usually written signed
  // as well as unsigned, so it also takes -128 to -1.
  std::int16_t lowest = 0;
  // A listing shows a larger stored value as this one (the instrument knows
  // no CNT above 4 and no PBR above 12); -1 when every value is shown.
  std::int16_t listed_max = -1;
};

// How many bits the field holds, and so its largest value.
int field_width(const FieldLayout& layout);
constexpr int field_max(int width) { return (1 << width) - 1; }

// The value a listing shows for the stored value `value`.
int listed_value(const FieldLayout& layout, int value);

// Byte offsets of voice fields are within the 64-byte voice data; those of
// operator fields are within the 8 bytes of one operator.
const FieldLayout& voice_field_layout(VoiceField field);
const FieldLayout& operator_field_layout(OperatorField field);

// Stores the low bits of `value` into the field; other bits are untouched.
void pack_field(std::span<std::uint8_t> data, const FieldLayout& layout, std::int32_t value);
// Reads the field back as an unsigned number.
int unpack_field(std::span<const std::uint8_t> data, const FieldLayout& layout);

// The operator data of operator `index` (0-3) inside voice data.
std::span<std::uint8_t, kOperatorDataSize> operator_data(
    std::span<std::uint8_t, kVoiceDataSize> voice, int index);
std::span<const std::uint8_t, kOperatorDataSize> operator_data(
    std::span<const std::uint8_t, kListedVoiceBytes> voice, int index);

// Bits that belong to no parameter but are always set in voice data: byte 11
// is 0x78 and bits 7-6 of byte 12 are ones.
void set_fixed_voice_bits(std::span<std::uint8_t, kVoiceDataSize> voice);

}  // namespace bank
