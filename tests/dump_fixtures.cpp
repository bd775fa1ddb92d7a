#include "dump_fixtures.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "formats/bank_codec.h"
#include "formats/block_codec.h"
#include "formats/field_layout.h"
#include "formats/header.h"
#include "formats/packet_schedule.h"
#include "formats/voice_kind.h"

namespace testing_support {

std::vector<std::uint8_t> bytes_of_a_send(const std::vector<std::uint8_t>& dump) {
  const auto packets = bank::bank_dump_packets(
      std::span<const std::uint8_t, bank::kMessageSize>(dump.data(), dump.size()), 0);
  std::vector<std::uint8_t> bytes;
  for (const auto& p : packets) bytes.insert(bytes.end(), p.bytes.begin(), p.bytes.end());
  const auto request = bank::bank_request_message(0, 0);
  bytes.insert(bytes.end(), request.begin(), request.end());
  return bytes;
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
  const bank::SingleVoice message = bank::single_voice_message(voice, system_number, instrument);
  return {message.begin(), message.end()};
}

std::string as_string(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace testing_support
