// How a bank dump is sent to the instrument: in timed packets after memory
// protect is switched off, at a pace the instrument takes. A MIDI file and
// a port send the same packets on the same schedule.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "message_layout.h"

namespace bank {

// Memory protect off for a system number: F0 43 75 0s 10 21 00 F7. The
// instrument ignores a bank dump while its memory is protected, as it is
// after power-up.
std::array<std::uint8_t, 8> protect_off_message(int system_number);

// After protect-off, the instrument is given 300 ms; each voice packet then
// starts 160 ms after the one before: a voice block takes 42 ms at MIDI's
// rate, which leaves the instrument about 118 ms to store it.
inline constexpr std::uint32_t kFirstPacketDelayMs = 300;
inline constexpr std::uint32_t kVoicePacketGapMs = 160;

// One packet: raw bytes on the wire and when they are sent, in ms from the
// first packet.
struct TimedPacket {
  std::uint32_t time_ms = 0;
  std::vector<std::uint8_t> bytes;
};

// The packets that send `dump` (a whole bank dump) to the instrument of
// `system_number`: protect-off at 0 ms; the header with the bank-name block
// at 300 ms; voice n at 300 + gap * n ms, the last with the closing F7.
std::vector<TimedPacket> bank_dump_packets(std::span<const std::uint8_t, kMessageSize> dump,
                                           int system_number,
                                           std::uint32_t gap_ms = kVoicePacketGapMs);

// How long `bytes` bytes take on a MIDI cable: 10 bits a byte at 31,250
// bits a second.
constexpr std::chrono::microseconds wire_time(std::size_t bytes) {
  return std::chrono::microseconds(320 * static_cast<std::int64_t>(bytes));
}

// The silence the schedule leaves between packet `p` (which must not be the
// last) and the next one: from the end of its bytes on the wire to the next
// packet's time. The instrument needs it to store what it got, so a sender
// that is late with a packet keeps it after that packet, whatever the
// times on the schedule: a stall delays the rest instead of squeezing the
// next gap.
std::chrono::microseconds silence_after(const std::vector<TimedPacket>& packets, std::size_t p);

}  // namespace bank
