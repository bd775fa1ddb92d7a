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

#include "system/byte_source.h"
#include "system/input_stream.h"

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

// What is known of a MIDI file read so far.
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

// The System Exclusive bytes of a MIDI file as a byte source, handed out as
// a player would send them, in file order, track after track; everything
// else is passed over. Offsets in the stream read from it count in those
// bytes. The source ends at the end of the file or at its damage, after
// which nothing more is read.
class MidiSysexSource final : public ByteSource {
 public:
  // `file` is read from its first byte and must outlive the source.
  explicit MidiSysexSource(InputStream& file) { reader_.file = &file; }
  SourceRead read(std::span<std::uint8_t> room) override;
  // Offset in the file of the event or chunk found damaged, if any.
  std::optional<std::uint64_t> damaged_at() const { return reader_.damaged_at; }

 private:
  MidiReader reader_;
};

// Appends `value` (below 2^28) as a variable-length quantity.
void put_quantity(std::vector<std::uint8_t>& out, std::uint32_t value);
// Appends `value` as 4 bytes, most significant first.
void put_be32(std::vector<std::uint8_t>& out, std::uint32_t value);

}  // namespace bank
