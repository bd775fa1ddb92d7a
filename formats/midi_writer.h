// The bulk dump as a Standard MIDI File that a player sends at a pace the
// instrument takes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "formats/message_layout.h"
#include "formats/packet_schedule.h"

namespace bank {

// A format 0 file of one track, 1 ms a tick, that holds `packets` on their
// schedule as System Exclusive events, then the end of the track.
std::vector<std::uint8_t> midi_file_of_packets(const std::vector<TimedPacket>& packets);

// The MIDI file of a bank dump: the packets of bank_dump_packets.
std::vector<std::uint8_t> midi_file(std::span<const std::uint8_t, kMessageSize> message,
                                    int system_number);

}  // namespace bank
