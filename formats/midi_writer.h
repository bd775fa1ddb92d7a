// The bulk dump as a Standard MIDI File that a player sends at a pace the
// instrument takes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "formats/message_layout.h"

namespace bank {

// A format 0 file of one track, 1 ms a tick, that holds the packets of
// bank_dump_packets on their schedule as System Exclusive events, then the
// end of the track.
std::vector<std::uint8_t> midi_file(std::span<const std::uint8_t, kMessageSize> message,
                                    int system_number);

}  // namespace bank
