// Standard MIDI Files: what text2syx -m writes, how syx2text reads a file's
// System Exclusive bytes, where it finds a file damaged, and the real-time
// bytes that --all passes over.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dump_fixtures.h"
#include "system/chunked_source.h"
#include "system/input_stream.h"
#include "formats/midi_file.h"
#include "formats/midi_writer.h"
#include "lister/list_dump.h"

namespace {

using testing_support::as_string;
using testing_support::sample_dump;
using testing_support::sample_voice;
using Bytes = std::vector<std::uint8_t>;

const std::string kMidiLine =
    "# Standard MIDI File; byte offsets count in its System Exclusive data\n";

struct Listed {
  std::string text;
  std::string warnings;
  bank::ScanSummary summary;
};

Listed list(const std::string& bytes, bool all) {
  bank::InputStream in = bank::chunked_input(
      std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 5);
  bank::Listing listing;
  Listed l;
  l.summary = bank::list_file(in, listing, all);
  l.text = listing.text;
  l.warnings = listing.warnings;
  return l;
}

std::string quantity(std::uint32_t value) {
  Bytes out;
  bank::put_quantity(out, value);
  return std::string(out.begin(), out.end());
}

std::string chunk(const std::string& type, const std::string& body) {
  Bytes length;
  bank::put_be32(length, static_cast<std::uint32_t>(body.size()));
  return type + std::string(length.begin(), length.end()) + body;
}

// An F0 or F7 event after `delta` ticks.
std::string sysex(char kind, const std::string& bytes, std::uint32_t delta = 0) {
  return quantity(delta) + kind + quantity(static_cast<std::uint32_t>(bytes.size())) + bytes;
}

const std::string kHeader = chunk("MThd", std::string("\0\1\0\2\1\xF4", 6));
const std::string kEnd = std::string("\0\xFF\x2F\0", 4);
const std::string kBank = as_string(sample_dump());

// The helpers above build the expected files with the writer's own
// encoders; these are checked here against the values the file format
// gives, so that a fault in them cannot hide in both sides.
TEST(MidiFile, QuantitiesAndLengthsAsTheFormatWritesThem) {
  const std::pair<std::uint32_t, std::string> quantities[] = {
      {0, std::string(1, '\0')},
      {0x40, "\x40"},
      {0x7F, "\x7F"},
      {0x80, std::string("\x81\0", 2)},
      {300, "\x82\x2C"},
      {0x2000, std::string("\xC0\0", 2)},
      {0x3FFF, "\xFF\x7F"},
      {0x4000, std::string("\x81\x80\0", 3)},
      {0x0FFFFFFF, "\xFF\xFF\xFF\x7F"}};
  for (const auto& [value, encoded] : quantities) EXPECT_EQ(quantity(value), encoded) << value;
  EXPECT_EQ(chunk("MTrk", std::string(0x19E3, 'x')).substr(0, 8),
            std::string("MTrk\0\0\x19\xE3", 8));
}

TEST(MidiFile, TextToSyxWritesTimedPacketsForEverySystemAndBank) {
  for (int s = 0; s < 16; ++s) {
    for (int b = 0; b < 2; ++b) {
      const Bytes message = testing_support::make_dump("Bank", {}, s, b);
      const Bytes file = bank::midi_file(std::span<const std::uint8_t, 6363>(message), s);
      ASSERT_EQ(file.size(), 6649U);
      // The whole file as the layout gives it: every packet at its delta.
      const std::string dump = as_string(message);
      std::string track = std::string("\0\xFF\x51\3\7\xA1\x20", 7) +
                          sysex('\xF0', "\x43\x75" + std::string(1, static_cast<char>(s)) +
                                            std::string("\x10\x21\0\xF7", 4)) +
                          sysex('\xF0', dump.substr(1, 73), 300);
      for (int v = 1; v <= 48; ++v)
        track +=
            sysex('\xF7',
                  dump.substr(74 + 131 * static_cast<std::size_t>(v - 1), v < 48 ? 131 : 132), 160);
      EXPECT_EQ(std::string(file.begin(), file.end()),
                chunk("MThd", std::string("\0\0\0\1\1\xF4", 6)) + chunk("MTrk", track + kEnd));
      EXPECT_EQ(list(std::string(file.begin(), file.end()), false).text, list(dump, false).text);
    }
  }
}

TEST(MidiFile, SysExOfEveryTrackListsAsASyxFile) {
  const std::string ram = testing_support::voice_ram_dump(sample_dump(), 3);
  const std::string solo = testing_support::single_voice(sample_voice("Solo", 9), 2, 5);
  const std::string notes =
      std::string("\0\x90\x3C\x40\x10\x3E\x40\x05\xC0\x07\0\xFF\x01\3abc", 17);
  std::string packets;
  for (std::size_t at = 1; at < kBank.size(); at += 500)
    packets += sysex(at == 1 ? '\xF0' : '\xF7', kBank.substr(at, 500), 160) + notes;
  struct Case {
    std::string file;
    std::string syx;  // the System Exclusive bytes the file holds
  };
  const Case cases[] = {
      {kHeader + chunk("MTrk", sysex('\xF0', kBank.substr(1)) + kEnd), kBank},
      // Format 1: a tempo track, then packets with notes under running
      // status and meta events between them; a chunk of another type.
      {kHeader + chunk("MTrk", std::string("\0\xFF\x51\3\7\xA1\x20", 7) + kEnd) +
           chunk("XYZW", "anything") + chunk("MTrk", packets + kEnd),
       kBank},
      // Several messages of the three forms, F7 events sending junk as it stands.
      {kHeader + chunk("MTrk", sysex('\xF0', ram.substr(1)) + sysex('\xF7', "junk")) +
           chunk("MTrk", sysex('\xF0', solo.substr(1)) + sysex('\xF0', kBank.substr(1)) + kEnd),
       ram + "junk" + solo + kBank},
  };
  for (const Case& c : cases) {
    const Listed syx_all = list(c.syx, true);
    const Listed all = list(c.file, true);
    EXPECT_EQ(all.text, kMidiLine + syx_all.text);
    EXPECT_EQ(all.warnings, syx_all.warnings);
    EXPECT_EQ(all.summary.messages, syx_all.summary.messages);
    const Listed plain = list(c.file, false);
    EXPECT_EQ(plain.summary.status, bank::ListStatus::ok);
    EXPECT_EQ(plain.text, list(kBank, false).text);
  }
  // Without a bank dump the plain listing refuses the file, and tells
  // whether --all lists voice data from it, as for its bytes in a .syx.
  for (const auto& [syx, found] : {std::pair{ram, true}, std::pair{"junk" + solo, true},
                                   std::pair{std::string("junk\xF0\x43\x60\x04\xF7"), false}}) {
    const Listed plain = list(kHeader + chunk("MTrk", sysex('\xF7', syx) + kEnd), false);
    EXPECT_EQ(plain.summary.status, bank::ListStatus::not_bank_dump);
    EXPECT_EQ(plain.summary.voice_data_elsewhere, found);
    EXPECT_EQ(list(syx, false).summary.voice_data_elsewhere, found);
  }
}

TEST(MidiFile, DamageEndsTheReadingWithItsOffset) {
  const std::string good = kHeader + chunk("MTrk", sysex('\xF0', kBank.substr(1)) + kEnd);
  const std::size_t end = good.size();
  const std::string track = "MTrk" + std::string("\0\0\0\x20", 4);  // claims 32 bytes
  struct Case {
    std::string tail;    // after a complete bank
    std::size_t offset;  // where the damage is reported
  };
  const Case cases[] = {
      {"MTr", end},                                        // a chunk header cut short
      {"XYZW" + std::string("\0\0\1\0", 4) + "abc", end},  // another chunk past the end
      {track + std::string("\0\xF0\x40", 3), end + 8},     // an event past its chunk
      {track + std::string("\x81\x81\x81\x81\x01\xFF\x2F\0", 8), end + 8},  // a 5-byte delta
      {track + std::string("\0\x40\x40", 3), end + 8},                      // no running status
      {track + std::string("\0\xF8", 2), end + 8},                          // a real-time status
      {track + std::string("\0\xF3\0", 3), end + 8},                        // a common status
      {track + std::string("\0\x90\x3C\x80", 4), end + 8},                  // a status as data
      {track + std::string("\0\xFF\x2F\0", 4), end + 12},  // the file ends between events
  };
  for (const Case& c : cases) {
    const Listed all = list(good + c.tail, true);
    EXPECT_EQ(all.warnings, "Warning: MIDI file damaged at byte " + std::to_string(c.offset) +
                                "; the rest is not read\n")
        << c.offset;
    EXPECT_EQ(all.summary.messages, 1);
    EXPECT_EQ(all.summary.warnings, 1);
    EXPECT_EQ(list(good + c.tail, false).summary.status, bank::ListStatus::ok);
  }
  // A bank cut short by the damage: the plain listing's usual error.
  const std::string cut =
      kHeader + chunk("MTrk", sysex('\xF0', kBank.substr(1, 3000)) + std::string("\0\xF5", 2));
  EXPECT_EQ(list(cut, false).summary.status, bank::ListStatus::unexpected_end);
  EXPECT_EQ(list(kHeader + chunk("MTrk", kEnd), false).summary.status,
            bank::ListStatus::not_bank_dump);
}

TEST(MidiFile, AllPassesOverRealTimeBytesInsideAMessage) {
  const auto with = [](std::size_t at, const std::string& bytes) {
    std::string b = kBank;
    b.insert(at, bytes);
    return b;
  };
  const Listed plain = list(kBank, true);
  for (const std::string& bytes :
       {kBank.substr(0, 1) + "\xF8" + kBank.substr(1), with(5, "\xFE\xF8"),
        with(74 + 131 * 3 + 40, "\xFA\xFB\xFC"), with(6362, "\xFF"), with(74, "\xF9")}) {
    const Listed l = list(bytes, true);
    EXPECT_EQ(l.text, plain.text) << bytes.size();
    EXPECT_EQ(l.warnings, "");
  }
  // Between messages, and after a last block without its F7, they are
  // skipped bytes like any other.
  const std::string open = kBank.substr(0, 6362);
  const Listed l = list(open + "\xF8\xF8" + kBank, true);
  EXPECT_NE(l.text.find("\n# Skipped 2 bytes at byte 6362\n# Message 2 at byte 6364:"),
            std::string::npos);
  EXPECT_EQ(list("\xF8" + kBank, true).text.substr(0, 27), "# Skipped 1 bytes at byte 0");
}

}  // namespace
