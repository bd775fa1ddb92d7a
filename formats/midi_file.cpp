#include "midi_file.h"

#include <algorithm>

#include "message_layout.h"

namespace bank {

void put_quantity(std::vector<std::uint8_t>& out, std::uint32_t value) {
  int shift = 21;
  while (shift > 0 && (value >> shift) == 0) shift -= 7;
  for (; shift > 0; shift -= 7)
    out.push_back(static_cast<std::uint8_t>(0x80 | ((value >> shift) & 0x7F)));
  out.push_back(static_cast<std::uint8_t>(value & 0x7F));
}

void put_be32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

namespace {

bool damaged(MidiReader& r, std::uint64_t offset) {
  r.damaged_at = offset;
  r.ended = true;
  return false;
}

// The next byte of the current event, which must lie inside its track
// chunk and the file; -1 otherwise.
int event_byte(MidiReader& r) {
  if (position(*r.file) >= r.track_end) return -1;
  return next_byte(*r.file);
}

// A variable-length quantity of one to four bytes; false when it does not
// fit or runs longer.
bool event_quantity(MidiReader& r, std::uint64_t& value) {
  value = 0;
  for (int i = 0; i < kMaxQuantityBytes; ++i) {
    const int byte = event_byte(r);
    if (byte < 0) return false;
    value = value << 7 | static_cast<std::uint64_t>(byte & 0x7F);
    if (byte < 0x80) return true;
  }
  return false;
}

// Passes over `count` bytes; false when the file ends first.
bool pass_over(InputStream& in, std::uint64_t count) {
  while (count > 0) {
    const std::span<const std::uint8_t> bytes = available(in);
    if (bytes.empty()) return false;
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(count, bytes.size()));
    consume(in, n);
    count -= n;
  }
  return true;
}

// Reads chunk headers up to the next track chunk; false at the end of the
// file or at damage.
bool next_track(MidiReader& r) {
  InputStream& in = *r.file;
  for (;;) {
    const std::uint64_t start = position(in);
    std::array<std::uint8_t, kChunkHeaderSize> header{};
    const std::size_t got = read_bytes(in, header);
    if (got == 0) {
      r.ended = true;
      return false;
    }
    if (got < header.size()) return damaged(r, start);
    std::uint64_t length = 0;
    for (std::size_t i = 4; i < kChunkHeaderSize; ++i) length = length << 8 | header[i];
    if (std::equal(kMidiTrackType.begin(), kMidiTrackType.end(), header.begin())) {
      r.in_track = true;
      r.track_end = start + kChunkHeaderSize + length;
      r.running_status = 0;
      return true;
    }
    if (!pass_over(in, length)) return damaged(r, start);
  }
}

// Reads events up to the next System Exclusive one; false at the end of
// the file or at damage.
bool next_sysex_event(MidiReader& r) {
  InputStream& in = *r.file;
  for (;;) {
    if (!r.in_track || position(in) >= r.track_end) {
      r.in_track = false;
      if (!next_track(r)) return false;
      continue;
    }
    const std::uint64_t start = position(in);
    std::uint64_t delta = 0;
    if (!event_quantity(r, delta)) return damaged(r, start);
    int status = event_byte(r);
    if (status < 0) return damaged(r, start);
    int data = -1;  // a first data byte under running status
    if (status < 0x80) {
      if (r.running_status == 0) return damaged(r, start);
      data = status;
      status = r.running_status;
    }
    if (status == kSysExStart || status == kSysExEscape) {
      std::uint64_t length = 0;
      if (!event_quantity(r, length) || length > r.track_end - position(in))
        return damaged(r, start);
      r.sysex_left = length;
      r.event_start = start;
      r.start_byte_due = status == kSysExStart;
      return true;
    }
    if (status == kMetaEvent) {
      std::uint64_t length = 0;
      if (event_byte(r) < 0 || !event_quantity(r, length) || length > r.track_end - position(in) ||
          !pass_over(in, length))
        return damaged(r, start);
      continue;
    }
    if (status >= 0xF0) return damaged(r, start);  // F1-F6, F8-FE: not in a file
    // A channel message: two data bytes, one for program change and
    // channel pressure (C0-DF).
    r.running_status = status;
    const int count = status >= 0xC0 && status <= 0xDF ? 1 : 2;
    for (int i = data >= 0 ? 1 : 0; i < count; ++i) {
      data = event_byte(r);
      if (data < 0) return damaged(r, start);
      if (data >= 0x80) return damaged(r, start);
    }
    if (data >= 0x80) return damaged(r, start);
  }
}

// Hands out up to out.size() System Exclusive bytes; 0 at the end of the
// file or at damage, after which nothing more is read.
std::size_t read_sysex(MidiReader& r, std::span<std::uint8_t> out) {
  std::size_t done = 0;
  while (done < out.size() && !r.ended) {
    if (r.start_byte_due) {
      out[done++] = kSysExStart;
      r.start_byte_due = false;
      continue;
    }
    if (r.sysex_left > 0) {
      const std::span<const std::uint8_t> bytes = available(*r.file);
      if (bytes.empty()) {
        damaged(r, r.event_start);  // the file ends inside the event
        break;
      }
      const auto n = static_cast<std::size_t>(
          std::min<std::uint64_t>({r.sysex_left, bytes.size(), out.size() - done}));
      std::copy_n(bytes.begin(), n, out.begin() + static_cast<std::ptrdiff_t>(done));
      consume(*r.file, n);
      r.sysex_left -= n;
      done += n;
      continue;
    }
    if (!next_sysex_event(r)) break;
  }
  return done;
}

}  // namespace

bool is_midi_file(InputStream& in) {
  const std::span<const std::uint8_t> bytes = peek_bytes(in, kMidiHeaderType.size());
  return bytes.size() >= kMidiHeaderType.size() &&
         std::equal(kMidiHeaderType.begin(), kMidiHeaderType.end(), bytes.begin());
}

SourceRead MidiSysexSource::read(std::span<std::uint8_t> room) {
  const std::size_t got = read_sysex(reader_, room);
  if (got > 0) return {SourceState::bytes, got};
  return {failed(*reader_.file) ? SourceState::read_error : SourceState::end};
}

}  // namespace bank
