#include "field_layout.h"

#include <cassert>

namespace bank {
namespace {

constexpr FieldLayout one(std::string_view label, std::uint8_t byte, std::uint8_t shift,
                          std::uint8_t width, std::int16_t lowest = 0,
                          std::int16_t listed_max = -1) {
  return FieldLayout{label, {BitPiece{byte, shift, width, 0}, BitPiece{}}, 1, lowest, listed_max};
}

// Indexed by VoiceField.
constexpr std::array<FieldLayout, kVoiceFieldCount> kVoiceFields{{
    one("EN", 9, 7, 1),
    one("SPD", 8, 0, 8),
    one("AMD", 9, 0, 7),
    one("PMD", 10, 0, 7),
    one("AMS", 13, 0, 2),
    one("PMS", 13, 4, 3),
    one("FORM", 14, 5, 2),
    one("SYNC", 10, 7, 1),
    one("ALG", 12, 0, 3),
    one("FB", 12, 3, 3),
    one("TRANS", 15, 0, 8, -128),
    one("MON", 58, 7, 1),
    one("POR", 58, 0, 7),
    one("CNT", 59, 4, 3, 0, 4),
    one("PBR", 59, 0, 4, 0, 12),
}};

// Indexed by OperatorField.
constexpr std::array<FieldLayout, kOperatorFieldCount> kOperatorFields{{
    one("MUL", 3, 0, 4),
    one("TL", 0, 0, 7),
    one("AR", 4, 0, 5),
    one("DR", 5, 0, 5),
    one("SL", 7, 4, 4),
    one("SR", 6, 0, 5),
    one("RR", 7, 0, 4),
    one("DT1", 3, 4, 3),
    one("DT2", 6, 6, 2),
    // Bit 0 of KST is bit 7 of byte 1, bit 1 of KST is bit 7 of byte 3.
    FieldLayout{"KST", {BitPiece{1, 7, 1, 0}, BitPiece{3, 7, 1, 1}}, 2},
    one("KSL", 2, 4, 4),
    one("KSR", 4, 6, 2),
    one("VST", 1, 4, 3),
    one("ADJ", 2, 0, 4),
    one("VSA", 5, 5, 2),
    one("MC", 5, 7, 1),
}};

constexpr bool fits(const FieldLayout& field, std::size_t size) {
  for (std::size_t i = 0; i < field.piece_count; ++i) {
    const BitPiece& p = field.pieces[i];
    if (p.byte >= size || p.shift + p.width > 8) return false;
  }
  return true;
}

constexpr bool all_fit() {
  for (const FieldLayout& f : kVoiceFields)
    if (!fits(f, kListedVoiceBytes)) return false;
  for (const FieldLayout& f : kOperatorFields)
    if (!fits(f, kOperatorDataSize)) return false;
  return true;
}
static_assert(all_fit(), "every field lies inside the bytes a listing reads");

}  // namespace

int field_width(const FieldLayout& layout) {
  int width = 0;
  for (std::size_t i = 0; i < layout.piece_count; ++i) width += layout.pieces[i].width;
  return width;
}

int listed_value(const FieldLayout& layout, int value) {
  return layout.listed_max >= 0 && value > layout.listed_max ? layout.listed_max : value;
}

const FieldLayout& voice_field_layout(VoiceField field) {
  return kVoiceFields[static_cast<std::size_t>(field)];
}

const FieldLayout& operator_field_layout(OperatorField field) {
  return kOperatorFields[static_cast<std::size_t>(field)];
}

void pack_field(std::span<std::uint8_t> data, const FieldLayout& layout, std::int32_t value) {
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

int unpack_field(std::span<const std::uint8_t> data, const FieldLayout& layout) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < layout.piece_count; ++i) {
    const BitPiece& p = layout.pieces[i];
    assert(p.byte < data.size());
    const std::uint32_t mask = (1U << p.width) - 1U;
    value |= ((static_cast<std::uint32_t>(data[p.byte]) >> p.shift) & mask) << p.value_shift;
  }
  return static_cast<int>(value);
}

std::span<std::uint8_t, kOperatorDataSize> operator_data(
    std::span<std::uint8_t, kVoiceDataSize> voice, int index) {
  assert(index >= 0 && index < kOperatorCount);
  return voice.subspan(kFirstOperatorOffset + kOperatorDataSize * static_cast<std::size_t>(index))
      .first<kOperatorDataSize>();
}

std::span<const std::uint8_t, kOperatorDataSize> operator_data(
    std::span<const std::uint8_t, kListedVoiceBytes> voice, int index) {
  assert(index >= 0 && index < kOperatorCount);
  return voice.subspan(kFirstOperatorOffset + kOperatorDataSize * static_cast<std::size_t>(index))
      .first<kOperatorDataSize>();
}

void set_fixed_voice_bits(std::span<std::uint8_t, kVoiceDataSize> voice) {
  voice[11] = 0x78;
  voice[12] = static_cast<std::uint8_t>(voice[12] | 0xC0);
}

}  // namespace bank
