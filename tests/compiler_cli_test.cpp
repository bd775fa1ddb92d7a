// text2syx as a user runs it, alone and together with syx2text: messages,
// statuses, option handling, output names and the files left afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dump_fixtures.h"
#include "run_program.h"

namespace {

using testing_support::file_exists;
using testing_support::read_file;
using testing_support::RunOptions;
using testing_support::RunResult;
using testing_support::write_file;

const std::string kCompiler = TEXT2SYX_PATH;
const std::string kLister = SYX2TEXT_PATH;
const std::string kExample = EXAMPLE_TEXT_PATH;

// Sixteen operator values.
const std::string kOpValues = " 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0";

const std::string kUsage =
    "Usage: " + kCompiler +
    " [options] infile.txt [outfile.syx]\n\n -sN   System number = N (0 - 15)\n"
    " -bN   Bank number = N  (0 or 1)\n";

class CompilerCli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing_support::make_temp_dir();
    write_file(path("bank.txt"), read_file(kExample));
  }
  void TearDown() override { testing_support::remove_tree(dir_); }

  std::string path(const std::string& name) const { return dir_ + "/" + name; }

  // Runs text2syx inside the test's directory.
  RunResult compile(const std::vector<std::string>& args, RunOptions options = {}) {
    options.working_directory = dir_;
    return testing_support::run_program(kCompiler, args, options);
  }

  // Header bytes 3 (system) and 6 (bank) of a written file.
  std::pair<int, int> numbers_of(const std::string& name) const {
    const std::string bytes = read_file(path(name));
    EXPECT_EQ(bytes.size(), 6363U) << name;
    if (bytes.size() != 6363) return {-1, -1};
    return {static_cast<unsigned char>(bytes[3]), static_cast<unsigned char>(bytes[6])};
  }

  std::string dir_;
};

TEST_F(CompilerCli, UsageHelpAndVersion) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"-s3"}, {"-s3", "-b1", "-"}}) {
    RunResult r = compile(args);
    EXPECT_EQ(r.out, kUsage);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 1);
  }
  RunResult r = compile({"-s3", "--help", "bank.txt"});
  EXPECT_EQ(r.out.substr(0, kUsage.size()), kUsage);
  for (const char* option : {"\n -w ", "\n -m ", "\n --help ", "\n --version ", "text2syx(1)"})
    EXPECT_NE(r.out.find(option, kUsage.size() - 1), std::string::npos) << option;
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(file_exists(path("bank.syx")));

  r = compile({"--version"});
  EXPECT_EQ(r.out, std::string("text2syx ") + SYXBANK_VERSION + "\n");
  EXPECT_EQ(r.status, 0);
}

TEST_F(CompilerCli, FailuresPrintOnStandardOutputAndLeaveNoFile) {
  struct Case {
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"FB-01:Bank\n@1: A\nLFO: 1 2 3\n", "Error in line 3: LFO definition is wrong\n"},
      {"@1: A\n\nOP1: 1 2\n", "Error in line 3: OP definition is wrong\n"},
      {"@x: A\n", "Error in line 1: Instrument or Voicename are wrong\n"},
      {"@1: A\nLFO: 1 2 3 4 5 6 7 8\nVOI: 1 2 3\nOP1:" + kOpValues + "\nOP2:" + kOpValues +
           "\nFNC: 1 2 3 4\n",
       "It seems not be a FB-01 text\n"},
      {"", "It seems not be a FB-01 text\n"},
  };
  for (const Case& c : cases) {
    write_file(path("bad.txt"), c.text);
    RunResult r = compile({"bad.txt"});
    EXPECT_EQ(r.out, c.message);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(file_exists(path("bad.syx"))) << c.message;
  }

  RunResult r = compile({"missing.txt"});
  const std::string no_such = "The system says: " + std::string(std::strerror(ENOENT)) + "\n";
  EXPECT_EQ(r.out, "Error: Cannot open missing.txt\n" + no_such);
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(file_exists(path("missing.syx")));

  r = compile({"bank.txt", "no/such/dir/out.syx"});
  EXPECT_EQ(r.out, "Error: Cannot open no/such/dir/out.syx\n" + no_such);
  EXPECT_EQ(r.status, 1);

  // A dump given for a text says which program it is for.
  testing_support::write_file(path("dump.syx"), testing_support::as_string(testing_support::sample_dump()));
  r = compile({"dump.syx", "out.syx"});
  EXPECT_EQ(r.out, "It seems not be a FB-01 text\n"
                   "dump.syx holds a bank dump, not a text: syx2text lists it as one\n");
  EXPECT_EQ(r.status, 1);

  ASSERT_TRUE(std::filesystem::create_directory(testing_support::utf8_path(path("folder"))));
  r = compile({"folder"});
  // Windows does not open a folder, and says why on the next line.
  const std::string folder_fault = std::string(testing_support::kFolderFault) + "folder\n";
  EXPECT_EQ(r.out.substr(0, folder_fault.size()), folder_fault);
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(file_exists(path("folder.syx")));
}

// A configuration text compiles into the current configuration's dump, or
// with -cN memory N's; -b is for banks, -c for configurations.
TEST_F(CompilerCli, ConfigurationTextsCompileToTheirDump) {
  std::string setup = "CONFIG:Stage\nSET: 0 0 0 0 0 0\n";
  for (int n = 1; n <= 8; ++n)
    setup += "IN" + std::to_string(n) + ": 1 0 127 0 0 0 0 2 127 64 0 0 2 0 0\n";
  write_file(path("setup.txt"), setup);
  struct Row {
    std::vector<std::string> args;
    std::string out;
    std::string head;  // the first bytes written to the output
  };
  const std::string usage = "Usage: " + kCompiler + " [options] infile.txt [outfile.syx]\n";
  const Row rows[] = {
      {{"setup.txt"}, "", std::string("\xF0\x43\x75\x00\x00\x01\x00\x01\x20Stage", 14)},
      {{"-s3", "-c20", "setup.txt"}, "", std::string("\xF0\x43\x75\x03\x00\x02\x13", 7)},
      {{"-m", "-c1", "setup.txt"}, "", "MThd"},
      {{"-b1", "setup.txt"},
       "Error: setup.txt is a configuration text: -b is for banks; give -cN to store it in "
       "memory N\n",
       ""},
      {{"-c2", "bank.txt"}, "Error: bank.txt is a bank text: -c is for configuration texts\n", ""},
  };
  for (const Row& row : rows) {
    std::filesystem::remove(testing_support::utf8_path(path("setup.syx")));
    std::filesystem::remove(testing_support::utf8_path(path("setup.mid")));
    const RunResult r = compile(row.args);
    EXPECT_EQ(r.status, row.out.empty() ? 0 : 1) << row.args[0];
    EXPECT_EQ(r.out.substr(0, row.out.size()), row.out) << row.args[0];
    if (!row.out.empty()) {
      EXPECT_EQ(r.out.substr(row.out.size(), usage.size()), usage);
      EXPECT_FALSE(file_exists(path("setup.syx")));
      continue;
    }
    const std::string written = read_file(path(row.args[0] == "-m" ? "setup.mid" : "setup.syx"));
    EXPECT_EQ(written.substr(0, row.head.size()), row.head) << row.args[0];
    if (row.args[0] != "-m") {
      EXPECT_EQ(written.size(), 171U);
    }
  }
  write_file(path("setup.txt"), setup.substr(0, setup.find("IN8")));
  EXPECT_EQ(compile({"setup.txt"}).out, "Error: IN8 definition is missing\n");
}

// One voice alone: the single voice for an instrument, named after the
// input and the voice; listed by syx2text --all and compiled back, the
// same 139 bytes.
TEST_F(CompilerCli, AVoiceAloneIsTheSingleVoiceAndComesBack) {
  RunResult r = compile({"--voice", "7", "-i3", "-s2", "bank.txt"});
  ASSERT_EQ(r.status, 0) << r.out;
  const std::string voice = read_file(path("bank-07.syx"));
  ASSERT_EQ(voice.size(), 139U);
  EXPECT_EQ(voice.substr(0, 9), std::string("\xF0\x43\x75\x02\x0A\x00\x00\x01\x00", 9));
  const RunResult listed = testing_support::run_program(SYX2TEXT_PATH, {"--all", path("bank-07.syx")});
  ASSERT_EQ(listed.status, 0);
  EXPECT_EQ(listed.out.substr(0, listed.out.find('\n')),
            "# Message 1 at byte 0: single voice, system 2, instrument 2");
  write_file(path("one.txt"), listed.out);
  r = compile({"--voice", "1", "-i3", "-s2", "one.txt", "one.syx"});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(read_file(path("one.syx")) == voice);
  EXPECT_EQ(compile({"--voice", "7", "-m", "bank.txt"}).status, 0);
  EXPECT_EQ(read_file(path("bank-07.mid")).substr(0, 4), "MThd");
}

TEST_F(CompilerCli, FailedWritesAreReportedAndPartialFilesRemoved) {
  SKIP_ON_WINDOWS("no device that refuses writes, no file-size limit");
  RunResult r = compile({"bank.txt", "/dev/full"});
  EXPECT_EQ(r.out, "Error: Cannot write /dev/full\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(file_exists("/dev/full"));  // a device is never removed

  // Past a file-size limit the write fails instead of the signal killing
  // the program.
  RunOptions small;
  small.file_size_limit = 1000;
  r = compile({"bank.txt", "out.syx"}, small);
  EXPECT_EQ(r.out, "Error: Cannot write out.syx\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(file_exists(path("out.syx")));
}

TEST_F(CompilerCli, OutputThatIsTheInputIsRefused) {
  const std::string text = read_file(path("bank.txt"));
  write_file(path("voice.syx"), text);
  std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"bank.txt", "bank.txt"}, "bank.txt"},
      {{"-w", "voice.syx"}, "voice.syx"},  // the derived name is the input's
      {{"bank.txt", "./bank.txt"}, "./bank.txt"},
  };
  // Links, where the system lets a user make them (Windows may not).
  std::error_code hard;
  std::error_code soft;
  std::filesystem::create_hard_link(path("bank.txt"), path("hard.syx"), hard);
  std::filesystem::create_symlink("bank.txt", path("soft.syx"), soft);
#ifndef _WIN32
  ASSERT_FALSE(hard || soft);
#endif
  if (!hard) cases.push_back({{"bank.txt", "hard.syx"}, "hard.syx"});
  if (!soft) cases.push_back({{"bank.txt", "soft.syx"}, "soft.syx"});
  for (const auto& [args, output] : cases) {
    RunResult r = compile(args);
    EXPECT_EQ(r.out, "Error: Output " + output + " is the input file\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(read_file(path(args.back())), text) << output;
  }
  // A faulty text still gets its own message first.
  write_file(path("bad.syx"), "LFO: 1\n");
  RunResult r = compile({"bad.syx"});
  EXPECT_EQ(r.out, "Error in line 1: LFO definition is wrong\n");
}

TEST_F(CompilerCli, FailedWritesTouchNothingButTheFileWritten) {
  // A link to a regular file, under a file-size limit: the link and its
  // target stay, the target is emptied, no partial dump is left anywhere.
  SKIP_ON_WINDOWS("no file-size limit, no device that refuses writes");
  write_file(path("target.syx"), "old");
  std::filesystem::create_symlink("target.syx", path("link.syx"));
  RunOptions small;
  small.file_size_limit = 2048;
  RunResult r = compile({"bank.txt", "link.syx"}, small);
  EXPECT_EQ(r.out, "Error: Cannot write link.syx\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(file_exists(path("link.syx")));
  EXPECT_EQ(read_file(path("target.syx")), "");

  // A device reached through a link: the link is never removed.
  std::filesystem::create_symlink("/dev/full", path("full.syx"));
  r = compile({"bank.txt", "full.syx"});
  EXPECT_EQ(r.out, "Error: Cannot write full.syx\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(file_exists(path("full.syx")));
}

TEST_F(CompilerCli, HelpAndVersionIntoAFullOutputFail) {
  const RunOptions full = testing_support::refusing_output();
  for (const char* option : {"--help", "--version"}) {
    RunResult r = compile({option}, full);
    EXPECT_EQ(r.err, "Error: Cannot write standard output\n") << option;
    EXPECT_EQ(r.status, 1) << option;
  }
}

TEST_F(CompilerCli, WarningsChangeNothingElse) {
  // A text with slips, one without, and one with a fault: the file written
  // and the status are the same with -w; the warnings come first.
  write_file(path("slips.txt"), read_file(kExample) + "\tLFO: 1\n@01: Again\n");
  write_file(path("bad.txt"), "Lfo: 1\nLFO: 1\n");
  for (const std::string name : {"bank", "slips", "bad"}) {
    RunResult plain = compile({name + ".txt", name + ".plain"});
    RunResult warned = compile({"-w", name + ".txt", name + ".warned"});
    EXPECT_EQ(plain.status, warned.status) << name;
    EXPECT_EQ(read_file(path(name + ".plain")), read_file(path(name + ".warned"))) << name;
    EXPECT_EQ(warned.out.substr(warned.out.size() - plain.out.size()), plain.out) << name;
    EXPECT_EQ(warned.err, "");
  }
  RunResult r = compile({"-w", "slips.txt", "slips.warned"});
  EXPECT_EQ(r.out,
            "Warning in line 629: a tab stands before \"LFO:\"; the line is ignored\n"
            "Warning in line 630: voice 1 is defined again (first in line 5); the later lines "
            "win\n");
  EXPECT_EQ(compile({"-w", "bad.txt"}).out,
            "Warning in line 1: \"Lfo:\" is not a keyword; the line is ignored\n"
            "Error in line 2: LFO definition is wrong\n");
  // Warnings go out whole, a zero byte in a name and all.
  const std::string zero("@1: A\0BCDEFGH\n", 14);
  write_file(path("zero.txt"), read_file(kExample) + zero);
  EXPECT_NE(compile({"-w", "zero.txt", "zero.syx"})
                .out.find(std::string("name \"A\0BCDEFGH\" is cut to \"A\0BCDEF\"\n", 37)),
            std::string::npos);
}

TEST_F(CompilerCli, SystemAndBankOptions) {
  struct Case {
    std::vector<std::string> options;
    int system;
    int bank;
  };
  const Case cases[] = {
      {{}, 0, 0},
      {{"-s20", "-b5"}, 15, 0},
      {{"-s-3"}, 0, 0},
      {{"-sX", "-b1"}, 0, 1},
      {{"-s3x", "-b1x"}, 3, 1},
      {{"-s7", "-s9", "-b1", "-b0"}, 9, 0},
      {{"-x", "-", "-s+12", "-b 1"}, 12, 1},
      {{"-s99999999999999999999", "-b99999999999999999999"}, 15, 0},
      {{"-s-99999999999999999999", "-b4294967297"}, 0, 0},
      {{"-s4294967299"}, 15, 0},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.options;
    args.push_back("bank.txt");
    RunResult r = compile(args);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(numbers_of("bank.syx"), std::make_pair(c.system, c.bank)) << args.front();
    std::remove(path("bank.syx").c_str());
  }
}

TEST_F(CompilerCli, OptionsEndAtTheInputName) {
  // After the input name, "-s3" is the output name.
  RunResult r = compile({"bank.txt", "-s3"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(numbers_of("-s3"), std::make_pair(0, 0));
  EXPECT_FALSE(file_exists(path("bank.syx")));

  // A detached value is the input name: "-s 3 bank.txt" reads "3" and
  // writes "bank.txt".
  write_file(path("3"), read_file(kExample));
  r = compile({"-s", "3", "bank.txt"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(numbers_of("bank.txt"), std::make_pair(0, 0));

  // Further arguments after the output name are ignored.
  r = compile({"3", "taken.bin", "ignored.syx"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(file_exists(path("taken.bin")));
  EXPECT_FALSE(file_exists(path("ignored.syx")));
}

TEST_F(CompilerCli, DerivedOutputNames) {
  for (const char* dir : {"old.dir", "dir", "B\xC3\xA4nke"})
    ASSERT_TRUE(std::filesystem::create_directory(testing_support::utf8_path(path(dir))));
  std::vector<std::pair<std::string, std::string>> cases = {
      {"a.b.txt", "a.b.syx"},
      {"plain", "plain.syx"},
      {".txt", ".txt.syx"},
      {"old.dir/bank", "old.dir/bank.syx"},
      {"dir/.txt", "dir/.txt.syx"},
      {"dir/v1.2.txt", "dir/v1.2.syx"},
      // Names beyond ASCII: "Bänke/Flöte.txt".
      {"B\xC3\xA4nke/Fl\xC3\xB6te.txt", "B\xC3\xA4nke/Fl\xC3\xB6te.syx"},
  };
#ifdef _WIN32
  cases.push_back({"old.dir\\tune", "old.dir\\tune.syx"});
  cases.push_back({"B\xC3\xA4nke\\Horn.v2", "B\xC3\xA4nke\\Horn.syx"});
#endif
  for (const auto& [input, output] : cases) {
    write_file(path(input), read_file(kExample));
    RunResult r = compile({input});
    EXPECT_EQ(r.status, 0) << input;
    EXPECT_TRUE(file_exists(path(output))) << input << " -> " << output;
  }
  EXPECT_FALSE(file_exists(path("old.syx")));
  RunResult listed = testing_support::run_program(kLister, {path("B\xC3\xA4nke/Fl\xC3\xB6te.syx")});
  EXPECT_EQ(listed.status, 0);
  EXPECT_EQ(listed.err, "");
}

TEST_F(CompilerCli, ExampleListsBackAsWritten) {
  RunResult r = compile({"-s2", "-b1", "bank.txt", "studio.syx"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 0);
  r = testing_support::run_program(kLister, {path("studio.syx")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  // The example is in the written form, below two comment lines.
  std::string example = read_file(kExample);
  for (int i = 0; i < 2; ++i) example.erase(0, example.find('\n') + 1);
  EXPECT_EQ(r.out, example);
}

TEST_F(CompilerCli, ListEditCompileLoopChangesExactlyTheEditedValue) {
  ASSERT_EQ(compile({"bank.txt", "first.syx"}).status, 0);
  RunResult listed = testing_support::run_program(kLister, {path("first.syx")});
  ASSERT_EQ(listed.status, 0);

  // Change TL of operator 3 of voice 17 in the listing.
  std::string text = listed.out;
  const std::size_t voice = text.find("@17: ");
  const std::size_t line = text.find("OP3: ", voice);
  ASSERT_NE(line, std::string::npos);
  const std::size_t tl = line + 9;
  const std::string old_line = text.substr(line, text.find('\n', line) - line);
  const std::string new_tl = text.substr(tl, 3) == "099" ? "098" : "099";
  text.replace(tl, 3, new_tl);
  write_file(path("edited.txt"), text);

  ASSERT_EQ(compile({"edited.txt"}).status, 0);
  RunResult relisted = testing_support::run_program(kLister, {path("edited.syx")});
  ASSERT_EQ(relisted.status, 0);
  EXPECT_EQ(relisted.out, text);
  EXPECT_NE(relisted.out, listed.out);

  // In the message, only that byte and the voice's checksum differ.
  const std::string a = read_file(path("first.syx"));
  const std::string b = read_file(path("edited.syx"));
  ASSERT_EQ(a.size(), b.size());
  std::vector<std::size_t> differing;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) differing.push_back(i);
  const std::size_t block = 74 + 131 * 16;
  const std::size_t tl_byte = 16 + 8 * 2;  // operator 3, byte 0
  for (std::size_t i : differing)
    EXPECT_TRUE(i == block + 2 + 2 * tl_byte || i == block + 3 + 2 * tl_byte || i == block + 130)
        << i << " after editing " << old_line;
  EXPECT_NE(std::find(differing.begin(), differing.end(), block + 130), differing.end());
}

}  // namespace
