#include "midi_file.h"

namespace bank {

void put_quantity(std::vector<std::uint8_t>& out, std::uint32_t value) {
  int shift = 21;
  while (shift > 0 && (value >> shift) == 0) shift -= 7;
  for (; shift > 0; shift -= 7) out.push_back(static_cast<std::uint8_t>(0x80 | ((value >> shift) & 0x7F)));
  out.push_back(static_cast<std::uint8_t>(value & 0x7F));
}

void put_be32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

}  // namespace bank
