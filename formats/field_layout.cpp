#include "field_layout.h"

#include <cassert>

namespace bank {
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
