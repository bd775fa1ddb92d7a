// syxport.exe under Wine, against the winmm.dll stand-in (winmm_standin.h):
// only what the Windows port adds, since the transfers' logic is tested in
// process. Every byte the instrument got and when are read from the
// stand-in's log.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "dump_fixtures.h"
#include "formats/bank_codec.h"
#include "system/input_stream.h"
#include "formats/midi_writer.h"
#include "formats/packet_schedule.h"
#include "instrument/instrument_model.h"
#include "lister/list_dump.h"
#include "run_program.h"

namespace {

using testing_support::RunResult;

const std::string kSyxport = SYXPORT_PATH;
const std::string kText2syx = TEXT2SYX_PATH;
const std::string kExample = EXAMPLE_TEXT_PATH;
const std::string kPort = "Virtual FB-01";

struct Logged {
  std::vector<std::int64_t> at_us;  // when each long message began on the cable
  std::vector<std::vector<std::uint8_t>> messages;
  std::vector<std::uint8_t> bytes;  // all of them
  int stored = -1;
  std::string misuse;  // calls the documentation does not allow
};

Logged read_log(const std::string& path) {
  Logged log;
  std::istringstream lines(testing_support::read_file(path));
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string kind;
    words >> kind;
    if (kind == "stored") words >> log.stored;
    if (kind == "misuse") log.misuse += line + "\n";
    if (kind != "out") continue;
    std::int64_t at = 0;
    words >> at;
    log.at_us.push_back(at);
    log.messages.emplace_back();
    unsigned byte = 0;
    while (words >> std::hex >> byte) {
      log.messages.back().push_back(static_cast<std::uint8_t>(byte));
      log.bytes.push_back(static_cast<std::uint8_t>(byte));
    }
  }
  return log;
}

class SyxportWindows : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = testing_support::make_temp_dir(); }
  void TearDown() override { testing_support::remove_tree(dir_); }
  std::string path(const std::string& name) const { return dir_ + "\\" + name; }

  // syxport with the stand-in set up as `setup`; its log read into `log`.
  RunResult run(const std::vector<std::string>& args, const std::string& setup,
                Logged* log = nullptr, const std::string& log_name = "log") const {
    testing_support::RunOptions options;
    const std::string log_path = path(log_name);
    options.environment = {"SYXPORT_STANDIN=" + setup, "SYXPORT_STANDIN_LOG=" + log_path};
    const RunResult r = testing_support::run_program(kSyxport, args, options);
    const Logged logged = read_log(log_path);
    // Every header given back and unprepared, on every path.
    EXPECT_EQ(logged.misuse, "") << setup;
    if (log != nullptr) *log = logged;
    return r;
  }
  std::string dir_;
};

std::vector<std::uint8_t> bytes_of(const std::string& s) { return {s.begin(), s.end()}; }

TEST_F(SyxportWindows, StoresATextADumpAndAMidiFileOnTheDefaultSchedule) {
  ASSERT_EQ(testing_support::run_program(kText2syx, {kExample, path("a.syx")}).status, 0);
  ASSERT_EQ(testing_support::run_program(kText2syx, {"-m", kExample, path("a.mid")}).status, 0);
  const std::vector<std::uint8_t> dump = bytes_of(testing_support::read_file(path("a.syx")));
  const auto packets = bank::bank_dump_packets(
      std::span<const std::uint8_t, bank::kMessageSize>(dump.data(), dump.size()), 0);
  const std::vector<std::uint8_t> expected = testing_support::bytes_of_a_send(dump);
  // Each by its name, its number and its name in other letters, in threads
  // of their own (Wine starts the three processes one after the other).
  const std::string files[] = {kExample, path("a.syx"), path("a.mid")};
  const std::string ports[] = {kPort, "0", "VIRTUAL fb-01"};
  std::vector<std::thread> sends;
  for (int i = 0; i < 3; ++i)
    sends.emplace_back([&, i] {
      Logged log;
      const RunResult r = run({"send", ports[i], files[i]}, "", &log, "log" + std::to_string(i));
      EXPECT_EQ(r.status, 0) << files[i] << r.err;
      EXPECT_EQ(r.out, "Bank 0 stored and verified\n") << files[i];
      EXPECT_EQ(r.err, "") << files[i];
      EXPECT_EQ(log.bytes, expected) << files[i];
      EXPECT_EQ(log.stored, 1) << files[i];
      // Every pause the instrument needs, and the schedule kept within 10%
      // (three sends at once under Wine on a loaded machine), as on Linux.
      ASSERT_EQ(log.messages.size(), packets.size() + 1) << files[i];
      for (std::size_t p = 2; p < packets.size(); ++p) {
        const std::int64_t ended =
            log.at_us[p - 1] + 320 * static_cast<std::int64_t>(log.messages[p - 1].size());
        EXPECT_GE(log.at_us[p] - ended, 100000) << files[i] << ", packet " << p;
      }
      const std::int64_t schedule_us = (300 + 48 * 160 + 1000) * 1000;
      EXPECT_LE(log.at_us.back() - log.at_us.front(), schedule_us * 110 / 100) << files[i];
    });
  for (std::thread& send : sends) send.join();
}

TEST_F(SyxportWindows, SendAgainstTheInstrumentAndTheSystem) {
  struct Row {
    std::string setup;
    std::vector<std::string> args;  // after "send"
    int status;
    std::string err;  // its start
    int stored;
    bool closed;  // the last byte the instrument got is F7
  };
  // Packets back to back (--gap 20 is less than a voice takes on the cable)
  // for an instrument that needs no pause, answering at once.
  const std::string fast = "need=0,rate=0";
  const Row rows[] = {
      {fast + ",dropped=1",
       {"--gap", "20", kPort, kExample},
       0,
       "Warning: the bank read back differs from the bank sent in the bank name and voices "
       "1-48; sending it again\n",
       1,
       true},
      {fast + ",damaged=1",
       {"--gap", "20", kPort, kExample},
       0,
       "Warning: the bank read back is damaged (Checksum error..); sending it again\n",
       2,
       true},
      {fast + ",silent=1",
       {"--gap", "20", "--timeout", "1", kPort, kExample},
       1,
       "Error: No answer from the instrument on " + kPort + "\n",
       1,
       true},
      {fast + ",status=42",
       {"--gap", "20", kPort, kExample},
       1,
       "Error: The instrument refused the request (status 0x2A)\n",
       1,
       true},
      {fast + ",interrupt=16",
       {"--gap", "20", kPort, kExample},
       1,
       "Error: Interrupted\n",
       0,
       true},
      {fast,
       {"--gap", "20", "Nothing", kExample},
       1,
       "Error: There is no MIDI port Nothing; the ports are: 0 Virtual FB-01\n",
       -1,
       false},
      {fast + ",devices=0",
       {"--gap", "20", "0", kExample},
       1,
       "Error: There is no MIDI port 0; this system has none\n",
       -1,
       false},
      {fast + ",input=0",
       {"--gap", "20", kPort, kExample},
       1,
       "Error: The MIDI port " + kPort + " has no input\n",
       -1,
       false},
      {fast + ",in_use=1",
       {"--gap", "20", kPort, kExample},
       1,
       "Error: Cannot open port " + kPort + ": The specified resource is already allocated.\n",
       -1,
       false},
      {fast + ",input=0", {"--no-verify", "--gap", "20", kPort, kExample}, 0, "", 1, true},
      // A driver that marks a header done once it has copied it: the last
      // packet and the closing F7 are not lost to the close, and a packet
      // it holds 30 ms leaves the pause after it on the default schedule.
      {fast + ",copies=1,input=0", {"--no-verify", "--gap", "20", kPort, kExample}, 0, "", 1,
       true},
      {fast + ",copies=1,interrupt=16", {"--gap", "20", kPort, kExample}, 1,
       "Error: Interrupted\n", 0, true},
      {"copies=1,hold=30,held=6", {kPort, kExample}, 0, "Bank 0", 1, true},
  };
  for (const Row& row : rows) {
    std::vector<std::string> args{"send"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    testing_support::write_file(path("log"), "");
    Logged log;
    const RunResult r = run(args, row.setup, &log);
    EXPECT_EQ(r.status, row.status) << row.setup << r.err;
    if (row.err == "Bank 0")  // stored at the first send: nothing said
      EXPECT_EQ(r.out + r.err, "Bank 0 stored and verified\n") << row.setup;
    else
      EXPECT_EQ(r.err.substr(0, row.err.size()), row.err) << row.setup;
    EXPECT_EQ(log.stored, row.stored) << row.setup;
    if (row.closed) {
      ASSERT_FALSE(log.bytes.empty()) << row.setup;
      EXPECT_EQ(log.bytes.back(), bank::kSysExEnd) << row.setup;
    }
    if (row.err == "Error: Interrupted\n") {
      EXPECT_LT(log.bytes.size(), bank::kMessageSize) << row.setup;
    }
  }
}

// A voice into an instrument's buffer and its test note: the request for
// the current configuration, the single voice as a long message, the note
// on and, half a second later, off, as short messages.
TEST_F(SyxportWindows, AuditionSendsTheVoiceAndItsNote) {
  Logged log;
  const RunResult r =
      run({"audition", "-i", "2", "--note", "64", kPort, kExample, "7"}, "need=0,rate=0", &log);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, 9), "Voice 7 \"");
  ASSERT_EQ(log.messages.size(), 4U) << r.err;
  EXPECT_EQ(log.messages[1].size(), 139U);
  EXPECT_EQ(log.messages[1][4], 0x09);  // instrument 2
  const std::uint8_t channel = bank::sample_config(bank::kCurrentConfig).bytes[49] & 0x0F;
  EXPECT_EQ(log.messages[2], (std::vector<std::uint8_t>{static_cast<std::uint8_t>(0x90 | channel),
                                                         64, 100}));
  EXPECT_EQ(log.messages[3], (std::vector<std::uint8_t>{static_cast<std::uint8_t>(0x80 | channel),
                                                         64, 0}));
  EXPECT_GE(log.at_us[3] - log.at_us[2], 500000);
  // A device without an input: the channel is unknown, the voice goes.
  const RunResult one_way = run({"audition", kPort, kExample}, "need=0,rate=0,input=0", &log);
  EXPECT_EQ(one_way.status, 0) << one_way.err;
  EXPECT_EQ(one_way.err,
            "Warning: the current configuration did not come: instrument 1's MIDI channel is "
            "unknown\n");
  ASSERT_EQ(log.messages.size(), 1U);
  EXPECT_EQ(log.messages[0].size(), 139U);
}

TEST_F(SyxportWindows, ReceivesEveryBankInTheFormTheNameAsksAndListsThePort) {
  const char* names[] = {"bank.syx", "bank.mid", "bank.txt"};
  for (int n = 0; n <= 6; ++n) {
    bank::BankData held = bank::sample_bank(n);
    std::vector<std::uint8_t> dump(bank::kMessageSize);
    bank::encode_bank_dump(held, std::span<std::uint8_t, bank::kMessageSize>(dump));
    const std::string name = names[n % 3];
    std::string expected = testing_support::as_string(dump);
    if (name == "bank.mid") {
      const auto midi = bank::midi_file(
          std::span<const std::uint8_t, bank::kMessageSize>(dump.data(), dump.size()), 0);
      expected.assign(midi.begin(), midi.end());
    } else if (name == "bank.txt") {
      bank::InputStream in = bank::memory_input(dump);
      bank::Listing listing;
      ASSERT_EQ(bank::list_dump(in, listing), bank::ListStatus::ok);
      expected = listing.text;
    }
    // Bank 0 at MIDI's rate with active sensing around; the rest at once.
    const RunResult r = run({"receive", "-b" + std::to_string(n), kPort, path(name)},
                            n == 0 ? "sensing=1" : "rate=0,damaged=" + std::to_string(n % 2));
    EXPECT_EQ(r.status, 0) << n << r.err;
    EXPECT_EQ(testing_support::read_file(path(name)), expected) << n;
  }
  const RunResult ports = run({"ports"}, "");
  EXPECT_EQ(ports.out, "0  Virtual FB-01 (input and output)\n");
}

}  // namespace
