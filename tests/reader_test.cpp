// The bank text reader: which lines it accepts, where each value goes, and
// which line it reports when a line is malformed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "bank_text.h"
#include "text/bank_text_reader.h"
#include "system/file_source.h"

namespace {

using bank::BankState;
using testing_support::read_text;

std::string name_of(const bank::Name& name) { return std::string(name.data(), 7); }

const std::string kOpValues = " 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16";

struct Fault {
  std::string text;
  std::int64_t line;
  int code;
  std::int64_t definitions;  // counted before the stop
};

TEST(Reader, StopsAtTheFirstMalformedLineWithItsCode) {
  const Fault faults[] = {
      {"@x: Piano\n", 1, 1, 0},
      {"@\n", 1, 1, 0},
      {"@   \n", 1, 1, 0},
      {"@: Piano\n", 1, 1, 0},
      {"@1: A\n# comment\nLFO: 1 2 3 4 5 6 7\n", 3, 2, 1},
      {"@1: A\nLFO: 1 2 3 x 5 6 7 8\n", 2, 2, 1},
      {"VOI: 1 2\n", 1, 3, 0},
      {"@1: A\nOP1:" + kOpValues.substr(0, kOpValues.size() - 3) + "\n", 2, 4, 1},
      {"OP:" + kOpValues + "\n", 1, 4, 0},
      {"OP1 :" + kOpValues + "\n", 1, 4, 0},
      {"OPTION\n", 1, 4, 0},
      {"FNC: 1 2 3\n", 1, 5, 0},
      {"FNC: 1 2 + 3 4\n", 1, 5, 0},
      {"@1: A\nEXT: 1 1 1\n", 2, 6, 1},
      {"RAW: 16\n", 1, 7, 0},
      {"RAW:\n", 1, 7, 0},
      {"RAW: # no pairs\n", 1, 7, 0},
      {"RAW: 16 128 48\n", 1, 7, 0},
      {"RAW: 64 1\n", 1, 7, 0},
      {"RAW: -1 1\n", 1, 7, 0},
      {"RAW: 4294967312 128\n", 1, 7, 0},  // 2^32 + 16: no byte 16
      {"RAW: 16 128 0004294967360 1\n", 1, 7, 0},
      // The first fault wins; later lines are never read.
      {"\n\nVOI: 1 2 3\nFNC: 1\nLFO: 1\n", 4, 5, 1},
  };
  for (const Fault& f : faults) {
    BankState state;
    EXPECT_EQ(read_text(f.text, state), f.line) << f.text;
    EXPECT_EQ(state.reader_error, f.code) << f.text;
    EXPECT_EQ(state.definition_count, f.definitions) << f.text;
  }
  EXPECT_EQ(bank::reader_error_message(1), "Instrument or Voicename are wrong\n");
  EXPECT_EQ(bank::reader_error_message(4), "OP definition is wrong\n");
  EXPECT_EQ(bank::reader_error_message(0), "none\n");
  EXPECT_EQ(bank::reader_error_message(6), "EXT definition is wrong\n");
  EXPECT_EQ(bank::reader_error_message(7), "RAW definition is wrong\n");
}

TEST(Reader, EmptyInputAndIgnoredLines) {
  BankState state;
  EXPECT_EQ(read_text("", state), 0);
  EXPECT_EQ(state.definition_count, 0);

  // Comments, blank lines, label lines, tab indentation, lower case and
  // keywords not at the start all count for nothing.
  const std::string ignored =
      "# LFO: x\n\n   \n#     EN SPD AMD\n\tLFO: 1 2 3 4 5 6 7 8\nlfo: 1 2 3 4 5 6 7 8\n"
      "x LFO: 1 2 3 4 5 6 7 8\nLF0: 1\nFB-01\nFNC 1 2 3 4\nVOI 1 2 3\n";
  EXPECT_EQ(read_text(ignored, state), 0);
  EXPECT_EQ(state.definition_count, 0);
  EXPECT_EQ(state.voices[0].en, 0);
}

TEST(Reader, ValueFormsAndPlacement) {
  BankState state;
  const std::string text =
      "@1: A\n"
      "   LFO: 1 2 3 4 5 6 7 8 junk after the values\n"
      "VOI:7 -3+9\n"
      "OP2: 001 099 031 -04 +05\t6\v7 8 9 10 11 12 13 14 15 16\n"
      "FNC:1-2 3 4\n";
  EXPECT_EQ(read_text(text, state), 0);
  EXPECT_EQ(state.definition_count, 5);
  const bank::VoiceParams& v = state.voices[0];
  EXPECT_EQ((std::array{v.en, v.spd, v.amd, v.pmd, v.ams, v.pms, v.form, v.sync}),
            (std::array{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ((std::array{v.alg, v.fb, v.trans}), (std::array{7, -3, 9}));
  const bank::OperatorParams& op = v.op[1];
  EXPECT_EQ((std::array{op.mul, op.tl, op.ar, op.dr, op.sl, op.sr, op.rr, op.dt1, op.dt2, op.kst,
                        op.ksl, op.ksr, op.vst, op.adj, op.vsa, op.mc}),
            (std::array{1, 99, 31, -4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}));
  EXPECT_EQ((std::array{v.mon, v.por, v.cnt, v.pbr}), (std::array{1, -2, 3, 4}));
  EXPECT_EQ(v.op[0].mul, 0);

  // "OP2: 001 099 ..." and "OP2:1 99 ..." read alike.
  BankState other;
  EXPECT_EQ(read_text("@1: A\nOP2:1 99 31 -4 5 6 7 8 9 10 11 12 13 14 15 16\n", other), 0);
  EXPECT_EQ(std::memcmp(&other.voices[0].op[1], &op, sizeof op), 0);
}

TEST(Reader, IntegersOfAnyLengthKeepTheirLowBits) {
  BankState state;
  EXPECT_EQ(read_text("FNC: 4294967301 -4294967295 18446744073709551621 "
                      "000000000000000000000000000000000000042\n",
                      state),
            0);
  const bank::VoiceParams& v = state.voices[0];
  EXPECT_EQ(v.mon, 5);  // 2^32 + 5
  EXPECT_EQ(v.por, 1);  // -(2^32 - 1)
  EXPECT_EQ(v.cnt, 5);  // 2^64 + 5
  EXPECT_EQ(v.pbr, 42);
  EXPECT_EQ(read_text("FNC: 2147483648 -2147483648 4294967295 99999999999999999999999\n", state),
            0);
  EXPECT_EQ(static_cast<std::uint32_t>(v.mon), 0x80000000U);
  EXPECT_EQ(static_cast<std::uint32_t>(v.por), 0x80000000U);
  EXPECT_EQ(v.cnt, -1);
  EXPECT_EQ(static_cast<std::uint32_t>(v.pbr) & 0xFFU, 0xFFU);  // 10^23 - 1 ends in ...FF
}

TEST(Reader, VoiceHeadersSelectVoicesOrTheSpareRecord) {
  BankState state;
  const std::string text =
      "LFO: 9 9 9 9 9 9 9 9\n"  // before any header: voice 1
      "@7\nFNC: 1 1 1 1\n"
      "@7 : Piano\nFNC: 2 2 2 2\n"
      "@0: Zero\nVOI: 1 1 1\n"
      "@-5: Minus\nVOI: 2 2 2\n"
      "@49: High\nFNC: 3 3 3 3\n"
      "@200: Higher\nFNC: 4 4 4 4\n"
      "@3:Piano12X\n"
      "@ +4:   Piano12\n"
      "@2: Pi\n"
      "@5:   \t \nFNC: 5 5 5 5\n"
      "@4096:\nOP9:" +
      kOpValues +
      "\n"
      "@6:Six\nOP0:" +
      kOpValues + "\nOP -3:" + kOpValues + "\nOP 7:" + kOpValues + "\n";
  EXPECT_EQ(read_text(text, state), 0);
  EXPECT_EQ(state.definition_count, 24);
  EXPECT_EQ(state.voices[0].en, 9);
  EXPECT_EQ(state.voices[6].mon, 0);  // "@7" and "@7 :" went to the spare record
  EXPECT_EQ(name_of(state.voices[0].name), std::string("Minus\n "));
  EXPECT_EQ(state.voices[0].alg, 2);
  EXPECT_EQ(state.voices[bank::kSpareVoiceIndex].mon, 4);  // the last line given wins
  EXPECT_EQ(state.voices[bank::kSpareVoiceIndex].op[3].mul, 1);
  EXPECT_EQ(name_of(state.voices[2].name), "Piano12");
  EXPECT_EQ(name_of(state.voices[3].name), "Piano12");
  EXPECT_EQ(name_of(state.voices[1].name), std::string("Pi\n    "));
  // "@5:" with a blank name selects voice 5 and names it with spaces.
  EXPECT_EQ(name_of(state.voices[4].name), "       ");
  EXPECT_EQ(state.voices[4].mon, 5);
  // Operator numbers are brought into 1-4.
  EXPECT_EQ(state.voices[5].op[0].mul, 1);
  EXPECT_EQ(state.voices[5].op[3].mul, 1);
  EXPECT_EQ(state.voices[5].op[1].mul, 0);
}

TEST(Reader, ANameBeginsAfterOneSpaceOnlyInTheListedForm) {
  // "@", two digits, ':' and two spaces is how a listing writes a name that
  // begins with a space; every other header skips the blanks after ':'.
  const std::pair<std::string, std::string> rows[] = {
      {"@01:  Brass1", " Brass1"},   {"@01:     MO1", "    MO1"},
      {"  @02:  Bass", " Bass\n "}, {"@01:        ", "       "},
      {"@1:  Piano", "Piano\n "},    {"@001:  Piano", "Piano\n "},
      {"@ 1:  Piano", "Piano\n "},   {"@01: \tPiano", "Piano\n "},
      {"@01:Piano", "Piano\n "},     {"@+1:  Piano", "Piano\n "},
  };
  for (const auto& [header, name] : rows) {
    BankState state;
    ASSERT_EQ(read_text(header + "\nFNC: 1 2 3 4\n", state), 0) << header;
    const std::size_t voice = header.find("@02") != std::string::npos ? 1 : 0;
    EXPECT_EQ(name_of(state.voices[voice].name), name) << header;
    EXPECT_EQ(state.voices[voice].mon, 1) << header;  // the voice, not the spare record
  }
}

TEST(Reader, BankNameLines) {
  BankState state;
  EXPECT_EQ(read_text("FB-01: ABCDEFG\n", state), 0);
  EXPECT_EQ(name_of(state.bank_name), " ABCDEF");
  EXPECT_EQ(state.definition_count, 0);

  // A later line replaces the whole name: the newline ends it, and the
  // positions after it are spaces.
  EXPECT_EQ(read_text("FB-01:ABCDEFG\n  FB-01:XY\n", state), 0);
  EXPECT_EQ(name_of(state.bank_name), std::string("XY\n    "));

  // At the very end of the input there is no newline to take.
  EXPECT_EQ(read_text("FB-01:Tail", state), 0);
  EXPECT_EQ(name_of(state.bank_name), "Tail   ");
}

TEST(Reader, LongLinesAreOneLine) {
  BankState state;
  std::string text = "# " + std::string(20000, 'x') + "\n";
  text += "LFO: 1" + std::string(100000, ' ') + "2 3 4 5 6 7 8\n";
  text += "FB-01:" + std::string(9000, 'N') + "\n";
  text += "VOI: 1\n";
  EXPECT_EQ(read_text(text, state), 4);
  EXPECT_EQ(state.reader_error, 3);
  EXPECT_EQ(state.voices[0].spd, 2);
  EXPECT_EQ(name_of(state.bank_name), "NNNNNNN");
}

TEST(Reader, CrLfReadsLikeLf) {
  const std::string lf =
      "FB-01:Bank\n@2: Pi\nLFO: 1 2 3 4 5 6 7 8\nOP3:" + kOpValues + "\n\nFNC: 1 2 3 4\nVOI: 1 x\n";
  std::string crlf;
  for (char ch : lf) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  BankState a;
  BankState b;
  EXPECT_EQ(read_text(lf, a), 7);
  EXPECT_EQ(read_text(crlf, b), 7);
  EXPECT_EQ(name_of(b.voices[1].name), std::string("Pi\n    "));
  EXPECT_EQ(name_of(b.bank_name), std::string("Bank\n  "));
  EXPECT_EQ(std::memcmp(&a.voices, &b.voices, sizeof a.voices), 0);
  EXPECT_EQ(a.definition_count, b.definition_count);
}

TEST(Reader, AFileReadsLikeMemoryAcrossBufferEnds) {
  // Lines of many lengths, with LF and CR LF, over several input buffers:
  // the reading must not depend on where a buffer ends.
  std::string text;
  for (int i = 0; text.size() < 300000; ++i) {
    const std::string eol = i % 3 == 0 ? "\r\n" : "\n";
    text += "@" + std::to_string(i % 50) + ": N" + std::to_string(i) + eol;
    text += "# " + std::string(static_cast<std::size_t>(i % 97), 'c') + eol;
    text += "OP" + std::to_string(i % 5) + ":" + kOpValues +
            std::string(static_cast<std::size_t>(i % 7), ' ') + eol;
    text += "FNC: " + std::to_string(i) + " 2 3 4" + eol + "FB-01:B" + std::to_string(i % 13) + eol;
  }
  text += "VOI: 1 2";  // a fault on the last line, which has no newline
  BankState from_memory;
  const std::int64_t line = read_text(text, from_memory);
  ASSERT_GT(line, 0);

  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), file), text.size());
  std::rewind(file);
  BankState from_file;
  bank::InputStream in = bank::file_input(file);
  EXPECT_EQ(bank::read_bank_text(in, from_file), line);
  std::fclose(file);
  EXPECT_EQ(from_file.reader_error, from_memory.reader_error);
  EXPECT_EQ(from_file.definition_count, from_memory.definition_count);
  EXPECT_EQ(name_of(from_file.bank_name), name_of(from_memory.bank_name));
  EXPECT_EQ(std::memcmp(&from_file.voices, &from_memory.voices, sizeof from_file.voices), 0);
}

}  // namespace
