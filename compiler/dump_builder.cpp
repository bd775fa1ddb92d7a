#include "dump_builder.h"

#include <algorithm>
#include <span>

#include "formats/block_codec.h"
#include "formats/header.h"

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

std::array<std::uint8_t, kVoiceDataSize> pack_voice(VoiceParams& voice) {
  std::array<std::uint8_t, kVoiceDataSize> data{};
  clean_name(voice.name);
  copy_name(voice.name, data);
  for (std::size_t f = 0; f < kVoiceFieldCount; ++f) {
    const auto field = static_cast<VoiceField>(f);
    pack_field(data, voice_field_layout(field), voice_slot(voice, field));
  }
  for (int k = 0; k < kOperatorCount; ++k) {
    OperatorParams& op = voice.op[static_cast<std::size_t>(k)];
    const auto op_data = operator_data(data, k);
    for (std::size_t f = 0; f < kOperatorFieldCount; ++f) {
      const auto field = static_cast<OperatorField>(f);
      pack_field(op_data, operator_field_layout(field), operator_slot(op, field));
    }
  }
  set_fixed_voice_bits(data);
  return data;
}

}  // namespace

void build_bulk_dump(BankState& state) {
  std::span<std::uint8_t> message(state.message);
  std::fill(message.begin(), message.end(), std::uint8_t{0});

  const auto header = make_header(state.system_number, state.bank_number);
  std::copy(header.begin(), header.end(), message.begin());
  std::span<std::uint8_t> cursor = message.subspan(kHeaderSize);

  std::array<std::uint8_t, kBankNameDataSize> bank_name{};
  clean_name(state.bank_name);
  copy_name(state.bank_name, bank_name);
  write_block(cursor, bank_name);

  for (int i = 0; i < kVoiceCount; ++i)
    write_block(cursor, pack_voice(state.voices[static_cast<std::size_t>(i)]));

  cursor[0] = kSysExEnd;
}

}  // namespace bank
