// Headers of the messages that carry voice data.
//
// The bulk dump that both programs exchange:
//   F0 43 75 <system number> 00 00 <bank number>, bank-name block, 48 voice blocks, F7
// Two further forms that the instrument and editors produce, read when a
// file is scanned for every message it holds:
//   voice RAM dump: F0 43 <system number> 0C, the same 49 blocks, F7
//   single voice:   F0 43 75 <system number> <08 + instrument> 00 00, one voice block, F7
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "input_stream.h"
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

enum class MessageForm { bank_dump, voice_ram_dump, single_voice };

struct MessageHeader {
  MessageForm form = MessageForm::bank_dump;
  int system_number = 0;  // 0-15
  int number = 0;         // bank number (0-127) or instrument (0-7); none for voice RAM
};

inline constexpr std::uint8_t kVoiceRamDumpId = 0x0C;
inline constexpr std::uint8_t kSingleVoiceBase = 0x08;  // byte 4: 08 + instrument
inline constexpr int kInstrumentCount = 8;

// Blocks that follow a header of the form.
constexpr int block_count(MessageForm form) {
  return form == MessageForm::single_voice ? 1 : kBlockCount;
}

// Reads a header of any of the three forms at the stream's position. When
// the bytes there are no such header, returns nothing, having consumed some
// of them but never a byte from 0x80 up after the first: such a byte may
// begin the next message.
std::optional<MessageHeader> read_message_header(InputStream& in);

}  // namespace bank
