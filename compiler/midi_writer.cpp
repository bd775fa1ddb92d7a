#include "midi_writer.h"

#include <array>

#include "formats/midi_file.h"

namespace bank {
namespace {

// 500 ticks a quarter note at 500,000 us a quarter note: 1 ms a tick.
constexpr std::uint16_t kTicksPerQuarter = 500;
constexpr std::uint32_t kMicrosecondsPerQuarter = 500000;
// After protect-off, the instrument is given 300 ms; each packet then
// starts 160 ms after the one before: a voice block takes 42 ms at MIDI's
// rate, which leaves the instrument about 118 ms to store it.
constexpr std::uint32_t kFirstPacketDelay = 300;
constexpr std::uint32_t kPacketInterval = 160;

void put_be16(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

// An F0 or F7 event of `bytes` after `delay` ticks.
void put_sysex_event(std::vector<std::uint8_t>& out, std::uint32_t delay, std::uint8_t kind,
                     std::span<const std::uint8_t> bytes) {
  put_quantity(out, delay);
  out.push_back(kind);
  put_quantity(out, static_cast<std::uint32_t>(bytes.size()));
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

std::vector<std::uint8_t> midi_file(std::span<const std::uint8_t, kMessageSize> message,
                                    int system_number) {
  std::vector<std::uint8_t> track;
  put_quantity(track, 0);
  track.insert(track.end(), {kMetaEvent, kMetaTempo, 3});
  track.push_back(static_cast<std::uint8_t>(kMicrosecondsPerQuarter >> 16));
  track.push_back(static_cast<std::uint8_t>(kMicrosecondsPerQuarter >> 8));
  track.push_back(static_cast<std::uint8_t>(kMicrosecondsPerQuarter));
  // Memory protect off: F0 43 75 0s 10 21 00 F7.
  const std::array<std::uint8_t, 7> protect_off{
      kManufacturerId, kBulkDumpId, static_cast<std::uint8_t>(system_number), 0x10, 0x21, 0x00,
      kSysExEnd};
  put_sysex_event(track, 0, kSysExStart, protect_off);
  // The header and the bank-name block, without the F0 that the event gives.
  put_sysex_event(track, kFirstPacketDelay, kSysExStart,
                  message.subspan(1, kFirstVoiceBlockOffset - 1));
  for (int v = 1; v <= kVoiceCount; ++v) {
    const std::size_t size = kVoiceBlockSize + (v == kVoiceCount ? 1 : 0);
    put_sysex_event(track, kPacketInterval, kSysExEscape,
                    message.subspan(voice_block_offset(v), size));
  }
  put_quantity(track, 0);
  track.insert(track.end(), {kMetaEvent, kMetaEndOfTrack, 0});

  std::vector<std::uint8_t> file(kMidiHeaderType.begin(), kMidiHeaderType.end());
  put_be32(file, 6);
  put_be16(file, 0);  // format 0
  put_be16(file, 1);  // one track
  put_be16(file, kTicksPerQuarter);
  file.insert(file.end(), kMidiTrackType.begin(), kMidiTrackType.end());
  put_be32(file, static_cast<std::uint32_t>(track.size()));
  file.insert(file.end(), track.begin(), track.end());
  return file;
}

}  // namespace bank
