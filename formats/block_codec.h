// Block framing of the messages of voice data: nibble pairs and checksums.
//
// A block is two count bytes (high, low; count = high * 128 + low nibble
// bytes), the data bytes as nibble pairs (low nibble first, then high
// nibble), and a checksum byte (-S) & 0x7F, where S is the sum of the nibble
// bytes. The count bytes are not summed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "system/input_stream.h"
#include "message_layout.h"

namespace bank {

// Stores the low nibble of the low 8 bits of `value` at the cursor and the
// high nibble after it, advances the cursor by two and returns the sum of
// the two nibbles, which the caller adds to the block's running sum.
// The cursor must have room for two bytes.
int put_nibbles(std::span<std::uint8_t>& cursor, int value);

// The data byte carried by a nibble pair, kept to 8 bits.
constexpr std::uint8_t decode_nibble_pair(std::uint8_t first, std::uint8_t second) {
  return static_cast<std::uint8_t>(first + second * 16);
}

// The checksum byte of a block whose nibble bytes add up to `sum`.
constexpr std::uint8_t block_checksum(std::uint32_t sum) {
  return static_cast<std::uint8_t>((0U - sum) & 0x7FU);
}

// Writes a whole block (count bytes, nibble pairs, checksum) for `data` at
// the cursor and advances it. The cursor must have room for
// 2 * data.size() + 3 bytes.
void write_block(std::span<std::uint8_t>& cursor, std::span<const std::uint8_t> data);

enum class BlockFault {
  none,
  checksum,     // the checksum byte does not match the nibble bytes
  truncated,    // the data ended before the checksum byte
  read_error,   // the file could not be read
  status_byte,  // a byte from 0x80 up stood where a block byte should be
};

// One block as read: its data bytes and both checksums, so that a damaged
// block can still be shown for what it holds.
struct Block {
  std::vector<std::uint8_t> data;  // count / 2 data bytes
  std::uint8_t checksum = 0;       // the checksum byte as it stands
  std::uint8_t expected = 0;       // the checksum the nibble bytes call for
};

// How strictly a block is read; each rule holds on its own. A bank dump is
// read as it stands; a message received as MIDI sends it follows MIDI's
// rules (named with the header's rules in header.h).
struct BlockRules {
  // Stop before a byte from 0x80 up (not consumed): in MIDI it begins the
  // next message. Real-time bytes are not such a byte when they are passed.
  bool status_byte_ends = false;
  std::size_t count_if_zero = 0;  // the count to take when the count bytes say 0
  bool real_time_passed = false;  // F8-FF are passed over, as if they were not there
};

// Passes over the System Real-Time bytes at the stream's position; returns
// how many there were.
std::uint64_t skip_real_time(InputStream& in);

// Reads one block: the count bytes, count / 2 nibble pairs and the checksum
// byte, into `block`. Returns none, or the fault that stopped it: on a
// checksum mismatch the block is complete and filled; on any other fault
// its contents are unspecified. The stream is left past what was read.
BlockFault read_block(InputStream& in, Block& block, const BlockRules& rules = {});

}  // namespace bank
