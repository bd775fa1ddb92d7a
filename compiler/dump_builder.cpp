#include "dump_builder.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "formats/bank_data.h"

namespace bank {
namespace {

// The name characters that the instrument cannot show become spaces, here
// in the voice table as in the message.
void clean_name(Name& name) {
  for (std::size_t i = 0; i < kNameLength; ++i)
    if (name_byte_sent_as_space(static_cast<std::uint8_t>(name[i]))) name[i] = ' ';
}

void copy_name(const Name& name, std::span<std::uint8_t> data) {
  std::transform(name.begin(), name.begin() + kNameLength, data.begin(),
                 [](char ch) { return static_cast<std::uint8_t>(ch); });
}

// Sets the bits of `bits` that `mask` lets through, eight bytes a step.
void or_bits(std::array<std::uint8_t, kVoiceDataSize>& data,
             const std::array<std::uint8_t, kVoiceDataSize>& bits,
             const std::array<std::uint8_t, kVoiceDataSize>& mask) {
  for (std::size_t i = 0; i < kVoiceDataSize; i += sizeof(std::uint64_t)) {
    std::uint64_t d = 0;
    std::uint64_t b = 0;
    std::uint64_t m = 0;
    std::memcpy(&d, data.data() + i, sizeof d);
    std::memcpy(&b, bits.data() + i, sizeof b);
    std::memcpy(&m, mask.data() + i, sizeof m);
    d |= b & m;
    std::memcpy(data.data() + i, &d, sizeof d);
  }
}

std::array<std::uint8_t, kVoiceDataSize> pack_voice(VoiceParams& voice) {
  std::array<std::uint8_t, kVoiceDataSize> data{};
  clean_name(voice.name);
  copy_name(voice.name, data);
  // The EXT line's fields are at their presets in most voices: their bits
  // are then set at once.
  bool presets = true;
  for (std::size_t f = 0; f < kVoiceFieldCount; ++f) {
    const auto field = static_cast<VoiceField>(f);
    const FieldLayout& layout = voice_field_layout(field);
    if (f < static_cast<std::size_t>(VoiceField::ON1))
      pack_field(data, layout, voice_slot(voice, field));
    else
      presets = presets && voice_slot(voice, field) == layout.preset;
  }
  for (std::size_t f = static_cast<std::size_t>(VoiceField::ON1); f < kVoiceFieldCount && !presets;
       ++f) {
    const auto field = static_cast<VoiceField>(f);
    pack_field(data, voice_field_layout(field), voice_slot(voice, field));
  }
  if (presets) or_bits(data, kExtPresets.bits, kExtPresets.mask);
  for (int k = 0; k < kOperatorCount; ++k) {
    OperatorParams& op = voice.op[static_cast<std::size_t>(k)];
    const auto op_data = operator_data(data, k);
    for (std::size_t f = 0; f < kOperatorFieldCount; ++f) {
      const auto field = static_cast<OperatorField>(f);
      pack_field(op_data, operator_field_layout(field), operator_slot(op, field));
    }
  }
  or_bits(data, voice.raw, kFreeVoiceBits);
  return data;
}

}  // namespace

BankData packed_bank(BankState& state) {
  BankData bank;
  bank.system_number = state.system_number;
  bank.bank_number = state.bank_number;
  clean_name(state.bank_name);
  copy_name(state.bank_name, bank.name_block);
  for (int i = 0; i < kVoiceCount; ++i)
    bank.voices[static_cast<std::size_t>(i)] =
        pack_voice(state.voices[static_cast<std::size_t>(i)]);
  return bank;
}

void build_bulk_dump(BankState& state) { encode_bank_dump(packed_bank(state), state.message); }

}  // namespace bank
