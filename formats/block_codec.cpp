#include "block_codec.h"

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

std::optional<std::vector<std::uint8_t>> read_block(InputStream& in, BlockFault& fault) {
  const auto ended = [&in] { return in.failed ? BlockFault::read_error : BlockFault::truncated; };
  const int high = next_byte(in);
  const int low = next_byte(in);
  if (low < 0) {
    fault = ended();
    return std::nullopt;
  }
  const std::size_t count = static_cast<std::size_t>(high) * 128 + static_cast<std::size_t>(low);
  std::vector<std::uint8_t> data(count / 2);
  std::uint32_t sum = 0;
  for (std::uint8_t& byte : data) {
    const int first = next_byte(in);
    const int second = next_byte(in);
    if (second < 0) {
      fault = ended();
      return std::nullopt;
    }
    sum += static_cast<std::uint32_t>(first + second);
    byte = decode_nibble_pair(static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(second));
  }
  const int checksum = next_byte(in);
  if (checksum < 0) {
    fault = ended();
    return std::nullopt;
  }
  if (checksum != block_checksum(sum)) {
    fault = BlockFault::checksum;
    return std::nullopt;
  }
  fault = BlockFault::none;
  return data;
}

}  // namespace bank
