// The configuration as a kind of message: the current one or memory nn
// asked for and told among the answers, sent as its dump, and read back to
// be compared byte by byte. A memory may be stored by either of two routes,
// as instruments differ in which they take: its own dump after protect-off,
// or the current configuration's dump and the message that stores it there.
#pragma once

#include "config_dump.h"
#include "message_kind.h"

namespace bank {

enum class ConfigRoute {
  dump,   // the dump of the configuration, into the memory it names
  store,  // a memory's: the current configuration's dump, then stored there
};

class ConfigKind final : public MessageKind {
 public:
  explicit ConfigKind(int memory, ConfigRoute route = ConfigRoute::dump)
      : memory_(memory), route_(route) {}
  std::string_view noun() const override { return "configuration"; }
  std::vector<std::uint8_t> request(int system_number) const override;
  std::size_t message_size() const override { return kConfigMessageSize; }
  KindRead read(InputStream& in, int system_number) const override;
  std::vector<TimedPacket> packets(std::span<const std::uint8_t> message, int system_number,
                                   std::uint32_t gap_ms) const override;
  std::string differences(std::span<const std::uint8_t> sent,
                          std::span<const std::uint8_t> back) const override;

 private:
  int memory_;
  ConfigRoute route_;
};

}  // namespace bank
