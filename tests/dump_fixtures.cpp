#include "dump_fixtures.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "formats/block_codec.h"
#include "formats/field_layout.h"
#include "formats/header.h"

namespace testing_support {

VoiceData sample_voice(std::string_view name, int seed) {
  VoiceData data{};
  std::copy_n(name.begin(), std::min(name.size(), bank::kNameLength), data.begin());
  // The fields of the standard lines; those of the EXT line keep their
  // presets, as in the instrument's own voices.
  for (std::size_t f = 0; f < static_cast<std::size_t>(bank::VoiceField::ON1); ++f) {
    const bank::FieldLayout& layout = bank::voice_field_layout(static_cast<bank::VoiceField>(f));
    // No value above what the instrument knows (CNT 4, PBR 12).
    const int value = seed * 7 + static_cast<int>(f) * 3;
    bank::pack_field(data, layout, layout.listed_max < 0 ? value : value % (layout.listed_max + 1));
  }
  for (int op = 0; op < bank::kOperatorCount; ++op)
    for (std::size_t f = 0; f < bank::kOperatorFieldCount; ++f)
      bank::pack_field(bank::operator_data(data, op),
                       bank::operator_field_layout(static_cast<bank::OperatorField>(f)),
                       seed * 5 + op * 11 + static_cast<int>(f));
  bank::set_preset_voice_bits(data);
  return data;
}

std::vector<std::uint8_t> make_dump(std::string_view bank_name,
                                    const std::array<VoiceData, bank::kVoiceCount>& voices,
                                    int system_number, int bank_number) {
  std::vector<std::uint8_t> message(bank::kMessageSize);
  const auto header = bank::make_header(system_number, bank_number);
  std::copy(header.begin(), header.end(), message.begin());
  std::span<std::uint8_t> cursor = std::span(message).subspan(bank::kHeaderSize);
  std::array<std::uint8_t, bank::kBankNameDataSize> name{};
  std::copy_n(bank_name.begin(), std::min(bank_name.size(), bank::kNameLength), name.begin());
  bank::write_block(cursor, name);
  for (const VoiceData& voice : voices) bank::write_block(cursor, voice);
  cursor[0] = bank::kSysExEnd;
  return message;
}

std::vector<std::uint8_t> sample_dump() {
  std::array<VoiceData, bank::kVoiceCount> voices{};
  for (int i = 0; i < bank::kVoiceCount; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "Voice%02d", i + 1);
    voices[static_cast<std::size_t>(i)] = sample_voice(name, i);
  }
  return make_dump("Samples", voices);
}

std::string voice_ram_dump(const std::vector<std::uint8_t>& bank_dump, int system_number) {
  std::string bytes{'\xF0', '\x43', static_cast<char>(system_number), '\x0C'};
  bytes.append(bank_dump.begin() + bank::kHeaderSize, bank_dump.end());
  return bytes;
}

std::string single_voice(const VoiceData& voice, int system_number, int instrument) {
  std::string bytes{'\xF0',
                    '\x43',
                    '\x75',
                    static_cast<char>(system_number),
                    static_cast<char>(0x08 + instrument),
                    '\x00',
                    '\x00'};
  std::vector<std::uint8_t> block(bank::kVoiceBlockSize);
  std::span<std::uint8_t> cursor(block);
  bank::write_block(cursor, voice);
  bytes.append(block.begin(), block.end());
  bytes += '\xF7';
  return bytes;
}

std::string as_string(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace testing_support
