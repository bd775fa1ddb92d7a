// The configuration dump: what the instrument plays and how, as one System
// Exclusive message of 171 bytes.
//
//   offset  length  content
//   0       7       header: F0 43 75 <system> 00 01 00 (the current
//                   configuration) or F0 43 75 <system> 00 02 <nn>
//                   (configuration memory nn, 0-19 for configurations 1-20)
//   7       2       count: 01 20, 160 bytes
//   9       160     the data, plain 7-bit bytes (no nibble pairs)
//   169     1       checksum: (-sum of the 160 bytes) & 0x7F
//   170     1       F7
//
// The instrument keeps the current configuration and 20 memories; 17-20
// are its presets, which it does not let be written.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "bank_codec.h"
#include "packet_schedule.h"
#include "system/input_stream.h"

namespace bank {

inline constexpr std::size_t kConfigDataSize = 160;
inline constexpr std::size_t kConfigHeaderSize = 7;
inline constexpr std::size_t kConfigDataOffset = kConfigHeaderSize + 2;
inline constexpr std::size_t kConfigMessageSize = kConfigDataOffset + kConfigDataSize + 2;
static_assert(kConfigMessageSize == 171);

// The data: the name (8 characters), the settings of the whole
// configuration (bytes 8-31), and 16 bytes for each of the 8 instruments.
inline constexpr std::size_t kConfigNameLength = 8;
inline constexpr std::size_t kConfigSettingsOffset = 8;
inline constexpr std::size_t kConfigInstrumentOffset = 32;
inline constexpr std::size_t kConfigInstrumentSize = 16;
inline constexpr int kConfigInstrumentCount = 8;
static_assert(kConfigInstrumentOffset + kConfigInstrumentCount * kConfigInstrumentSize ==
              kConfigDataSize);

// Memories 17-20 (16-19) are presets; kConfigMemoryCount and
// kCurrentConfig are the header's.
inline constexpr int kStorableConfigCount = 16;
constexpr bool config_is_storable(int memory) {
  return memory == kCurrentConfig || (memory >= 0 && memory < kStorableConfigCount);
}

struct ConfigData {
  int system_number = 0;
  int memory = kCurrentConfig;  // 0-19, or kCurrentConfig
  std::array<std::uint8_t, kConfigDataSize> bytes{};
};

using ConfigDump = std::array<std::uint8_t, kConfigMessageSize>;

// The dump of `config`, each data byte sent as its low 7 bits.
ConfigDump encode_config_dump(const ConfigData& config);

// The request for the current configuration (F0 43 75 0s 20 01 00 F7) or
// memory nn (F0 43 75 0s 20 02 nn F7).
std::array<std::uint8_t, 8> config_request_message(int system_number, int memory);

// Stores the current configuration into memory nn, which it leaves
// current: F0 43 75 0s 20 40 nn F7.
std::array<std::uint8_t, 8> config_store_message(int system_number, int memory);

// The packets that send `config`'s dump: into the current configuration
// it goes alone; into a memory after protect-off, 300 ms before it.
std::vector<TimedPacket> config_dump_packets(const ConfigData& config);

// The instrument takes its time to make a configuration current before it
// can store it.
inline constexpr std::uint32_t kConfigStoreDelayMs = 1000;

// The other way into memory `config.memory`: protect-off, the data as the
// current configuration's dump, and a second after it the message that
// stores the current configuration there.
std::vector<TimedPacket> config_store_packets(const ConfigData& config);

struct ConfigHeader {
  int system_number = 0;
  int memory = kCurrentConfig;
};

// Reads a configuration header at the stream's position as any header of
// a received message is read (header.h). Nothing when the bytes there are
// none; some of them may be consumed, but never a status byte after the F0.
std::optional<ConfigHeader> read_config_header(InputStream& in);

// The configuration header of a message header, when it is one.
std::optional<ConfigHeader> config_header_of(const MessageHeader& header);

struct DecodedConfig {
  ConfigData config;  // what the message holds; bytes it does not carry are zero
  BankFault fault = BankFault::none;
  std::uint8_t checksum = 0;         // checksum: the byte as it stands
  std::uint8_t expected = 0;         // checksum: the one the data call for
  std::size_t data_count = 0;        // data bytes the message carried
};

// Reads the rest of a configuration dump whose header has been read: the
// count, the data, the checksum and the F7, as a MIDI receiver reads them
// (real-time bytes passed over, any other status byte ends the message and
// is left unread). The fault says what was wrong; what was read is kept.
DecodedConfig read_config_body(InputStream& in, const ConfigHeader& header);

// What differs between a configuration sent and the one read back:
// "the name", "the settings", "instrument 3", "instruments 1, 4-6", joined
// by ", " and " and "; empty when all 160 bytes are the same.
std::string config_differences(const ConfigData& sent, const ConfigData& back);

// The configuration of a whole configuration dump that passes its checks;
// nothing otherwise.
std::optional<ConfigData> config_of_dump(std::span<const std::uint8_t> dump);

}  // namespace bank
