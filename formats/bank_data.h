// A whole bank as data: the bank-name block and 48 voice blocks, decoded,
// with the numbers of its header. The bank dump is this record's encoding:
// the header, each block as nibble pairs with its count and checksum, F7.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "message_layout.h"

namespace bank {

struct BankData {
  int system_number = 0;
  int bank_number = 0;
  std::array<std::uint8_t, kBankNameDataSize> name_block{};  // the name is bytes 0-6
  std::array<std::array<std::uint8_t, kVoiceDataSize>, kVoiceCount> voices{};
};

// The bank dump of `bank`, into `dump`.
void encode_bank_dump(const BankData& bank, std::span<std::uint8_t, kMessageSize> dump);

}  // namespace bank
