// Scanning a file for every message of voice data (syx2text --all): which
// messages are found where, what is skipped, and how damage is reported.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "formats/config_dump.h"
#include "dump_fixtures.h"
#include "system/chunked_source.h"
#include "system/input_stream.h"
#include "lister/list_dump.h"

namespace {

using testing_support::as_string;
using testing_support::sample_dump;
using testing_support::sample_voice;

struct Scan {
  std::string comments;  // the "# Message" and "# Skipped" lines
  int voices = 0;        // voice header lines listed
  std::string warnings;
  bank::ScanSummary summary;
  std::string text;
};

std::span<const std::uint8_t> bytes_of(const std::string& bytes) {
  return std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

bool operator==(const bank::ScanSummary& a, const bank::ScanSummary& b) {
  return a.messages == b.messages && a.warnings == b.warnings && a.status == b.status;
}

// Both listings of `bytes` through buffers of a few bytes must be what
// they are from memory, wherever a buffer ends.
void expect_alike_through_small_buffers(const std::string& bytes, const bank::Listing& all,
                                        const bank::ScanSummary& summary) {
  bank::InputStream in = bank::memory_input(bytes_of(bytes));
  bank::Listing plain;
  const bank::ListStatus status = bank::list_dump(in, plain);
  for (const std::size_t size : {1U, 2U, 3U, 7U, 64U}) {
    bank::InputStream a = bank::chunked_input(bytes_of(bytes), size);
    bank::Listing small_all;
    EXPECT_TRUE(bank::list_all(a, small_all) == summary) << size;
    EXPECT_EQ(small_all.text, all.text) << size;
    EXPECT_EQ(small_all.warnings, all.warnings) << size;
    bank::InputStream b = bank::chunked_input(bytes_of(bytes), size);
    bank::Listing small_plain;
    EXPECT_EQ(bank::list_dump(b, small_plain), status) << size;
    EXPECT_EQ(small_plain.text, plain.text) << size;
  }
}

Scan scan(const std::string& bytes) {
  bank::InputStream in = bank::memory_input(bytes_of(bytes));
  bank::Listing listing;
  Scan s;
  s.summary = bank::list_all(in, listing);
  expect_alike_through_small_buffers(bytes, listing, s.summary);
  s.text = listing.text;
  s.warnings = listing.warnings;
  std::istringstream lines(listing.text);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("# Message ", 0) == 0 || line.rfind("# Skipped ", 0) == 0)
      s.comments += line + "\n";
    if (line.rfind("@", 0) == 0) ++s.voices;
  }
  return s;
}

std::string hex(int byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(byte));
  return text;
}

const std::string kBank = as_string(sample_dump());
constexpr std::size_t kVoice5 = 74 + 131 * 4;  // the block of voice 5

// The sample bank with the checksum of the block at `block` one off.
std::string with_bad_checksum(std::size_t block, std::size_t size, std::string* warning_tail) {
  std::string bytes = kBank;
  const auto right = static_cast<unsigned char>(bytes[block + size - 1]);
  const int wrong = (right + 1) & 0x7F;
  bytes[block + size - 1] = static_cast<char>(wrong);
  *warning_tail = ": checksum is " + hex(wrong) + ", should be " + hex(right) + "\n";
  return bytes;
}

TEST(ListAll, EachFormAlone) {
  struct Case {
    std::string bytes;
    std::string comments;
    int voices;
  };
  std::array<testing_support::VoiceData, 48> voices{};
  const Case cases[] = {
      {kBank, "# Message 1 at byte 0: bank dump, system 0, bank 0\n", 48},
      {as_string(testing_support::make_dump("B", voices, 9, 0x7F)),
       "# Message 1 at byte 0: bank dump, system 9, bank 127\n", 48},
      {testing_support::voice_ram_dump(sample_dump(), 15),
       "# Message 1 at byte 0: voice RAM dump, system 15\n", 48},
      {testing_support::single_voice(sample_voice("Solo", 3), 2, 7),
       "# Message 1 at byte 0: single voice, system 2, instrument 7\n", 1},
  };
  for (const Case& c : cases) {
    const Scan s = scan(c.bytes);
    EXPECT_EQ(s.comments, c.comments);
    EXPECT_EQ(s.voices, c.voices) << c.comments;
    EXPECT_EQ(s.warnings, "");
    EXPECT_EQ(s.summary.messages, 1);
    EXPECT_EQ(s.summary.warnings, 0);
  }
  // A bank lists exactly as the plain listing does; a single voice is
  // voice 1 with no bank name line.
  const std::vector<std::uint8_t> dump = sample_dump();
  bank::InputStream in = bank::memory_input(dump);
  bank::Listing plain;
  ASSERT_EQ(bank::list_dump(in, plain), bank::ListStatus::ok);
  const Scan bank = scan(kBank);
  EXPECT_EQ(bank.text, bank.comments + plain.text);
  const Scan ram = scan(testing_support::voice_ram_dump(sample_dump(), 0));
  EXPECT_EQ(ram.text, ram.comments + plain.text);
  const Scan solo = scan(testing_support::single_voice(sample_voice("Voice05", 4), 0, 0));
  const std::size_t v5 = plain.text.find("@05: ");
  const std::string voice5 = plain.text.substr(v5, plain.text.find("@06: ") - v5);
  EXPECT_EQ(solo.text, solo.comments + "@01: " + voice5.substr(5));
}

TEST(ListAll, SeveralMessagesWithOtherBytesBetween) {
  // A configuration dump shares the first bytes of a bank dump's header.
  bank::ConfigData held;
  held.bytes.fill(0x01);
  const auto config_dump = bank::encode_config_dump(held);
  const std::string config(config_dump.begin(), config_dump.end());
  const std::string solo = testing_support::single_voice(sample_voice("Solo", 1), 1, 0);
  const std::string ram = testing_support::voice_ram_dump(sample_dump(), 1);
  // Bytes that begin like headers and stop: an F0 inside is looked at again.
  const std::string false_starts = std::string("\xF0\x43\x75\x10\xF0\x43\x0C\x00", 8);
  std::string file = "junk" + kBank + config + ram + false_starts + solo;
  file.pop_back();  // the last message has no F7: still complete, no warning
  const std::size_t at_ram = 4 + 6363 + config.size();
  const std::size_t at_solo = at_ram + ram.size() + false_starts.size();
  const Scan s = scan(file);
  EXPECT_EQ(s.comments,
            "# Skipped 4 bytes at byte 0\n"
            "# Message 1 at byte 4: bank dump, system 0, bank 0\n"
            "# Message 2 at byte 6367: current configuration, system 0\n"
            "# Message 3 at byte " +
                std::to_string(at_ram) +
                ": voice RAM dump, system 1\n"
                "# Skipped 8 bytes at byte " +
                std::to_string(at_ram + ram.size()) +
                "\n"
                "# Message 4 at byte " +
                std::to_string(at_solo) + ": single voice, system 1, instrument 0\n");
  EXPECT_EQ(s.voices, 97);
  EXPECT_EQ(s.warnings, "");
  EXPECT_EQ(s.summary.messages, 4);

  // A dump without its F7 runs straight into the next message.
  std::string two = kBank;
  two.pop_back();
  two += kBank;
  EXPECT_EQ(scan(two).comments,
            "# Message 1 at byte 0: bank dump, system 0, bank 0\n"
            "# Message 2 at byte 6362: bank dump, system 0, bank 0\n");

  // Nothing but other bytes.
  const Scan junk = scan(std::string("\xF0\x43\x75\x00\x00\x03\x00 text \xF7", 14));
  EXPECT_EQ(junk.comments, "# Skipped 14 bytes at byte 0\n");
  EXPECT_EQ(junk.summary.messages, 0);
  EXPECT_EQ(scan("").text, "");
}

TEST(ListAll, DamageIsListedAndReported) {
  struct Case {
    std::string bytes;
    std::string warnings;
    int voices;
  };
  std::string tail;
  std::vector<Case> cases;
  cases.push_back({with_bad_checksum(kVoice5, 131, &tail), "", 48});
  cases.back().warnings = "Warning: message 1, voice 5" + tail;
  cases.push_back({with_bad_checksum(7, 67, &tail), "", 48});
  cases.back().warnings = "Warning: message 1, bank name" + tail;

  // Voice 5 carries 8 data bytes: listed with the rest taken as zero.
  std::string small = kBank.substr(0, kVoice5) + std::string("\x00\x10", 2) +
                      std::string(16, '\x00') + '\x00' + kBank.substr(kVoice5 + 131);
  cases.push_back({small, "Warning: message 1, voice 5: block too small\n", 48});
  small[kVoice5 + 18] = '\x05';
  cases.push_back({small,
                   "Warning: message 1, voice 5: checksum is 0x05, should be 0x00\n"
                   "Warning: message 1, voice 5: block too small\n",
                   48});

  // Ends early: at the end of the file, or at a status byte in a block.
  cases.push_back({kBank.substr(0, kVoice5 + 60), "Warning: message 1 ends after voice 4\n", 4});
  cases.push_back({kBank.substr(0, 7), "Warning: message 1 ends after the header\n", 0});
  cases.push_back({kBank.substr(0, 74), "Warning: message 1 ends after bank name\n", 0});
  cases.push_back({testing_support::single_voice(sample_voice("S", 1), 0, 0).substr(0, 100),
                   "Warning: message 1 ends after the header\n", 0});
  cases.push_back(
      {kBank.substr(0, kVoice5 + 60) + kBank, "Warning: message 1 ends after voice 4\n", 52});
  for (const Case& c : cases) {
    const Scan s = scan(c.bytes);
    EXPECT_EQ(s.warnings, c.warnings);
    EXPECT_EQ(s.voices, c.voices) << c.warnings;
    EXPECT_EQ(s.summary.warnings, std::count(c.warnings.begin(), c.warnings.end(), '\n'));
  }
  // The zero bytes of a block too small are listed as zero values.
  const Scan s = scan(cases[2].bytes);
  EXPECT_NE(s.text.find("@05: \n# A compile of this text does not give back: name bytes outside "
                        "0x20-0x7E\n#     EN SPD AMD PMD AMS PMS FORM SYNC\n"
                        "LFO: 000 000 000 000 000 000  000  000\n"),
            std::string::npos);
  // The status byte that ended message 1 begins message 2.
  EXPECT_EQ(scan(cases.back().bytes).comments,
            "# Message 1 at byte 0: bank dump, system 0, bank 0\n"
            "# Message 2 at byte " +
                std::to_string(kVoice5 + 60) + ": bank dump, system 0, bank 0\n");
}

TEST(ListAll, SingleVoiceWithCountZeroReadsAFullBlock) {
  std::string solo = testing_support::single_voice(sample_voice("Zero", 2), 0, 3);
  solo[7] = '\x00';
  solo[8] = '\x00';  // count 0, as some editors write it
  const Scan s = scan(solo);
  EXPECT_EQ(s.warnings, "");
  EXPECT_EQ(s.voices, 1);
  EXPECT_NE(s.text.find("@01: Zero\n"), std::string::npos);
}

}  // namespace
