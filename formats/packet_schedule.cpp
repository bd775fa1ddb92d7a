#include "packet_schedule.h"

#include <algorithm>

namespace bank {

std::array<std::uint8_t, 8> protect_off_message(int system_number) {
  return {kSysExStart, kManufacturerId,
          kBankDumpId, static_cast<std::uint8_t>(system_number),
          0x10,        0x21,
          0x00,        kSysExEnd};
}

std::vector<TimedPacket> bank_dump_packets(std::span<const std::uint8_t, kMessageSize> dump,
                                           int system_number, std::uint32_t gap_ms) {
  std::vector<TimedPacket> packets;
  packets.reserve(2 + kVoiceCount);
  const auto protect_off = protect_off_message(system_number);
  packets.push_back({0, {protect_off.begin(), protect_off.end()}});
  const auto first = dump.first(kFirstVoiceBlockOffset);
  packets.push_back({kFirstPacketDelayMs, {first.begin(), first.end()}});
  for (int v = 1; v <= kVoiceCount; ++v) {
    const std::size_t size = kVoiceBlockSize + (v == kVoiceCount ? 1 : 0);
    const auto block = dump.subspan(voice_block_offset(v), size);
    packets.push_back({kFirstPacketDelayMs + gap_ms * static_cast<std::uint32_t>(v),
                       {block.begin(), block.end()}});
  }
  return packets;
}

std::chrono::microseconds silence_after(const std::vector<TimedPacket>& packets, std::size_t p) {
  const std::chrono::microseconds spacing =
      std::chrono::milliseconds(packets[p + 1].time_ms - packets[p].time_ms);
  return std::max(spacing - wire_time(packets[p].bytes.size()), std::chrono::microseconds(0));
}

}  // namespace bank
