// Headers of the messages that carry voice data, and the rules by which
// their headers and blocks are read.
//
// The bank dump that the programs exchange:
//   F0 43 75 <system number> 00 00 <bank number>, bank-name block, 48 voice blocks, F7
// Two further forms that the instrument and editors produce, read when a
// file is scanned for every message it holds:
//   voice RAM dump: F0 43 <system number> 0C, the same 49 blocks, F7
//   single voice:   F0 43 75 <system number> <08 + instrument> 00 00, one voice block, F7
// And the configuration dump, whose header begins as a bank dump's does
// (its count and 160 plain data bytes are read by config_dump.h):
//   current:        F0 43 75 <system number> 00 01 00
//   memory nn:      F0 43 75 <system number> 00 02 <nn, 0-19>
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "block_codec.h"
#include "system/input_stream.h"
#include "message_layout.h"

namespace bank {

// The header for the given numbers, each stored as its low 8 bits.
constexpr std::array<std::uint8_t, kHeaderSize> make_header(int system_number, int bank_number) {
  std::array<std::uint8_t, kHeaderSize> header{kSysExStart, kManufacturerId, kBankDumpId};
  header[kSystemNumberOffset] = static_cast<std::uint8_t>(system_number);
  header[kBankNumberOffset] = static_cast<std::uint8_t>(bank_number);
  return header;
}

enum class MessageForm { bank_dump, voice_ram_dump, single_voice, configuration };

// The configuration memories, and the memory number of the current
// configuration, which is no memory.
inline constexpr int kConfigMemoryCount = 20;
inline constexpr int kCurrentConfig = -1;

struct MessageHeader {
  MessageForm form = MessageForm::bank_dump;
  int system_number = 0;  // 0-15
  // Bank number (0-127), instrument (0-7) or configuration memory (0-19 or
  // kCurrentConfig); none for voice RAM.
  int number = 0;
};

inline constexpr std::uint8_t kVoiceRamDumpId = 0x0C;
inline constexpr std::uint8_t kSingleVoiceBase = 0x08;  // byte 4: 08 + instrument
inline constexpr int kInstrumentCount = 8;

// Blocks of nibble pairs that follow a header of the form; a
// configuration carries plain bytes instead.
constexpr int block_count(MessageForm form) {
  if (form == MessageForm::configuration) return 0;
  return form == MessageForm::single_voice ? 1 : kBlockCount;
}

// How strictly a header is read.
struct HeaderRules {
  // Voice RAM dumps, single voices and configurations as well as bank dumps.
  bool every_form = false;
  bool numbers_are_data = false;  // system number 0-15, bank number below 0x80
  bool real_time_passed = false;  // F8-FF are passed over, as a MIDI receiver does
};

// A bank dump as the plain listing takes it: the fixed bytes are checked and
// the system and bank numbers (bytes 3 and 6) are any byte at all, so that
// every dump that ever listed still lists (the instrument's own ROM banks
// carry bank numbers 2 to 6, which text2syx never writes).
inline constexpr HeaderRules kBankDumpAsItStands{};

// Any message of voice data in a file scanned whole, read as a MIDI
// receiver reads it: the three forms, every byte after F0 a data byte
// (another status byte begins a new message) but for the real-time bytes
// that may stand among them; the system number is one the instrument can
// have.
inline constexpr HeaderRules kAnyVoiceMessage{
    .every_form = true, .numbers_are_data = true, .real_time_passed = true};

// How the blocks of a message are read, with the header's rules.
struct MessageRules {
  HeaderRules header;
  BlockRules blocks;
  // A single voice sent with a count of 0, as some editors write it, is a
  // whole voice block.
  bool zero_count_single_voice = false;
};

// A bank dump read as it stands: its blocks are every byte as it comes.
inline constexpr MessageRules kBankDumpListed{kBankDumpAsItStands, {}, false};

// Any message of voice data read as a MIDI receiver reads it: a byte from
// 0x80 up ends a block (and begins the next message), real-time bytes are
// passed over wherever they stand, and a single voice may have a count of 0.
inline constexpr MessageRules kVoiceMessageReceived{
    kAnyVoiceMessage, {.status_byte_ends = true, .real_time_passed = true}, true};

// Reads a header at the stream's position under `rules`. When the bytes
// there are no such header, returns nothing, having consumed some of them
// but never a byte from 0x80 up after the first that a data byte was asked
// for: such a byte may begin the next message.
std::optional<MessageHeader> read_message_header(InputStream& in, const HeaderRules& rules);

// True when the stream's next bytes are a whole bank-dump header as
// kBankDumpAsItStands reads one; nothing is consumed.
bool at_bank_dump_header(InputStream& in);

// Passes over bytes up to the first bank-dump header, which is left to be
// read; false when there is none. `voice_data_passed` is set when the
// header of another message of voice data (in any form a scan of the whole
// file lists) was passed over on the way.
bool skip_to_bank_dump(InputStream& in, bool& voice_data_passed);

}  // namespace bank
