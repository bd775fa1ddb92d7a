// The configuration: its text written and read back, the reader's errors
// and warnings, and its dump as a listing of a whole file shows it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dump_fixtures.h"
#include "formats/config_dump.h"
#include "lister/list_dump.h"
#include "system/fixed_text.h"
#include "text/config_text.h"

namespace {

bank::ConfigReading read(const std::string& text, bool warnings = false) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  bank::InputStream in = bank::memory_input(std::span(bytes, text.size()));
  return bank::read_config_text(in, bank::ConfigData{}, warnings);
}

std::string instrument_line(int n, const std::string& values) {
  return "IN" + std::to_string(n) + ": " + values + "\n";
}

// A whole text: SET, IN1-IN8 with `values`, and `extra` lines after.
std::string text_with(const std::string& extra, const std::string& values =
                                                    "1 0 127 0 0 0 0 2 127 64 0 0 12 0 2") {
  std::string text = "CONFIG:Test\nSET: 0 1 2 3 0 0\n";
  for (int n = 1; n <= bank::kConfigInstrumentCount; ++n) text += instrument_line(n, values);
  return text + extra;
}

TEST(ConfigText, ListsEveryByteAndReadsItBack) {
  bank::ConfigData config = bank::sample_config(3);
  config.bytes[2] = 0x07;  // a name byte no text can show
  const std::string text = bank::config_text(config);
  EXPECT_EQ(text.substr(0, 16), "CONFIG:Co f 4  \n");
  EXPECT_NE(text.find("#    CMB SPD AMD PMD WAV KCR\nSET: 059 062 065 068 071 074\n"),
            std::string::npos);
  EXPECT_NE(text.find("\n#    bits that no value above holds: byte, value\nRAW:"), std::string::npos);
  EXPECT_NE(text.find("\nRAW: 002 007 014 077 "), std::string::npos);
  const bank::ConfigReading back = read(text);
  ASSERT_TRUE(back.accepted()) << bank::config_text_error(back, "t");
  EXPECT_EQ(back.config.bytes, config.bytes);
  // Without free bytes set, no RAW line; values as their low 7 bits.
  const bank::ConfigReading plain = read(text_with("", "129 1 127 0 0 0 -1 2 127 64 0 0 12 0 2"));
  ASSERT_TRUE(plain.accepted());
  EXPECT_EQ(plain.config.bytes[32], 1);
  EXPECT_EQ(plain.config.bytes[38], 127);  // DET -1
  EXPECT_EQ(bank::config_text(plain.config).find("RAW:"), std::string::npos);
}

TEST(ConfigText, TheReaderStopsAtWhatIsWrongAndWarnsOfWhatIsOdd) {
  struct Row {
    std::string text;
    std::string error;     // empty: accepted
    std::string warnings;  // with -w
  };
  const std::string whole = text_with("");
  const Row rows[] = {
      {whole, "", ""},
      {"  CONFIG:x\n# SET: comment\n" + whole.substr(whole.find('\n') + 1), "", ""},
      {text_with("SET: 1 2\n"), "Error in line 11: SET definition is wrong\n", ""},
      {text_with("IN9: 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n"),
       "Error in line 11: IN definition is wrong\n", ""},
      {text_with("IN2: 1 2 3\n"), "Error in line 11: IN definition is wrong\n", ""},
      {text_with("RAW: 160 1\n"), "Error in line 11: RAW definition is wrong\n", ""},
      {text_with("RAW: 4294967297 1\n"), "Error in line 11: RAW definition is wrong\n", ""},
      {text_with("RAW: 20\n"), "Error in line 11: RAW definition is wrong\n", ""},
      {text_with("LFO: 1 2 3 4 5 6 7 8\n"),
       "Error in line 11: a bank text's line in a configuration text; compile them apart\n", ""},
      {"CONFIG:x\n" + instrument_line(1, "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"),
       "Error: SET definition is missing\n", ""},
      {whole.substr(0, whole.find("IN3")) + whole.substr(whole.find("IN4")),
       "Error: IN3 definition is missing\n", ""},
      {text_with("SET: 2 0 0 0 4 0 extra\n"), "",
       "Warning in line 11: CMB 2 is outside 0 to 1; 2 is stored\n"
       "Warning in line 11: WAV 4 is outside 0 to 3; 4 is stored\n"
       "Warning in line 11: text after the last value is ignored\n"},
      {text_with("", "2 0 10 20 0 0 0 2 127 64 0 0 12 0 2"), "",
       "Warning: instrument 1's low key limit 20 is above its high one, 10\n"
       "Warning: instrument 2's low key limit 20 is above its high one, 10\n"
       "Warning: instrument 3's low key limit 20 is above its high one, 10\n"
       "Warning: instrument 4's low key limit 20 is above its high one, 10\n"
       "Warning: instrument 5's low key limit 20 is above its high one, 10\n"
       "Warning: instrument 6's low key limit 20 is above its high one, 10\n"
       "Warning: instrument 7's low key limit 20 is above its high one, 10\n"
       "Warning: instrument 8's low key limit 20 is above its high one, 10\n"
       "Warning: the instruments have 16 notes in all; the instrument has 8\n"},
  };
  for (const Row& row : rows) {
    const bank::ConfigReading reading = read(row.text, true);
    EXPECT_EQ(bank::config_text_error(reading, "t"), row.error) << row.text;
    EXPECT_EQ(reading.warnings, row.warnings) << row.text;
  }
}

// A scan of a whole file lists each dump, a damaged one for what it holds.
TEST(ConfigDump, AScanListsEachFormAndItsDamage) {
  bank::ConfigData config = bank::sample_config(bank::kCurrentConfig);
  const bank::ConfigDump whole = bank::encode_config_dump(config);
  config.memory = 19;
  config.system_number = 3;
  const bank::ConfigDump memory = bank::encode_config_dump(config);
  std::string bad_sum(whole.begin(), whole.end());
  bad_sum[169] ^= 1;
  std::string cut(whole.begin(), whole.begin() + 100);
  cut += '\xF7';
  std::string short_count(whole.begin(), whole.end());
  short_count[8] = 0x1F;  // 159 bytes, and the last becomes the checksum
  const struct {
    std::string bytes;
    std::string first_line;
    std::string warnings;
  } rows[] = {
      {std::string(memory.begin(), memory.end()),
       "# Message 1 at byte 0: configuration 20, system 3\n", ""},
      {bad_sum, "# Message 1 at byte 0: current configuration, system 0\n",
       bank::filled_text("Warning: message 1, configuration: checksum is 0x%02X, should be 0x%02X\n",
                         {whole[169] ^ 1, whole[169]})},
      {cut, "# Message 1 at byte 0: current configuration, system 0\n",
       "Warning: message 1 ends after 91 bytes of the configuration\n"},
      {short_count, "# Message 1 at byte 0: current configuration, system 0\n",
       "Warning: message 1, configuration: 159 data bytes, not 160\n"},
  };
  for (const auto& row : rows) {
    std::vector<std::uint8_t> bytes(row.bytes.begin(), row.bytes.end());
    bank::InputStream in = bank::memory_input(bytes);
    bank::Listing listing;
    bank::list_all(in, listing);
    EXPECT_EQ(listing.text.substr(0, listing.text.find('\n') + 1), row.first_line);
    EXPECT_NE(listing.text.find("\nCONFIG:"), std::string::npos) << row.first_line;
    EXPECT_EQ(listing.warnings, row.warnings);
  }
  EXPECT_TRUE(bank::config_of_dump(whole));
  EXPECT_FALSE(bank::config_of_dump(std::span(whole).first(170)));
}

}  // namespace
