// syx2text as a user runs it: what it prints on each stream, and its status.
#include <gtest/gtest.h>

#include <algorithm>
#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "dump_fixtures.h"
#include "formats/config_dump.h"
#include "system/input_stream.h"
#include "lister/list_dump.h"
#include "run_program.h"

namespace {

using testing_support::as_string;
using testing_support::RunResult;
using testing_support::sample_dump;
using testing_support::write_file;

const std::string kLister = SYX2TEXT_PATH;

class ListerCli : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = testing_support::make_temp_dir(); }
  void TearDown() override { testing_support::remove_tree(dir_); }

  // Writes `bytes` to a file and lists it.
  RunResult list_bytes(const std::string& bytes) {
    const std::string path = dir_ + "/bank.syx";
    write_file(path, bytes);
    return testing_support::run_program(kLister, {path});
  }

  std::string path(const std::string& name) const { return dir_ + "/" + name; }

  // The complete listing of the sample dump, and where each voice starts.
  // The sample bank as the lister's decoding lists it in process: what the
  // program must print.
  static std::string full_listing() {
    static const std::string listing = [] {
      const std::vector<std::uint8_t> dump = sample_dump();
      bank::InputStream in = bank::memory_input(dump);
      bank::Listing listed;
      return bank::list_dump(in, listed) == bank::ListStatus::ok ? listed.text : std::string();
    }();
    return listing;
  }
  static std::string listing_before_voice(int n) {
    char header[8];
    std::snprintf(header, sizeof header, "@%02d: ", n);
    return full_listing().substr(0, full_listing().find(header));
  }

  std::string dir_;
};

TEST_F(ListerCli, UsageHelpAndVersion) {
  RunResult r = testing_support::run_program(kLister, {});
  EXPECT_EQ(r.out, "Usage: " + kLister + " bulkdump.syx\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 1);

  r = testing_support::run_program(kLister, {"--help"});
  const std::string usage = "Usage: " + kLister + " bulkdump.syx\n";
  EXPECT_EQ(r.out.substr(0, usage.size()), usage);
  for (const char* option : {"\n --all ", "\n --help ", "\n --version ", "syx2text(1)"})
    EXPECT_NE(r.out.find(option, usage.size() - 1), std::string::npos) << option;
  EXPECT_EQ(r.status, 0);

  r = testing_support::run_program(kLister, {"--version"});
  EXPECT_EQ(r.out, std::string("syx2text ") + SYXBANK_VERSION + "\n");
  EXPECT_EQ(r.status, 0);
}

TEST_F(ListerCli, ListsAWholeDumpAndIgnoresFurtherArguments) {
  const std::string file = path("bank.syx");
  write_file(file, as_string(sample_dump()));
  RunResult r = testing_support::run_program(kLister, {file, "ignored", "-x"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, full_listing());
  EXPECT_EQ(r.out.substr(0, 17), "FB-01:Samples\n\n@0");
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), testing_support::kListedBankLines);
  EXPECT_NE(r.out.find("@48: Voice48\n"), std::string::npos);
}

TEST_F(ListerCli, SystemAndBankNumbersAreNotShown) {
  std::array<testing_support::VoiceData, 48> voices{};
  for (std::size_t i = 0; i < voices.size(); ++i)
    voices[i] = testing_support::sample_voice("V", static_cast<int>(i));
  const RunResult plain = list_bytes(as_string(testing_support::make_dump("B", voices, 0, 0)));
  const RunResult other = list_bytes(as_string(testing_support::make_dump("B", voices, 9, 1)));
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(other.status, 0);
  EXPECT_EQ(plain.out, other.out);
}

TEST_F(ListerCli, CannotOpen) {
  RunResult r = testing_support::run_program(kLister, {path("missing.syx")});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Error: Cannot open " + path("missing.syx") + "\nThe system says: " +
                       std::strerror(ENOENT) + "\n");
  EXPECT_EQ(r.status, 1);
  // A text given for a dump says which program it is for.
  testing_support::write_file(path("bank.txt"), "BANK:Studio\n\n@01: Piano\n");
  for (const char* all : {"", "--all"}) {
    std::vector<std::string> args{path("bank.txt")};
    if (*all != '\0') args.insert(args.begin(), all);
    r = testing_support::run_program(kLister, args);
    EXPECT_EQ(r.err, "Error: \"" + path("bank.txt") +
                         "\" is not contain the FB-01 inst bulk data.\n" + path("bank.txt") +
                         " holds text, not a bank dump: text2syx compiles a bank text into one\n")
        << all;
  }
}

TEST_F(ListerCli, RefusesWhatIsNotABulkDumpWithStatus1) {
  const std::string refused =
      "Error: \"" + path("bank.syx") + "\" is not contain the FB-01 inst bulk data.\n";
  std::string wrong_id = as_string(sample_dump());
  wrong_id[2] = 0x76;
  std::string wrong_zero = as_string(sample_dump());
  wrong_zero[4] = 0x01;
  for (const std::string& bytes :
       {wrong_id, wrong_zero, std::string(), std::string("\xF0\x43\x75\x00\x00\x00", 6),
        std::string("\xF0\x43\x60\x04\xF7", 5)}) {
    RunResult r = list_bytes(bytes);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, refused);
    EXPECT_EQ(r.status, 1);
  }
  // Voice data in another form, or a bank dump after other bytes: --all
  // lists it, and the error says so.
  const std::string note = "Note: syx2text --all lists the voice data the file holds\n";
  const std::string dump = as_string(sample_dump());
  for (const std::string& bytes :
       {testing_support::voice_ram_dump(sample_dump(), 3),
        testing_support::single_voice(testing_support::sample_voice("One", 1), 0, 2),
        "\xF0\xF0" + dump, std::string("\x00\xF0\x43\x75\x00\x00", 6) + dump}) {
    RunResult r = list_bytes(bytes);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, refused + note);
    EXPECT_EQ(r.status, 1);
  }
  // A configuration dump: --all lists it.
  bank::ConfigData config;
  const auto config_dump = bank::encode_config_dump(config);
  RunResult r = list_bytes(std::string(config_dump.begin(), config_dump.end()));
  EXPECT_EQ(r.err, refused + "Note: syx2text --all lists the configuration the file holds\n");
  EXPECT_EQ(r.status, 1);
}

TEST_F(ListerCli, ChecksumErrorKeepsWhatWasListed) {
  std::string bytes = as_string(sample_dump());
  const std::size_t nibble = 74 + 131 * 4 + 2 + 40;  // inside voice 5
  bytes[nibble] = static_cast<char>((bytes[nibble] + 3) & 0x0F);
  RunResult r = list_bytes(bytes);
  EXPECT_EQ(r.out, listing_before_voice(5));
  EXPECT_EQ(r.err, "Error: Checksum error..\n");
  EXPECT_EQ(r.status, 1);

  bytes = as_string(sample_dump());
  bytes[7 + 66] ^= 0x01;  // the bank-name checksum itself
  r = list_bytes(bytes);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Error: Checksum error..\n");
  EXPECT_EQ(r.status, 1);
}

TEST_F(ListerCli, TruncatedDumpKeepsWhatWasListed) {
  const std::string bytes = as_string(sample_dump());
  struct Cut {
    std::size_t length;
    int first_missing_voice;  // 0: not even the bank name
  };
  for (const Cut cut : {Cut{7, 0}, Cut{8, 0}, Cut{73, 0}, Cut{74, 1}, Cut{75, 1},
                        Cut{74 + 131 * 2 + 60, 3}, Cut{6362 - 1, 48}}) {
    RunResult r = list_bytes(bytes.substr(0, cut.length));
    EXPECT_EQ(r.out,
              cut.first_missing_voice == 0 ? "" : listing_before_voice(cut.first_missing_voice))
        << cut.length;
    EXPECT_EQ(r.err, "Error: Unexpected end of file..\n") << cut.length;
    EXPECT_EQ(r.status, 1) << cut.length;
  }
  // Without the closing F7 nothing is missing from the listing.
  RunResult r = list_bytes(bytes.substr(0, 6362));
  EXPECT_EQ(r.out, full_listing());
  EXPECT_EQ(r.status, 0);
}

TEST_F(ListerCli, BlockTooSmallToList) {
  // A bank-name block of 7 data bytes: its checksum holds, but 8 are listed.
  std::string bytes("\xF0\x43\x75\x00\x00\x00\x00\x00\x0E", 9);
  bytes.append(14, '\x00');
  bytes += '\x00';
  RunResult r = list_bytes(bytes);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Error: Block size error..\n");
  EXPECT_EQ(r.status, 1);

  // Voice 2 with 59 data bytes, its checksum good.
  std::string dump = as_string(sample_dump());
  std::string small("\x00\x76", 2);  // 118 nibble bytes
  small.append(118, '\x00');
  small += '\x00';
  dump.replace(74 + 131, 131, small);
  r = list_bytes(dump);
  EXPECT_EQ(r.out, listing_before_voice(2));
  EXPECT_EQ(r.err, "Error: Block size error..\n");
  EXPECT_EQ(r.status, 1);
}

TEST_F(ListerCli, CountsInTheFileFindTheNextBlock) {
  // Voice 1 grows by two nibble bytes (65 data bytes); every later block
  // moves along with it and still lists.
  std::string dump = as_string(sample_dump());
  const std::size_t v1 = 74;
  dump[v1 + 1] = 0x02;                                    // count 0x01 0x02 = 130
  dump.insert(v1 + 2 + 128, std::string("\x03\x01", 2));  // one more data byte
  dump[v1 + 2 + 130] = static_cast<char>((dump[v1 + 2 + 130] - 4) & 0x7F);
  RunResult r = list_bytes(dump);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, full_listing());
}

TEST_F(ListerCli, PipesAndTrailingBytesListLikeAPlainFile) {
  SKIP_ON_WINDOWS("no /dev/stdin");
  std::string bytes = as_string(sample_dump());
  bytes += std::string(200000, '\x55');
  const std::string file = path("bank.syx");
  write_file(file, bytes);
  testing_support::RunOptions from_stdin;
  from_stdin.stdin_path = file;
  RunResult r = testing_support::run_program(kLister, {"/dev/stdin"}, from_stdin);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, full_listing());
}

TEST_F(ListerCli, ListsFromAPipeWithoutWaitingForItsEnd) {
#ifdef _WIN32
  SKIP_ON_WINDOWS("no named pipes in the file system, no /dev/stdin");
#else
  // The writer sends a dump and keeps the pipe open for a long while: the
  // listing needs nothing more, so it must end while the writer still holds
  // the pipe.
  const std::string fifo = path("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string bytes = as_string(sample_dump());
  const pid_t writer = ::fork();
  ASSERT_GE(writer, 0);
  if (writer == 0) {
    const int fd = ::open(fifo.c_str(), O_WRONLY);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
      ::_exit(1);
    ::sleep(30);
    ::_exit(0);
  }
  testing_support::RunOptions from_pipe;
  from_pipe.stdin_path = fifo;
  RunResult r = testing_support::run_program(kLister, {"/dev/stdin"}, from_pipe);
  int wstatus = 0;
  const bool writer_still_open = ::waitpid(writer, &wstatus, WNOHANG) == 0;
  ::kill(writer, SIGKILL);
  ::waitpid(writer, &wstatus, 0);
  EXPECT_TRUE(writer_still_open);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, full_listing());
#endif
}

TEST_F(ListerCli, FailedWriteOfTheListingIsAnError) {
  const std::string file = path("bank.syx");
  write_file(file, as_string(sample_dump()));
  RunResult r = testing_support::run_program(kLister, {file}, testing_support::refusing_output());
  EXPECT_EQ(r.err, "Error: Cannot write standard output\n");
  EXPECT_EQ(r.status, 1);
}

TEST_F(ListerCli, ListingPastAFileSizeLimitIsReported) {
  SKIP_ON_WINDOWS("no file-size limit");
  const std::string file = path("bank.syx");
  write_file(file, as_string(sample_dump()));
  testing_support::RunOptions limited;
  limited.stdout_path = path("listing.txt");
  limited.file_size_limit = 1000;
  RunResult r = testing_support::run_program(kLister, {file}, limited);
  EXPECT_EQ(r.err, "Error: Cannot write standard output\n");
  EXPECT_EQ(r.status, 1);
}

TEST_F(ListerCli, ControlBytesInNamesListAsSpaces) {
  std::array<testing_support::VoiceData, 48> voices{};
  voices[0] = testing_support::sample_voice("Pi\nano\x01", 0);
  voices[1] = testing_support::sample_voice("\x1B[2J\x7F\xE9", 1);
  RunResult r =
      list_bytes(as_string(testing_support::make_dump("A\x1B"
                                                      "B\tC\r",
                                                      voices)));
  EXPECT_EQ(r.status, 0);
  // Each name says that a compile does not give its bytes back.
  const std::string note = "# A compile of this text does not give back: name bytes outside 0x20-0x7E\n";
  EXPECT_EQ(r.out.substr(0, 13 + note.size() + 1), "FB-01:A B C \n" + note + "\n");
  EXPECT_NE(r.out.find("\n@01: Pi ano \n" + note), std::string::npos);
  EXPECT_NE(r.out.find("\n@02:  [2J\x7F\xE9\n" + note), std::string::npos);
  // The 46 all-zero voices have every operator off and output bits 0 0:
  // an EXT line each, under its label line; their names are zero bytes.
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'),
            testing_support::kListedBankLines + 2 * 46 + 1 + 48);
}

TEST_F(ListerCli, AllStatusesAndStreams) {
  const std::string bank = as_string(sample_dump());
  std::string damaged = bank;
  damaged[74 + 131 * 2 + 130] ^= 0x01;  // checksum of voice 3
  const std::string none =
      "Error: \"" + path("bank.syx") + "\" is not contain the FB-01 inst bulk data.\n";
  struct Case {
    std::string bytes;
    std::string first_line;
    std::string err;
    int status;
  };
  const Case cases[] = {
      {"xx" + bank, "# Skipped 2 bytes at byte 0\n", "", 0},
      {damaged, "# Message 1 at byte 0: bank dump, system 0, bank 0\n",
       "Warning: message 1, voice 3: checksum is 0x", 1},
      {"not a dump", "# Skipped 10 bytes at byte 0\n", none, 1},
      {"", "", none, 1},
      {bank.substr(0, 7), "# Message 1 at byte 0: bank dump, system 0, bank 0\n",
       "Warning: message 1 ends after the header\n", 1},
  };
  for (const Case& c : cases) {
    write_file(path("bank.syx"), c.bytes);
    RunResult r = testing_support::run_program(kLister, {"--all", path("bank.syx")});
    EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1), c.first_line);
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
    EXPECT_EQ(r.status, c.status) << c.first_line;
  }
  RunResult r = testing_support::run_program(kLister, {"--all"});
  EXPECT_EQ(r.out, "Usage: " + kLister + " bulkdump.syx\n");
  EXPECT_EQ(r.status, 1);
}

TEST_F(ListerCli, ListingUsesTheSystemsLineEnds) {
  RunResult r = list_bytes(as_string(sample_dump()));
  ASSERT_EQ(r.status, 0);
#ifdef _WIN32
  // The console's line ends: CR LF, and no other CR.
  const auto lines = std::count(r.raw_out.begin(), r.raw_out.end(), '\n');
  std::size_t crlf = 0;
  for (std::size_t at = r.raw_out.find("\r\n"); at != std::string::npos;
       at = r.raw_out.find("\r\n", at + 2))
    ++crlf;
  EXPECT_EQ(static_cast<std::ptrdiff_t>(crlf), lines);
  EXPECT_EQ(std::count(r.raw_out.begin(), r.raw_out.end(), '\r'), lines);
#else
  EXPECT_EQ(r.raw_out.find('\r'), std::string::npos);
#endif
}

TEST_F(ListerCli, DirectoryIsAReadError) {
  RunResult r = testing_support::run_program(kLister, {dir_});
  EXPECT_EQ(r.out, "");
  // Windows does not open a folder, and says why on the next line.
  const std::string fault = testing_support::kFolderFault + dir_ + "\n";
  EXPECT_EQ(r.err.substr(0, fault.size()), fault);
  EXPECT_EQ(r.status, 1);
}

}  // namespace
