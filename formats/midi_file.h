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
#include <optional>
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

class InputStream;

// What is known of a MIDI file read so far. Its System Exclusive bytes are
// handed out as a player would send them, in file order, track after
// track; everything else is passed over.
struct MidiReader {
  InputStream* file = nullptr;    // the file, from its first byte
  bool in_track = false;          // inside a track chunk
  std::uint64_t track_end = 0;    // offset in the file of the end of that chunk
  int running_status = 0;         // the track's last channel status, 0 for none
  std::uint64_t sysex_left = 0;   // data bytes of the current System Exclusive event to hand out
  std::uint64_t event_start = 0;  // offset of that event's delta time
  bool start_byte_due = false;    // the F0 that begins an F0 event's bytes
  bool ended = false;             // the file is read to its end, or to its damage
  std::optional<std::uint64_t> damaged_at;  // offset of the event or chunk that is damaged
};

// True when the data begin with the type of a MIDI header chunk; nothing
// is consumed.
bool is_midi_file(InputStream& in);

// Hands out up to out.size() System Exclusive bytes; 0 at the end of the
// file or at damage, after which nothing more is read.
std::size_t read_sysex(MidiReader& reader, std::span<std::uint8_t> out);

// Appends `value` (below 2^28) as a variable-length quantity.
void put_quantity(std::vector<std::uint8_t>& out, std::uint32_t value);
// Appends `value` as 4 bytes, most significant first.
void put_be32(std::vector<std::uint8_t>& out, std::uint32_t value);

}  // namespace bank
