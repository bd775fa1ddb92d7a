// What -w reports: for each text, the exact warning lines, in order. The
// reading itself is the same with and without warnings.
#include "text/reader_warnings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "text/bank_text_reader.h"
#include "system/chunked_source.h"
#include "system/input_stream.h"

namespace {

using bank::BankState;
using namespace std::string_literals;

const std::string kOp = " 1 2 3 4 5 6 7 7 1 2 3 1 4 5 1 0";  // 16 values that fit

struct Read {
  std::int64_t result = 0;
  std::string lines;    // the line warnings, formatted
  std::string summary;  // the summary warnings, formatted
};

bool same_state(const BankState& a, const BankState& b) {
  return a.reader_error == b.reader_error && a.definition_count == b.definition_count &&
         a.bank_name == b.bank_name && std::memcmp(&a.voices, &b.voices, sizeof a.voices) == 0;
}

// Reads `text` from memory without and with warnings, which must store the
// same; then through buffers of a few bytes, which must store and warn
// exactly as memory does, wherever a buffer ends.
Read read_with_warnings(const std::string& text) {
  BankState plain;
  BankState warned;
  bank::ReaderWarnings warnings;
  const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  bank::InputStream a = bank::memory_input(bytes);
  bank::InputStream b = bank::memory_input(bytes);
  Read read;
  read.result = bank::read_bank_text(a, plain);
  EXPECT_EQ(bank::read_bank_text(b, warned, &warnings), read.result) << text;
  EXPECT_TRUE(same_state(plain, warned)) << text;
  for (const bank::ReaderWarning& w : warnings.lines) read.lines += bank::format_warning(w);
  read.summary = bank::summary_warnings(warnings);
  for (const std::size_t size : {1U, 2U, 3U, 7U, 64U}) {
    BankState small;
    BankState small_warned;
    bank::ReaderWarnings small_warnings;
    bank::InputStream c = bank::chunked_input(bytes, size);
    bank::InputStream d = bank::chunked_input(bytes, size);
    EXPECT_EQ(bank::read_bank_text(c, small), read.result) << size << ": " << text;
    EXPECT_EQ(bank::read_bank_text(d, small_warned, &small_warnings), read.result) << size;
    EXPECT_TRUE(same_state(plain, small) && same_state(plain, small_warned))
        << size << ": " << text;
    std::string lines;
    for (const bank::ReaderWarning& w : small_warnings.lines) lines += bank::format_warning(w);
    EXPECT_EQ(lines, read.lines) << size;
    EXPECT_EQ(bank::summary_warnings(small_warnings), read.summary) << size;
  }
  return read;
}

struct Case {
  std::string text;
  std::string warnings;
};

TEST(ReaderWarnings, EachSlipWithItsExactText) {
  const Case cases[] = {
      // The EXT line's values are judged as every value; a RAW value may
      // set only the free bits of its byte.
      {"@1: A\nEXT: 2 1 1 1 4 256\nRAW: 16 128 16 1 48 255 8 0 11 -1 13 99999999999\n",
       "Warning in line 2: ON1 2 is outside 0 to 1; 0 is stored\n"
       "Warning in line 2: OUT 4 is outside 0 to 3; 0 is stored\n"
       "Warning in line 2: USR 256 is outside 0 to 255; 0 is stored\n"
       "Warning in line 3: RAW 1 for byte 16 sets bits outside the free bits 0x80; 0 is stored\n"
       "Warning in line 3: RAW -1 for byte 11 sets bits outside the free bits 0x87; 135 is "
       "stored\n"
       "Warning in line 3: RAW 99999999999 for byte 13 sets bits outside the free bits 0x8C; "
       "140 is stored\n"},
      // Lines that look like definitions but are ignored.
      {"0P3:" + kOp + "\nLfo: 1\n  FCN: 1\nfb-01:Bank\nFB-02:x\nLFOX: 1\nNote : x\n# a: b\n",
       "Warning in line 1: \"0P3:\" is not a keyword; the line is ignored\n"
       "Warning in line 2: \"Lfo:\" is not a keyword; the line is ignored\n"
       "Warning in line 3: \"FCN:\" is not a keyword; the line is ignored\n"
       "Warning in line 4: \"fb-01:\" is not a keyword; the line is ignored\n"
       "Warning in line 5: \"FB-02:\" is not a keyword; the line is ignored\n"
       "Warning in line 6: \"LFOX:\" is not a keyword; the line is ignored\n"},
      // A keyword whose colon is missing or apart, in any letter case.
      {"@1: A\nEXT 001 001 000 001 000 000\nEXT : 1 1 1 1 0 0\nFNC 000 000 000 000\nRAW 12 1\n"
       "lfo 1 2\n  Op2 1\nFB-01 Bank\nEXTRA 1\nOPTION\n",
       "Warning in line 2: \"EXT\" is not followed by its colon; the line is ignored\n"
       "Warning in line 3: \"EXT\" is not followed by its colon; the line is ignored\n"
       "Warning in line 4: \"FNC\" is not followed by its colon; the line is ignored\n"
       "Warning in line 5: \"RAW\" is not followed by its colon; the line is ignored\n"
       "Warning in line 6: \"lfo\" is not followed by its colon; the line is ignored\n"
       "Warning in line 7: \"Op2\" is not followed by its colon; the line is ignored\n"
       "Warning in line 8: \"FB-01\" is not followed by its colon; the line is ignored\n"},
      {"\tLFO: 1 2 3 4 5 6 7 8\n \t@1: A\n\tOP 1:" + kOp +
           "\n\tOP7:\n\tOPTION\n\tFB-01:X\n\tLfo: 1\n",
       "Warning in line 1: a tab stands before \"LFO:\"; the line is ignored\n"
       "Warning in line 2: a tab stands before \"@\"; the line is ignored\n"
       "Warning in line 3: a tab stands before \"OP 1:\"; the line is ignored\n"
       "Warning in line 4: a tab stands before \"OP7:\"; the line is ignored\n"
       "Warning in line 5: a tab stands before \"OP\"; the line is ignored\n"
       "Warning in line 6: a tab stands before \"FB-01:\"; the line is ignored\n"
       "Warning in line 7: \"Lfo:\" is not a keyword; the line is ignored\n"},
      // Values: cut to their field, or listed back as another value; one
      // warning a value, in column order.
      {"@1: A\nLFO: 1 256 3 4 5 6 7 8\nVOI: 8 -1 400\nVOI: 0 0 -128\nVOI: 0 0 -129\n"
       "FNC: 0 0 5 13\nFNC: 0 0 13 16\nOP2: 1 200 3 4 5 6 7 7 1 2 3 1 4 5 1 0\n"
       "FNC: 0 0 0 4294967295\n",
       "Warning in line 2: SPD 256 is outside 0 to 255; 0 is stored\n"
       "Warning in line 2: AMS 5 is outside 0 to 3; 1 is stored\n"
       "Warning in line 2: FORM 7 is outside 0 to 3; 3 is stored\n"
       "Warning in line 2: SYNC 8 is outside 0 to 1; 0 is stored\n"
       "Warning in line 3: ALG 8 is outside 0 to 7; 0 is stored\n"
       "Warning in line 3: FB -1 is outside 0 to 7; 7 is stored\n"
       "Warning in line 3: TRANS 400 is outside -128 to 255; 144 is stored\n"
       "Warning in line 5: TRANS -129 is outside -128 to 255; 127 is stored\n"
       "Warning in line 6: CNT 5 is stored, but lists back as 4\n"
       "Warning in line 6: PBR 13 is stored, but lists back as 12\n"
       "Warning in line 7: CNT 13 is outside 0 to 7; 5 is stored\n"
       "Warning in line 7: PBR 16 is outside 0 to 15; 0 is stored\n"
       "Warning in line 8: TL 200 is outside 0 to 127; 72 is stored\n"
       "Warning in line 9: PBR 4294967295 is outside 0 to 15; 15 is stored\n"},
      // Numbers too large to keep are judged and shown as written.
      {"@1: A\nOP1: 1 4294967296" + kOp.substr(4) + "\nOP2: 1 300000000000" + kOp.substr(4) +
           "\nOP3: 1 +0004294967306" + kOp.substr(4) + "\n@4294967297: Big\nOP4294967297:" + kOp +
           "\n@4294967396: X\nOP-0:" + kOp + "\n@0004: D\n",
       "Warning in line 2: TL 4294967296 is outside 0 to 127; 0 is stored\n"
       "Warning in line 3: TL 300000000000 is outside 0 to 127; 0 is stored\n"
       "Warning in line 4: TL 4294967306 is outside 0 to 127; 10 is stored\n"
       "Warning in line 5: voice 4294967297 is outside 1 to 48; voice 1 is used\n"
       "Warning in line 5: voice 1 is defined again (first in line 1); the later lines win\n"
       "Warning in line 6: operator 4294967297 is outside 1 to 4; operator 1 is used\n"
       "Warning in line 7: voice 4294967396 is outside 1 to 48; its lines are ignored\n"
       "Warning in line 8: operator 0 is outside 1 to 4; operator 1 is used\n"},
      // Voice and operator numbers.
      {"@1: A\n@60: B\n@0: C\n@-5: D\n@7 : E\n@2: F\n@2:\nOP0:" + kOp + "\nOP9:" + kOp + "\n",
       "Warning in line 2: voice 60 is outside 1 to 48; its lines are ignored\n"
       "Warning in line 3: voice 0 is outside 1 to 48; voice 1 is used\n"
       "Warning in line 3: voice 1 is defined again (first in line 1); the later lines win\n"
       "Warning in line 4: voice -5 is outside 1 to 48; voice 1 is used\n"
       "Warning in line 4: voice 1 is defined again (first in line 1); the later lines win\n"
       "Warning in line 5: no ':' after the voice number; its lines are ignored\n"
       "Warning in line 7: voice 2 is defined again (first in line 6); the later lines win\n"
       "Warning in line 8: operator 0 is outside 1 to 4; operator 1 is used\n"
       "Warning in line 9: operator 9 is outside 1 to 4; operator 4 is used\n"},
      {"LFO: 0 0 0 0 0 0 0 0\n@60: X\nFNC: 0 0 0 0\n@60: Y\n",
       "Warning in line 1: no voice header yet; voice 1 is used\n"
       "Warning in line 2: voice 60 is outside 1 to 48; its lines are ignored\n"
       "Warning in line 4: voice 60 is outside 1 to 48; its lines are ignored\n"},
      // Names: cut (trailing white space does not count), and characters
      // that are sent as spaces.
      {"FB-01: StudioAB\nFB-01:StudioA   \n@1: GrandPiano \t\n@2:Pi\tano\n@3: Caf\xC3\xA9\n"
       "@4: Flute\x7F\n",
       "Warning in line 1: name \" StudioAB\" is cut to \" Studio\"\n"
       "Warning in line 3: name \"GrandPiano\" is cut to \"GrandPi\"\n"
       "Warning in line 4: name character 0x09 is stored as a space\n"
       "Warning in line 5: name character 0xC3 is stored as a space\n"
       "Warning in line 5: name character 0xA9 is stored as a space\n"},
      // A zero byte in a name is shown, not taken as the end of the text.
      {"@1: A\0BCDEFGH\n"s,
       "Warning in line 1: name character 0x00 is stored as a space\n"
       "Warning in line 1: name \"A\0BCDEFGH\" is cut to \"A\0BCDEF\"\n"s},
      // Text after the last value; none for plain white space.
      {"@1: A\nLFO: 1 1 1 1 1 1 1 1 junk\nVOI: 1 1 1.5\nFNC: 1 1 1 1  \t\r\nOP1:" + kOp + " # x\n",
       "Warning in line 2: text after the last value is ignored\n"
       "Warning in line 3: text after the last value is ignored\n"
       "Warning in line 5: text after the last value is ignored\n"},
      // A faulty line gets its error only; the lines before keep theirs.
      {"Lfo: 1\nLFO: 1 2 300\nFNC: 1 2 3 400\n",
       "Warning in line 1: \"Lfo:\" is not a keyword; the line is ignored\n"},
      // The written form of a listing gives none.
      {"FB-01:Bank   \n\n@01: Piano  \n#     EN SPD AMD PMD AMS PMS FORM SYNC\n"
       "LFO: 000 154 000 000 002 002  002  000\n#    ALG  FB TRANS\nVOI: 007 003  244\n",
       ""},
  };
  for (const Case& c : cases) EXPECT_EQ(read_with_warnings(c.text).lines, c.warnings) << c.text;
}

TEST(ReaderWarnings, ByteOrderMarks) {
  std::string all;
  for (int v = 1; v <= 48; ++v) all += "@" + std::to_string(v) + ": V\n";
  const std::string utf16 = "Warning: the text is UTF-16; save it as ASCII or UTF-8\n";
  const std::string no_name = "Warning: no bank name line; the bank name is blank\n";
  const std::string none(7, '\0');  // no bank name line was read
  struct Row {
    std::string text;
    std::string bank_name;  // as stored (the newline is a name character)
    std::string warnings;   // all that -w prints
  };
  const Row rows[] = {
      // UTF-8's mark is passed over at the start of the text alone.
      {"\xEF\xBB\xBF"
       "FB-01:Bank\n" +
           all,
       "Bank\n  ", ""},
      {"\xEF\xBB\xBF\xEF\xBB\xBF"
       "FB-01:Bank\n" +
           all,
       none, no_name},
      {"\xEF\xBB"
       "FB-01:Bank\n" +
           all,
       none, no_name},
      // UTF-16's marks are told before every other warning.
      {"\xFF\xFE\n" + all, none, utf16 + no_name},
      {"\xFE\xFF"
       "FB-01:Bank\n" +
           all,
       none, utf16 + no_name},
      {"FB-01:Bank\n\xFF\xFE\n" + all, "Bank\n  ", ""},
  };
  for (const Row& row : rows) {
    BankState state;
    bank::ReaderWarnings warnings;
    const auto bytes =
        std::span(reinterpret_cast<const std::uint8_t*>(row.text.data()), row.text.size());
    bank::InputStream in = bank::chunked_input(bytes, 2);
    EXPECT_EQ(bank::read_bank_text(in, state, &warnings), 0);
    EXPECT_EQ(std::string(state.bank_name.data(), 7), row.bank_name) << row.text;
    EXPECT_EQ(bank::warnings_text(warnings, true), row.warnings) << row.text;
    read_with_warnings(row.text);  // stored alike with and without warnings
  }
}

TEST(ReaderWarnings, LineEndsAndLengthsReadAlikeThroughAnyBuffer) {
  const std::string long_name = "@1: " + std::string(300, 'N') + "\r\n";
  const std::string texts[] = {
      "FB-01:Bank\r\n@1: A\r\nLFO: 1 2 3 4 5 6 7 8\r\r\nVOI: 1 2\r",
      "@1: A\nFNC: 1 2 3 4",
      "@1: A\nFNC: 1 2 3 4\r",
      "@1:\r\n@2: \r\nFB-01:\r\nFB-01:x\r",
      long_name + "LFO:" + std::string(200, ' ') + "1 2 3 4 5 6 7 0000000000000000000008 9\n",
      "\t\t" + std::string(150, ' ') + "OP" + std::string(90, ' ') + "3:\n" + std::string(100, 'x'),
  };
  for (const std::string& text : texts) read_with_warnings(text);
}

TEST(ReaderWarnings, SummaryNamesTheBlankParts) {
  std::string all;
  for (int v = 1; v <= 48; ++v) all += "@" + std::to_string(v) + ": V\n";
  const Case cases[] = {
      {"FB-01:Bank\n" + all, ""},
      {all, "Warning: no bank name line; the bank name is blank\n"},
      {"FB-01:Bank\n", "Warning: voices 1-48 are not defined; they are blank\n"},
      {"FB-01:B\n@1: A\n@4: D\n@6: F\n@7: G\n@9:\n@48: Z\n",
       "Warning: voices 2-3, 5, 8, 10-47 are not defined; they are blank\n"},
      // A parameter line reaches a voice; the spare record is no voice.
      {"FB-01:B\nFNC: 0 0 0 0\n@60: X\n@2: B\n@3 : C\n" + all.substr(all.find("@4:")),
       "Warning: voice 3 is not defined; it is blank\n"},
  };
  for (const Case& c : cases) {
    const Read read = read_with_warnings(c.text);
    EXPECT_EQ(read.result, 0) << c.text;
    EXPECT_EQ(read.summary, c.warnings) << c.text;
  }
}

}  // namespace
