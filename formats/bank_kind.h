// The bank as a kind of message: bank `bank_number` (0-6) asked for, told
// among the answers, sent in its timed packets after protect-off, and read
// back to be compared by its name and voices.
#pragma once

#include "message_kind.h"

namespace bank {

class BankKind final : public MessageKind {
 public:
  explicit BankKind(int bank_number) : bank_number_(bank_number) {}
  std::string_view noun() const override { return "bank"; }
  std::vector<std::uint8_t> request(int system_number) const override;
  std::size_t message_size() const override { return kMessageSize; }
  KindRead read(InputStream& in, int system_number) const override;
  std::vector<TimedPacket> packets(std::span<const std::uint8_t> message, int system_number,
                                   std::uint32_t gap_ms) const override;
  std::string differences(std::span<const std::uint8_t> sent,
                          std::span<const std::uint8_t> back) const override;

 private:
  int bank_number_;
};

}  // namespace bank
