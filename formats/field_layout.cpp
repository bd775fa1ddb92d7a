#include "field_layout.h"

#include <cassert>

namespace bank {
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
    std::span<const std::uint8_t, kVoiceDataSize> voice, int index) {
  assert(index >= 0 && index < kOperatorCount);
  return voice.subspan(kFirstOperatorOffset + kOperatorDataSize * static_cast<std::size_t>(index))
      .first<kOperatorDataSize>();
}

void set_preset_voice_bits(std::span<std::uint8_t, kVoiceDataSize> voice) {
  for (const FieldLayout& layout : field_table::kVoiceFields)
    if (layout.preset != 0) pack_field(voice, layout, layout.preset);
}

}  // namespace bank
