// A whole bank as data: the bank-name block and 48 voice blocks, decoded,
// with the numbers of its header. The bank dump is this record's encoding:
// the header, each block as nibble pairs with its count and checksum, F7.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "message_layout.h"

namespace bank {

// One voice's 64 bytes of voice data.
using VoiceData = std::array<std::uint8_t, kVoiceDataSize>;

struct BankData {
  int system_number = 0;
  int bank_number = 0;
  std::array<std::uint8_t, kBankNameDataSize> name_block{};  // the name is bytes 0-6
  std::array<std::array<std::uint8_t, kVoiceDataSize>, kVoiceCount> voices{};
};

// The data of block `index`: 0 the bank-name block, 1-48 that voice.
inline std::span<std::uint8_t> block_data(BankData& bank, int index) {
  return index == 0 ? std::span<std::uint8_t>(bank.name_block)
                    : std::span<std::uint8_t>(bank.voices[static_cast<std::size_t>(index - 1)]);
}

// The bank dump of `bank`, into `dump`.
void encode_bank_dump(const BankData& bank, std::span<std::uint8_t, kMessageSize> dump);

}  // namespace bank
