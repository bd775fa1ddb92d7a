// Standard MIDI Files: the layout both programs share.
//
// A file is a series of chunks, each a 4-byte type and a 4-byte length
// (most significant byte first) and that many bytes. The header chunk
// ("MThd") gives the format, the number of tracks and the ticks of a
// quarter note; each track chunk ("MTrk") holds events, each a delta time
// in ticks and the event. Delta times and the lengths inside events are
// variable-length quantities: 7 bits a byte, most significant first, bit 7
// set on every byte but the last, at most four bytes. System Exclusive
// data travels in F0 events (the data that follows F0) and F7 events (data
// sent as it stands), so that one message can be cut into timed packets.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace bank {

inline constexpr std::array<std::uint8_t, 4> kMidiHeaderType{'M', 'T', 'h', 'd'};
inline constexpr std::array<std::uint8_t, 4> kMidiTrackType{'M', 'T', 'r', 'k'};
inline constexpr std::size_t kChunkHeaderSize = 8;
inline constexpr int kMaxQuantityBytes = 4;

inline constexpr std::uint8_t kMetaEvent = 0xFF;
inline constexpr std::uint8_t kMetaTempo = 0x51;
inline constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
// F7 as an event: System Exclusive bytes sent as they stand.
inline constexpr std::uint8_t kSysExEscape = 0xF7;

// Appends `value` (below 2^28) as a variable-length quantity.
void put_quantity(std::vector<std::uint8_t>& out, std::uint32_t value);
// Appends `value` as 4 bytes, most significant first.
void put_be32(std::vector<std::uint8_t>& out, std::uint32_t value);

}  // namespace bank
