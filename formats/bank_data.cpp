#include "bank_data.h"

#include <algorithm>

#include "block_codec.h"
#include "header.h"

namespace bank {

void encode_bank_dump(const BankData& bank, std::span<std::uint8_t, kMessageSize> dump) {
  const auto header = make_header(bank.system_number, bank.bank_number);
  std::copy(header.begin(), header.end(), dump.begin());
  std::span<std::uint8_t> cursor = std::span<std::uint8_t>(dump).subspan(kHeaderSize);
  write_block(cursor, bank.name_block);
  for (const auto& voice : bank.voices) write_block(cursor, voice);
  cursor[0] = kSysExEnd;
}

}  // namespace bank
