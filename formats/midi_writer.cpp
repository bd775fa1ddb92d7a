#include "midi_writer.h"

#include "formats/midi_file.h"
#include "formats/packet_schedule.h"

namespace bank {
namespace {

// 500 ticks a quarter note at 500,000 us a quarter note: 1 ms a tick.
constexpr std::uint16_t kTicksPerQuarter = 500;
constexpr std::uint32_t kMicrosecondsPerQuarter = 500000;

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

std::vector<std::uint8_t> midi_file_of_packets(const std::vector<TimedPacket>& packets) {
  std::vector<std::uint8_t> track;
  put_quantity(track, 0);
  track.insert(track.end(), {kMetaEvent, kMetaTempo, 3});
  track.push_back(static_cast<std::uint8_t>(kMicrosecondsPerQuarter >> 16));
  track.push_back(static_cast<std::uint8_t>(kMicrosecondsPerQuarter >> 8));
  track.push_back(static_cast<std::uint8_t>(kMicrosecondsPerQuarter));
  // A packet that begins with F0 is an F0 event, which carries the bytes
  // after it; the others go out as they stand, as F7 events.
  std::uint32_t last_time = 0;
  for (const TimedPacket& packet : packets) {
    const std::span<const std::uint8_t> bytes(packet.bytes);
    const bool starts = !bytes.empty() && bytes.front() == kSysExStart;
    put_sysex_event(track, packet.time_ms - last_time, starts ? kSysExStart : kSysExEscape,
                    starts ? bytes.subspan(1) : bytes);
    last_time = packet.time_ms;
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

std::vector<std::uint8_t> midi_file(std::span<const std::uint8_t, kMessageSize> message,
                                    int system_number) {
  return midi_file_of_packets(bank_dump_packets(message, system_number));
}

}  // namespace bank
