// The seven header bytes of a voice-bank bulk dump:
//   F0 43 75 <system number> 00 00 <bank number>
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "message_layout.h"

namespace bank {

// True when the bytes begin like a voice-bank bulk dump. The system and bank
// numbers (bytes 3 and 6) are not checked: any value lists.
constexpr bool is_bulk_dump_header(std::span<const std::uint8_t, kHeaderSize> header) {
  return header[0] == kSysExStart && header[1] == kManufacturerId && header[2] == kBulkDumpId &&
         header[4] == 0x00 && header[5] == 0x00;
}

// The header for the given numbers, each stored as its low 8 bits.
constexpr std::array<std::uint8_t, kHeaderSize> make_header(int system_number, int bank_number) {
  std::array<std::uint8_t, kHeaderSize> header{kSysExStart, kManufacturerId, kBulkDumpId};
  header[kSystemNumberOffset] = static_cast<std::uint8_t>(system_number);
  header[kBankNumberOffset] = static_cast<std::uint8_t>(bank_number);
  return header;
}

}  // namespace bank
