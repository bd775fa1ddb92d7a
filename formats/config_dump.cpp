#include "config_dump.h"

#include <algorithm>

#include "block_codec.h"
#include "system/fixed_text.h"

namespace bank {
namespace {

constexpr std::uint8_t kCurrentConfigKind = 0x01;
constexpr std::uint8_t kConfigMemoryKind = 0x02;
constexpr std::uint8_t kRequestId = 0x20;
constexpr std::uint8_t kStoreKind = 0x40;
constexpr std::uint8_t kCountHigh = kConfigDataSize / 128;
constexpr std::uint8_t kCountLow = kConfigDataSize % 128;

std::array<std::uint8_t, 8> short_message(int system_number, std::uint8_t id, std::uint8_t kind,
                                          int number) {
  return {kSysExStart,
          kManufacturerId,
          kBankDumpId,
          static_cast<std::uint8_t>(system_number & 0x7F),
          id,
          kind,
          static_cast<std::uint8_t>(number & 0x7F),
          kSysExEnd};
}

// The next byte that is not a real-time byte, consumed when it is a data
// byte; -1 at a status byte (left unread) or the end.
int next_data_byte(InputStream& in) {
  skip_real_time(in);
  const int byte = peek_byte(in);
  if (byte < 0 || byte >= 0x80) return -1;
  next_byte(in);
  return byte;
}

}  // namespace

ConfigDump encode_config_dump(const ConfigData& config) {
  ConfigDump dump{};
  const bool current = config.memory == kCurrentConfig;
  const auto header = short_message(config.system_number, 0x00,
                                    current ? kCurrentConfigKind : kConfigMemoryKind,
                                    current ? 0 : config.memory);
  std::copy_n(header.begin(), kConfigHeaderSize, dump.begin());
  dump[kConfigHeaderSize] = kCountHigh;
  dump[kConfigHeaderSize + 1] = kCountLow;
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < kConfigDataSize; ++i) {
    const auto byte = static_cast<std::uint8_t>(config.bytes[i] & 0x7F);
    dump[kConfigDataOffset + i] = byte;
    sum += byte;
  }
  dump[kConfigMessageSize - 2] = block_checksum(sum);
  dump[kConfigMessageSize - 1] = kSysExEnd;
  return dump;
}

std::array<std::uint8_t, 8> config_request_message(int system_number, int memory) {
  return memory == kCurrentConfig
             ? short_message(system_number, kRequestId, kCurrentConfigKind, 0)
             : short_message(system_number, kRequestId, kConfigMemoryKind, memory);
}

std::array<std::uint8_t, 8> config_store_message(int system_number, int memory) {
  return short_message(system_number, kRequestId, kStoreKind, memory);
}

std::vector<TimedPacket> config_dump_packets(const ConfigData& config) {
  const ConfigDump dump = encode_config_dump(config);
  std::vector<TimedPacket> packets;
  std::uint32_t at = 0;
  if (config.memory != kCurrentConfig) {
    const auto protect_off = protect_off_message(config.system_number);
    packets.push_back({0, {protect_off.begin(), protect_off.end()}});
    at = kFirstPacketDelayMs;
  }
  packets.push_back({at, {dump.begin(), dump.end()}});
  return packets;
}

std::vector<TimedPacket> config_store_packets(const ConfigData& config) {
  ConfigData current = config;
  current.memory = kCurrentConfig;
  const ConfigDump dump = encode_config_dump(current);
  const auto protect_off = protect_off_message(config.system_number);
  const auto store = config_store_message(config.system_number, config.memory);
  const auto on_wire = static_cast<std::uint32_t>(
      std::chrono::ceil<std::chrono::milliseconds>(wire_time(dump.size())).count());
  return {{0, {protect_off.begin(), protect_off.end()}},
          {kFirstPacketDelayMs, {dump.begin(), dump.end()}},
          {kFirstPacketDelayMs + on_wire + kConfigStoreDelayMs, {store.begin(), store.end()}}};
}

std::optional<ConfigHeader> config_header_of(const MessageHeader& header) {
  if (header.form != MessageForm::configuration) return std::nullopt;
  return ConfigHeader{header.system_number, header.number};
}

std::optional<ConfigHeader> read_config_header(InputStream& in) {
  const std::optional<MessageHeader> header = read_message_header(in, kAnyVoiceMessage);
  if (!header) return std::nullopt;
  return config_header_of(*header);
}

DecodedConfig read_config_body(InputStream& in, const ConfigHeader& header) {
  DecodedConfig decoded;
  decoded.config.system_number = header.system_number;
  decoded.config.memory = header.memory;
  const auto fail = [&decoded](BankFault fault) {
    if (decoded.fault == BankFault::none) decoded.fault = fault;
    return decoded;
  };
  const int high = next_data_byte(in);
  const int low = high >= 0 ? next_data_byte(in) : -1;
  if (low < 0) return fail(failed(in) ? BankFault::read_error : BankFault::cut);
  const std::size_t count = static_cast<std::size_t>(high) * 128 + static_cast<std::size_t>(low);
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const int byte = next_data_byte(in);
    if (byte < 0) return fail(failed(in) ? BankFault::read_error : BankFault::cut);
    if (i < kConfigDataSize) decoded.config.bytes[i] = static_cast<std::uint8_t>(byte);
    sum += static_cast<std::uint32_t>(byte);
    ++decoded.data_count;
  }
  const int checksum = next_data_byte(in);
  if (checksum < 0) return fail(failed(in) ? BankFault::read_error : BankFault::cut);
  decoded.checksum = static_cast<std::uint8_t>(checksum);
  decoded.expected = block_checksum(sum);
  if (count != kConfigDataSize) fail(BankFault::block_size);
  if (decoded.checksum != decoded.expected) fail(BankFault::checksum);
  skip_real_time(in);
  if (peek_byte(in) != kSysExEnd) return fail(failed(in) ? BankFault::read_error : BankFault::cut);
  next_byte(in);
  return decoded;
}

std::string config_differences(const ConfigData& sent, const ConfigData& back) {
  const auto differ = [&](std::size_t from, std::size_t size) {
    return !std::equal(sent.bytes.begin() + static_cast<std::ptrdiff_t>(from),
                       sent.bytes.begin() + static_cast<std::ptrdiff_t>(from + size),
                       back.bytes.begin() + static_cast<std::ptrdiff_t>(from));
  };
  std::vector<std::string> parts;
  if (differ(0, kConfigNameLength)) parts.emplace_back("the name");
  if (differ(kConfigSettingsOffset, kConfigInstrumentOffset - kConfigSettingsOffset))
    parts.emplace_back("the settings");
  std::array<bool, kConfigInstrumentCount> instruments{};
  for (std::size_t i = 0; i < instruments.size(); ++i)
    instruments[i] = differ(kConfigInstrumentOffset + i * kConfigInstrumentSize,
                            kConfigInstrumentSize);
  int count = 0;
  const std::string runs = number_runs(instruments, count);
  if (count > 0) parts.push_back((count == 1 ? "instrument " : "instruments ") + runs);
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) text += i + 1 == parts.size() ? " and " : ", ";
    text += parts[i];
  }
  return text;
}

std::optional<ConfigData> config_of_dump(std::span<const std::uint8_t> dump) {
  InputStream in = memory_input(dump);
  const std::optional<ConfigHeader> header = read_config_header(in);
  if (!header) return std::nullopt;
  const DecodedConfig decoded = read_config_body(in, *header);
  if (decoded.fault != BankFault::none) return std::nullopt;
  return decoded.config;
}

}  // namespace bank
