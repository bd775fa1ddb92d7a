// The bulk dump as a Standard MIDI File that a player sends at a pace the
// instrument takes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "formats/message_layout.h"

namespace bank {

// A format 0 file of one track, 1 ms a tick: memory protect switched off
// for `system_number` at 0 ms, then the message in 49 packets (the header
// with the bank-name block at 300 ms, voice n at 300 + 160 n ms, the
// closing F7 with voice 48), then the end of the track.
std::vector<std::uint8_t> midi_file(std::span<const std::uint8_t, kMessageSize> message,
                                    int system_number);

}  // namespace bank
