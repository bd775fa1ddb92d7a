// Dumps captured from a real instrument, kept beside the project (they are
// not part of it). Every test here is skipped when the folder is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "dump_fixtures.h"
#include "formats/block_codec.h"
#include "formats/message_layout.h"
#include "run_program.h"

namespace {

namespace fs = std::filesystem;
using testing_support::read_file;
using testing_support::RunResult;

const std::string kCompiler = TEXT2SYX_PATH;
const std::string kLister = SYX2TEXT_PATH;
const fs::path kBanks = REAL_BANKS_DIR;

// Valid voice-bank dumps: 6363 bytes that begin F0 43 75, those captured
// from the instrument and those of the community archive beside them.
std::vector<fs::path> conforming_dumps() {
  std::vector<fs::path> found;
  for (const fs::path& dir : {kBanks, kBanks / "community"}) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
      const std::string bytes = read_file(entry.path().string());
      if (entry.path().extension() == ".syx" && bytes.size() == 6363 &&
          bytes.compare(0, 3, "\xF0\x43\x75") == 0)
        found.push_back(entry.path());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

class RealBanks : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::is_directory(kBanks)) GTEST_SKIP() << "no real dumps at " << kBanks;
    dir_ = testing_support::make_temp_dir();
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }
  std::string dir_;
};

TEST_F(RealBanks, ListAndCompileBack) {
  const auto dumps = conforming_dumps();
  if (dumps.empty()) GTEST_SKIP() << "no conforming dumps in " << kBanks;
  for (const fs::path& dump : dumps) {
    SCOPED_TRACE(dump.filename().string());
    const std::string original = read_file(dump.string());
    RunResult listed = testing_support::run_program(kLister, {dump.string()});
    ASSERT_EQ(listed.status, 0);
    EXPECT_EQ(listed.err, "");
    // The instrument's own voices hold only what the compiler writes: they
    // list without EXT or RAW lines.
    if (dump.parent_path() == kBanks) {
      EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'),
                testing_support::kListedBankLines);
    }

    const std::string text = dir_ + "/bank.txt";
    const std::string rebuilt = dir_ + "/bank.syx";
    testing_support::write_file(text, listed.out);
    const int system = static_cast<unsigned char>(original[3]);
    const int bank = static_cast<unsigned char>(original[6]);
    RunResult compiled = testing_support::run_program(
        kCompiler,
        {"-w", "-s" + std::to_string(system), "-b" + std::to_string(bank), text, rebuilt});
    ASSERT_EQ(compiled.status, 0) << compiled.out;
    EXPECT_EQ(compiled.out, "");  // a listing of a real bank gives no warning

    // Every voice comes back byte for byte, but for name bytes that are
    // sent as spaces (the zero names of empty slots). Of the rest, only
    // byte 6 may differ, where a bank number other than 0 or 1 (the ROM
    // banks) cannot be written with -b, and the bank-name block past the
    // name (bytes 7-31, which hold a space and zeros from the instrument,
    // spaces from some editors, zeros from the compiler).
    const std::string bytes = read_file(rebuilt);
    ASSERT_EQ(bytes.size(), original.size());
    for (int v = 0; v <= bank::kVoiceCount; ++v) {
      const std::size_t at = v == 0 ? bank::kBankNameBlockOffset : bank::voice_block_offset(v);
      const std::size_t size = v == 0 ? bank::kNameLength : bank::kVoiceDataSize;
      for (std::size_t i = 0; i < size; ++i) {
        const std::size_t nibbles = at + 2 + 2 * i;
        const auto was = bank::decode_nibble_pair(static_cast<std::uint8_t>(original[nibbles]),
                                                  static_cast<std::uint8_t>(original[nibbles + 1]));
        const auto now = bank::decode_nibble_pair(static_cast<std::uint8_t>(bytes[nibbles]),
                                                  static_cast<std::uint8_t>(bytes[nibbles + 1]));
        const bool as_space = i < bank::kNameLength && bank::name_byte_sent_as_space(was);
        EXPECT_EQ(int{now}, as_space ? ' ' : int{was}) << "block " << v << ", byte " << i;
      }
    }
    EXPECT_EQ(bytes.substr(0, 6), original.substr(0, 6));
    if (bank <= 1) {
      EXPECT_EQ(bytes[6], original[6]);
    }
    EXPECT_EQ(bytes.back(), original.back());

    // At the level of the text the round trip is exact (a zero name of an
    // empty slot lists as a blank one once compiled).
    RunResult relisted = testing_support::run_program(kLister, {rebuilt});
    EXPECT_EQ(relisted.status, 0);
    if (dump.parent_path() == kBanks) {
      EXPECT_TRUE(relisted.out == listed.out);
    }
  }
}

// An editor's current configuration: its listing as the editor's values
// show it, and compiled back, byte for byte the same dump.
TEST_F(RealBanks, AConfigurationListsAndCompilesBack) {
  const fs::path dump = kBanks.parent_path() / "configs" / "edisyn-current-configuration-init.syx";
  if (!fs::exists(dump)) GTEST_SKIP() << "no configuration at " << dump;
  const RunResult listed = testing_support::run_program(kLister, {"--all", dump.string()});
  ASSERT_EQ(listed.status, 0) << listed.err;
  const std::string text = listed.out.substr(listed.out.find('\n') + 1);
  EXPECT_EQ(text.substr(0, text.find("IN3:")),
            "CONFIG:Edisyn  \n"
            "#    CMB SPD AMD PMD WAV KCR\n"
            "SET: 001 100 000 050 002 000\n"
            "#    NTS CHN KHI KLO BNK VNO DET OCT LVL PAN LFO POR PBR MON PMC\n"
            "IN1: 008 000 127 000 000 000 000 002 127 064 000 000 012 000 002\n"
            "IN2: 000 001 127 000 000 000 000 002 127 064 000 000 012 000 002\n");
  testing_support::write_file(dir_ + "/setup.txt", text);
  const RunResult compiled =
      testing_support::run_program(kCompiler, {"-w", dir_ + "/setup.txt"});
  ASSERT_EQ(compiled.status, 0) << compiled.out;
  EXPECT_EQ(compiled.out, "");
  EXPECT_TRUE(read_file(dir_ + "/setup.syx") == read_file(dump.string()));
}

TEST_F(RealBanks, NonConformingSamplesAreRefused) {
  int checked = 0;
  // The voice RAM dump holds voice data that --all lists, and says so; a
  // status message holds none.
  const std::string note = "Note: syx2text --all lists the voice data the file holds\n";
  for (const auto& [name, hint] : {std::pair{"negative-ram1-dump-f0430c.syx", note},
                                   std::pair{"negative-short-5byte-reply.syx", std::string()}}) {
    const fs::path path = kBanks / name;
    if (!fs::exists(path)) continue;
    RunResult r = testing_support::run_program(kLister, {path.string()});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "Error: \"" + path.string() + "\" is not contain the FB-01 inst bulk data.\n" + hint);
    EXPECT_EQ(r.status, 1);
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "no non-conforming samples in " << kBanks;
}

TEST_F(RealBanks, VoiceRamDumpListsWithAllAndCompilesToTheSameBlocks) {
  const fs::path ram = kBanks / "negative-ram1-dump-f0430c.syx";
  if (!fs::exists(ram)) GTEST_SKIP() << "no voice RAM dump in " << kBanks;
  RunResult listed = testing_support::run_program(kLister, {"--all", ram.string()});
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.err, "");
  EXPECT_EQ(listed.out.substr(0, listed.out.find('\n') + 1),
            "# Message 1 at byte 0: voice RAM dump, system 0\n");
  EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '@'), 48);

  const std::string text = dir_ + "/ram.txt";
  const std::string rebuilt = dir_ + "/ram.syx";
  testing_support::write_file(text, listed.out);
  RunResult compiled = testing_support::run_program(kCompiler, {"-w", text, rebuilt});
  ASSERT_EQ(compiled.status, 0) << compiled.out;
  EXPECT_EQ(compiled.out, "");
  // The bank dump's blocks follow its 7-byte header, the RAM dump's its
  // 4-byte one; they differ only in bank-name byte 7 and that checksum.
  const std::string original = read_file(ram.string());
  const std::string bytes = read_file(rebuilt);
  ASSERT_EQ(original.size(), 6360U);
  ASSERT_EQ(bytes.size(), 6363U);
  for (std::size_t i = 0; i + 4 < original.size(); ++i) {
    if (bytes[7 + i] == original[4 + i]) continue;
    EXPECT_TRUE(i == 2 + 2 * 7 || i == 2 + 2 * 7 + 1 || i == 66) << "block offset " << i;
  }
}

TEST(Example, GivesNoWarning) {
  RunResult r = testing_support::run_program(kCompiler, {"-w", EXAMPLE_TEXT_PATH, "/dev/null"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
}

}  // namespace
