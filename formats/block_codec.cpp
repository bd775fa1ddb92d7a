#include "block_codec.h"

#include <algorithm>
#include <cassert>

namespace bank {

int put_nibbles(std::span<std::uint8_t>& cursor, int value) {
  assert(cursor.size() >= 2);
  const auto byte = static_cast<std::uint8_t>(value);
  const auto low = static_cast<std::uint8_t>(byte & 0x0F);
  const auto high = static_cast<std::uint8_t>(byte >> 4);
  cursor[0] = low;
  cursor[1] = high;
  cursor = cursor.subspan(2);
  return low + high;
}

void write_block(std::span<std::uint8_t>& cursor, std::span<const std::uint8_t> data) {
  assert(cursor.size() >= 2 * data.size() + kBlockOverhead);
  const std::size_t count = 2 * data.size();
  cursor[0] = static_cast<std::uint8_t>((count >> 7) & 0x7F);
  cursor[1] = static_cast<std::uint8_t>(count & 0x7F);
  cursor = cursor.subspan(2);
  std::uint32_t sum = 0;
  for (const std::uint8_t byte : data) sum += static_cast<std::uint32_t>(put_nibbles(cursor, byte));
  cursor[0] = block_checksum(sum);
  cursor = cursor.subspan(1);
}

std::uint64_t skip_real_time(InputStream& in) {
  std::uint64_t count = 0;
  while (is_real_time(peek_byte(in))) {
    next_byte(in);
    ++count;
  }
  return count;
}

namespace {

constexpr int kStatusByteMet = -2;

// The next byte of a block under the rules: -1 at the end of the data,
// kStatusByteMet (not consumed) for a byte from 0x80 up where the rules
// stop there.
int next_block_byte(InputStream& in, const BlockRules& rules) {
  if (rules.real_time_passed) skip_real_time(in);
  if (rules.status_byte_ends && peek_byte(in) >= 0x80) return kStatusByteMet;
  return next_byte(in);
}

// The fault of a block that ended with `byte` instead of one it needed.
BlockFault fault_of_early_end(const InputStream& in, int byte) {
  if (byte == kStatusByteMet) return BlockFault::status_byte;
  return failed(in) ? BlockFault::read_error : BlockFault::truncated;
}

}  // namespace

BlockFault read_block(InputStream& in, Block& block, const BlockRules& rules) {
  // A pair with a byte from 0x80 up in it leaves the fast path when such a
  // byte may end the block or be passed over.
  const bool look_at_high_bytes = rules.status_byte_ends || rules.real_time_passed;
  const int high = next_block_byte(in, rules);
  if (high < 0) return fault_of_early_end(in, high);
  const int low = next_block_byte(in, rules);
  if (low < 0) return fault_of_early_end(in, low);
  std::size_t count = static_cast<std::size_t>(high) * 128 + static_cast<std::size_t>(low);
  if (count == 0 && rules.count_if_zero != 0) count = rules.count_if_zero;
  block.data.resize(count / 2);
  std::uint32_t sum = 0;
  std::size_t i = 0;
  while (i < block.data.size()) {
    // Runs of nibble pairs are decoded straight from the buffer, up to the
    // first status byte when one ends the block.
    const std::span<const std::uint8_t> window = available(in);
    const std::size_t whole = std::min(block.data.size() - i, window.size() / 2);
    const std::uint8_t* const run = window.data();
    std::size_t pairs = 0;
    for (; pairs < whole; ++pairs) {
      const std::uint8_t first = run[2 * pairs];
      const std::uint8_t second = run[2 * pairs + 1];
      if (look_at_high_bytes && (first | second) >= 0x80) break;
      sum += static_cast<std::uint32_t>(first + second);
      block.data[i + pairs] = decode_nibble_pair(first, second);
    }
    consume(in, 2 * pairs);
    i += pairs;
    if (i == block.data.size()) break;
    // A pair that straddles two reads, or one with a status byte in it.
    const int first = next_block_byte(in, rules);
    if (first < 0) return fault_of_early_end(in, first);
    const int second = next_block_byte(in, rules);
    if (second < 0) return fault_of_early_end(in, second);
    sum += static_cast<std::uint32_t>(first + second);
    block.data[i++] =
        decode_nibble_pair(static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(second));
  }
  const int checksum = next_block_byte(in, rules);
  if (checksum < 0) return fault_of_early_end(in, checksum);
  block.checksum = static_cast<std::uint8_t>(checksum);
  block.expected = block_checksum(sum);
  return block.checksum == block.expected ? BlockFault::none : BlockFault::checksum;
}

}  // namespace bank
