// How a bank dump is sent to the instrument: in timed packets after memory
// protect is switched off, at a pace the instrument takes. A MIDI file and
// a port send the same packets on the same schedule.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "message_layout.h"

namespace bank {

// Memory protect off for a system number: F0 43 75 0s 10 21 00 F7. The
// instrument ignores a bank dump while its memory is protected, as it is
// after power-up.
std::array<std::uint8_t, 8> protect_off_message(int system_number);

// The request for bank `bank_number` (0-6: 0 and 1 are the user's banks, 2
// to 6 the instrument's own): F0 43 75 0s 20 00 0b F7. The instrument
// answers with the bank dump.
std::array<std::uint8_t, 8> bank_request_message(int system_number, int bank_number);

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

}  // namespace bank
