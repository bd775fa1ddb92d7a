#include "config_kind.h"

namespace bank {

std::vector<std::uint8_t> ConfigKind::request(int system_number) const {
  const auto request = config_request_message(system_number, memory_);
  return {request.begin(), request.end()};
}

KindRead ConfigKind::read(InputStream& in, int system_number) const {
  KindRead read;
  // Any other message is passed over from where its reading stopped.
  const std::optional<ConfigHeader> header = read_config_header(in);
  if (!header) return read;
  const DecodedConfig decoded = read_config_body(in, *header);
  if (decoded.fault == BankFault::none &&
      (header->system_number != system_number || header->memory != memory_))
    return read;
  const ConfigDump dump = encode_config_dump(decoded.config);
  return kind_read_of(decoded.fault, {dump.begin(), dump.end()});
}

std::vector<TimedPacket> ConfigKind::packets(std::span<const std::uint8_t> message,
                                             int system_number, std::uint32_t /*gap_ms*/) const {
  std::optional<ConfigData> config = config_of_dump(message);
  if (!config) return {};  // no configuration dump: nothing to send
  config->system_number = system_number;
  config->memory = memory_;
  return route_ == ConfigRoute::store && memory_ != kCurrentConfig ? config_store_packets(*config)
                                                                   : config_dump_packets(*config);
}

std::string ConfigKind::differences(std::span<const std::uint8_t> sent,
                                    std::span<const std::uint8_t> back) const {
  const std::optional<ConfigData> a = config_of_dump(sent);
  const std::optional<ConfigData> b = config_of_dump(back);
  if (!a || !b) return "the whole configuration";
  return config_differences(*a, *b);
}

}  // namespace bank
