// Byte layout of the bank dump: the message of a whole voice bank.
//
// The message is one MIDI System Exclusive message of 6363 bytes:
//
//   offset    length     content
//   0         7          header: F0 43 75 <system> 00 00 <bank>
//   7         67         bank-name block (32 data bytes)
//   74        48 * 131   voice blocks, voice n at 74 + 131 * (n - 1)
//   6362      1          F7, end of System Exclusive
//
// Every block is framed the same way: two count bytes (high, low; the count
// of nibble bytes is high * 128 + low), the data bytes sent as nibble pairs,
// then one checksum byte.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bank {

inline constexpr std::size_t kMessageSize = 6363;
inline constexpr std::size_t kHeaderSize = 7;

inline constexpr std::uint8_t kSysExStart = 0xF0;
inline constexpr std::uint8_t kManufacturerId = 0x43;
inline constexpr std::uint8_t kBankDumpId = 0x75;
inline constexpr std::uint8_t kSysExEnd = 0xF7;

// System Real-Time bytes (F8-FF): MIDI lets them stand anywhere, even inside
// a System Exclusive message, which they neither end nor belong to.
constexpr bool is_real_time(int byte) { return byte >= 0xF8 && byte <= 0xFF; }

// Header offsets. Bytes 4 and 5 are always zero.
inline constexpr std::size_t kSystemNumberOffset = 3;
inline constexpr std::size_t kBankNumberOffset = 6;
// System numbers run from 0 to 15.
inline constexpr int kSystemNumberCount = 16;

inline constexpr int kVoiceCount = 48;
// The bank-name block and one block for each voice.
inline constexpr int kBlockCount = 1 + kVoiceCount;
inline constexpr std::size_t kNameLength = 7;

// A name byte that the instrument is sent as a space: a control character,
// or a byte from 0x80 up, which no data byte of the message can carry whole.
constexpr bool name_byte_sent_as_space(std::uint8_t byte) { return byte < 0x20 || byte >= 0x80; }

// Data bytes carried by each kind of block, and the block's size on the wire.
inline constexpr std::size_t kBankNameDataSize = 32;
inline constexpr std::size_t kVoiceDataSize = 64;
inline constexpr std::size_t kBlockOverhead = 2 + 1;  // count bytes + checksum
inline constexpr std::size_t kBankNameBlockSize = kBlockOverhead + 2 * kBankNameDataSize;
inline constexpr std::size_t kVoiceBlockSize = kBlockOverhead + 2 * kVoiceDataSize;

inline constexpr std::size_t kBankNameBlockOffset = kHeaderSize;
inline constexpr std::size_t kFirstVoiceBlockOffset = kBankNameBlockOffset + kBankNameBlockSize;
inline constexpr std::size_t kEndOffset = kFirstVoiceBlockOffset + kVoiceCount * kVoiceBlockSize;

static_assert(kBankNameBlockSize == 67);
static_assert(kVoiceBlockSize == 131);
static_assert(kFirstVoiceBlockOffset == 74);
static_assert(kEndOffset + 1 == kMessageSize);

// Offset of the block of voice `number` (1-48) in the message.
constexpr std::size_t voice_block_offset(int number) {
  return kFirstVoiceBlockOffset + kVoiceBlockSize * static_cast<std::size_t>(number - 1);
}

// Offsets inside the voice data (64 bytes); the name is bytes 0-6.
inline constexpr std::size_t kFirstOperatorOffset = 16;
inline constexpr std::size_t kOperatorDataSize = 8;
inline constexpr int kOperatorCount = 4;

// The data bytes a block must carry to be listed: voice data bytes 0-59,
// where the last listed field lies, and 8 bytes of the bank-name block,
// although only its name, bytes 0-6, is shown. A block that carries fewer
// ends the plain listing with a block size error; --all lists it with the
// missing bytes taken as zero.
inline constexpr std::size_t kListedBankNameBytes = 8;
inline constexpr std::size_t kListedVoiceBytes = 60;

}  // namespace bank
