// Where each parameter lives in the packed voice data.
//
// A parameter is stored as its low bits only: packing keeps as many low bits
// of the value as the field is wide and leaves every other bit of the byte
// alone; no range check is made. KST is the one parameter whose two bits lie
// in different bytes of the operator data, so a field is a list of pieces.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "message_layout.h"

namespace bank {

// clang-format off
// Per-voice parameters. Their order is the column order of the text lines
// that carry them (LFO, VOI, FNC, EXT), and the order of the field table
// below.
enum class VoiceField : std::uint8_t {
  EN, SPD, AMD, PMD, AMS, PMS, FORM, SYNC,  // LFO line
  ALG, FB, TRANS,                           // VOI line
  MON, POR, CNT, PBR,                       // FNC line
  ON1, ON2, ON3, ON4, OUT, USR,             // EXT line
};
inline constexpr std::size_t kVoiceFieldCount = 21;

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
  std::uint8_t field;  // the VoiceField or OperatorField it places
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
  // The value a text that does not give the field stores. Only the fields
  // of the EXT line have one other than 0; a listing shows that line only
  // for a voice where one of them differs from it.
  std::int16_t preset = 0;
};

namespace field_table {

template <class Field>
constexpr FieldLayout one(Field field, std::string_view label, std::uint8_t byte,
                          std::uint8_t shift, std::uint8_t width, std::int16_t lowest = 0,
                          std::int16_t listed_max = -1, std::int16_t preset = 0) {
  return FieldLayout{static_cast<std::uint8_t>(field),
                     label,
                     {BitPiece{byte, shift, width, 0}, BitPiece{}},
                     1,
                     lowest,
                     listed_max,
                     preset};
}

using V = VoiceField;
using O = OperatorField;

// The one table of where every parameter lives, by field, with its label.
// Byte offsets of voice fields are within the 64-byte voice data; those of
// operator fields are within the 8 bytes of one operator.
inline constexpr std::array<FieldLayout, kVoiceFieldCount> kVoiceFields{{
    one(V::EN, "EN", 9, 7, 1),
    one(V::SPD, "SPD", 8, 0, 8),
    one(V::AMD, "AMD", 9, 0, 7),
    one(V::PMD, "PMD", 10, 0, 7),
    one(V::AMS, "AMS", 13, 0, 2),
    one(V::PMS, "PMS", 13, 4, 3),
    one(V::FORM, "FORM", 14, 5, 2),
    one(V::SYNC, "SYNC", 10, 7, 1),
    one(V::ALG, "ALG", 12, 0, 3),
    one(V::FB, "FB", 12, 3, 3),
    one(V::TRANS, "TRANS", 15, 0, 8, -128),
    one(V::MON, "MON", 58, 7, 1),
    one(V::POR, "POR", 58, 0, 7),
    one(V::CNT, "CNT", 59, 4, 3, 0, 4),
    one(V::PBR, "PBR", 59, 0, 4, 0, 12),
    // Bits 3-6 of byte 11 switch the operators on (1) or off, bit 3 the
    // operator whose data comes first (OP1); editors send them as a voice
    // parameter, and the sound chip's key-on register has this layout.
    one(V::ON1, "ON1", 11, 3, 1, 0, -1, 1),
    one(V::ON2, "ON2", 11, 4, 1, 0, -1, 1),
    one(V::ON3, "ON3", 11, 5, 1, 0, -1, 1),
    one(V::ON4, "ON4", 11, 6, 1, 0, -1, 1),
    // The chip's two output bits, beside FB and ALG as in its register; the
    // instrument's own voices hold both set.
    one(V::OUT, "OUT", 12, 6, 2, 0, -1, 3),
    // A free byte that editors let the owner set (one keeps a category there).
    one(V::USR, "USR", 7, 0, 8),
}};

inline constexpr std::array<FieldLayout, kOperatorFieldCount> kOperatorFields{{
    one(O::MUL, "MUL", 3, 0, 4),
    one(O::TL, "TL", 0, 0, 7),
    one(O::AR, "AR", 4, 0, 5),
    one(O::DR, "DR", 5, 0, 5),
    one(O::SL, "SL", 7, 4, 4),
    one(O::SR, "SR", 6, 0, 5),
    one(O::RR, "RR", 7, 0, 4),
    one(O::DT1, "DT1", 3, 4, 3),
    one(O::DT2, "DT2", 6, 6, 2),
    // Bit 0 of KST is bit 7 of byte 1, bit 1 of KST is bit 7 of byte 3.
    FieldLayout{
        static_cast<std::uint8_t>(O::KST), "KST", {BitPiece{1, 7, 1, 0}, BitPiece{3, 7, 1, 1}}, 2},
    one(O::KSL, "KSL", 2, 4, 4),
    one(O::KSR, "KSR", 4, 6, 2),
    one(O::VST, "VST", 1, 4, 3),
    one(O::ADJ, "ADJ", 2, 0, 4),
    one(O::VSA, "VSA", 5, 5, 2),
    one(O::MC, "MC", 5, 7, 1),
}};

// Each row stands at the index of its field, and every piece lies inside
// the bytes a listing reads.
template <std::size_t N>
constexpr bool well_formed(const std::array<FieldLayout, N>& table, std::size_t size) {
  for (std::size_t f = 0; f < N; ++f) {
    if (table[f].field != f) return false;
    for (std::size_t i = 0; i < table[f].piece_count; ++i) {
      const BitPiece& p = table[f].pieces[i];
      if (p.byte >= size || p.shift + p.width > 8) return false;
    }
  }
  return true;
}
static_assert(well_formed(kVoiceFields, kListedVoiceBytes));
static_assert(well_formed(kOperatorFields, kOperatorDataSize));

}  // namespace field_table

constexpr const FieldLayout& voice_field_layout(VoiceField field) {
  return field_table::kVoiceFields[static_cast<std::size_t>(field)];
}
constexpr const FieldLayout& operator_field_layout(OperatorField field) {
  return field_table::kOperatorFields[static_cast<std::size_t>(field)];
}

// How many bits the field holds, and so its largest value.
constexpr int field_width(const FieldLayout& layout) {
  int width = 0;
  for (std::size_t i = 0; i < layout.piece_count; ++i) width += layout.pieces[i].width;
  return width;
}
constexpr int field_max(int width) { return (1 << width) - 1; }

// The value a listing shows for the stored value `value`.
constexpr int listed_value(const FieldLayout& layout, int value) {
  return layout.listed_max >= 0 && value > layout.listed_max ? layout.listed_max : value;
}

// Stores the low bits of `value` into the field; other bits are untouched.
// Inline: the builder and the listing call these for every field of every
// voice.
inline void pack_field(std::span<std::uint8_t> data, const FieldLayout& layout, std::int32_t value) {
  const auto bits = static_cast<std::uint32_t>(value);
  for (std::size_t i = 0; i < layout.piece_count; ++i) {
    const BitPiece& p = layout.pieces[i];
    assert(p.byte < data.size());
    const std::uint32_t mask = (1U << p.width) - 1U;
    const std::uint32_t piece = (bits >> p.value_shift) & mask;
    const std::uint32_t kept = data[p.byte] & ~(mask << p.shift);
    data[p.byte] = static_cast<std::uint8_t>(kept | (piece << p.shift));
  }
}
// Reads the field back as an unsigned number.
inline int unpack_field(std::span<const std::uint8_t> data, const FieldLayout& layout) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < layout.piece_count; ++i) {
    const BitPiece& p = layout.pieces[i];
    assert(p.byte < data.size());
    const std::uint32_t mask = (1U << p.width) - 1U;
    value |= ((static_cast<std::uint32_t>(data[p.byte]) >> p.shift) & mask) << p.value_shift;
  }
  return static_cast<int>(value);
}

// The operator data of operator `index` (0-3) inside voice data.
std::span<std::uint8_t, kOperatorDataSize> operator_data(
    std::span<std::uint8_t, kVoiceDataSize> voice, int index);
std::span<const std::uint8_t, kOperatorDataSize> operator_data(
    std::span<const std::uint8_t, kVoiceDataSize> voice, int index);
// Voice data held in an array converts to both spans; it is written to.
inline std::span<std::uint8_t, kOperatorDataSize> operator_data(
    std::array<std::uint8_t, kVoiceDataSize>& voice, int index) {
  return operator_data(std::span<std::uint8_t, kVoiceDataSize>(voice), index);
}

// Stores the preset of every voice field (all operators on, both output
// bits set), as the compiler does for a voice whose text gives no EXT line.
void set_preset_voice_bits(std::span<std::uint8_t, kVoiceDataSize> voice);

// The bits of each voice data byte that a value of the text holds: the
// name (bytes 0-6), the voice fields and the operator fields of all four
// operators. What is left of a byte is free: no field holds it, and a
// bank text carries it as it stands on a RAW line.
constexpr std::array<std::uint8_t, kVoiceDataSize> held_voice_bits() {
  std::array<std::uint8_t, kVoiceDataSize> held{};
  const auto mark = [&held](std::size_t base, const FieldLayout& layout) {
    for (std::size_t i = 0; i < layout.piece_count; ++i) {
      const BitPiece& p = layout.pieces[i];
      held[base + p.byte] = static_cast<std::uint8_t>(held[base + p.byte] |
                                                      (((1U << p.width) - 1U) << p.shift));
    }
  };
  for (std::size_t i = 0; i < kNameLength; ++i) held[i] = 0xFF;
  for (const FieldLayout& layout : field_table::kVoiceFields) mark(0, layout);
  for (std::size_t k = 0; k < kOperatorCount; ++k)
    for (const FieldLayout& layout : field_table::kOperatorFields)
      mark(kFirstOperatorOffset + kOperatorDataSize * k, layout);
  return held;
}
inline constexpr std::array<std::uint8_t, kVoiceDataSize> kHeldVoiceBits = held_voice_bits();

// The free bits of voice data byte `offset` (0-63).
constexpr std::uint8_t free_voice_bits(std::size_t offset) {
  return static_cast<std::uint8_t>(~kHeldVoiceBits[offset]);
}
inline constexpr std::array<std::uint8_t, kVoiceDataSize> kFreeVoiceBits = [] {
  std::array<std::uint8_t, kVoiceDataSize> free{};
  for (std::size_t i = 0; i < free.size(); ++i) free[i] = free_voice_bits(i);
  return free;
}();

// The bits of the fields of the EXT line (ON1 to USR), and their presets in
// place: voice data whose `mask` bits are `bits` holds every one of them at
// its preset, as the compiler writes a voice whose text has no EXT line.
struct PresetBits {
  std::array<std::uint8_t, kVoiceDataSize> mask{};
  std::array<std::uint8_t, kVoiceDataSize> bits{};
};
inline constexpr PresetBits kExtPresets = [] {
  PresetBits preset;
  for (const FieldLayout& layout : field_table::kVoiceFields) {
    if (layout.field < static_cast<std::uint8_t>(VoiceField::ON1)) continue;
    for (std::size_t i = 0; i < layout.piece_count; ++i) {
      const BitPiece& p = layout.pieces[i];
      const auto ones = static_cast<unsigned>((1U << p.width) - 1U);
      const auto value = (static_cast<unsigned>(layout.preset) >> p.value_shift) & ones;
      preset.mask[p.byte] = static_cast<std::uint8_t>(preset.mask[p.byte] | (ones << p.shift));
      preset.bits[p.byte] = static_cast<std::uint8_t>(preset.bits[p.byte] | (value << p.shift));
    }
  }
  return preset;
}();
inline constexpr std::array<std::uint8_t, kVoiceDataSize> kNoBits{};

// Whether any byte of `data` differs from `want` in the bits of `mask`:
// eight bytes a step, as this is asked of every voice listed.
inline bool differs_in(std::span<const std::uint8_t, kVoiceDataSize> data,
                       const std::array<std::uint8_t, kVoiceDataSize>& mask,
                       const std::array<std::uint8_t, kVoiceDataSize>& want) {
  std::uint64_t differ = 0;
  for (std::size_t i = 0; i < kVoiceDataSize; i += sizeof differ) {
    std::uint64_t d = 0;
    std::uint64_t m = 0;
    std::uint64_t w = 0;
    std::memcpy(&d, data.data() + i, sizeof d);
    std::memcpy(&m, mask.data() + i, sizeof m);
    std::memcpy(&w, want.data() + i, sizeof w);
    differ |= (d & m) ^ w;
  }
  return differ != 0;
}

}  // namespace bank
