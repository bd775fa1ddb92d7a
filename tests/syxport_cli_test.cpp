// syxport as a process, for what only a process shows: the default
// schedule end to end against the virtual instrument, the terminal's
// settings restored, the files left, signals and a stopped process, and
// that no error path sends a byte.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "dump_fixtures.h"
#include "formats/bank_codec.h"
#include "system/input_stream.h"
#include "formats/midi_writer.h"
#include "formats/packet_schedule.h"
#include "lister/list_dump.h"
#include "port/message_file.h"
#include "run_program.h"
#include "virtual_instrument.h"

namespace {

using namespace std::chrono_literals;
using bank::InstrumentSettings;
using testing_support::RunResult;
using testing_support::VirtualInstrument;

const std::string kSyxport = SYXPORT_PATH;
const std::string kText2syx = TEXT2SYX_PATH;
const std::string kExample = EXAMPLE_TEXT_PATH;

class SyxportCli : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = testing_support::make_temp_dir(); }
  void TearDown() override { testing_support::remove_tree(dir_); }
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  std::string dir_;
};

bool same_settings(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

termios settings_of(int fd) {
  termios t{};
  tcgetattr(fd, &t);
  return t;
}

std::vector<std::uint8_t> bytes_of(const std::string& s) { return {s.begin(), s.end()}; }

// One send on the default schedule against an instrument at MIDI's pace;
// `stop` stops the process for 100 ms in the middle. The instrument's need
// is set at 50 ms, not the real 100: its arrival times are those of a
// thread that reads the terminal, late by tens of milliseconds on a loaded
// machine, and a gap the sender squeezed is still far shorter.
void send_on_the_default_schedule(const std::string& file, const std::vector<std::uint8_t>& dump,
                                  bool stop) {
  InstrumentSettings measured;
  measured.min_block_gap = 50ms;
  VirtualInstrument instrument(measured);
  const termios before = settings_of(instrument.slave_fd());
  testing_support::RunOptions options;
  if (stop)
    options.while_running = [&instrument](int pid) {
      instrument.wait_for([](const auto& m) { return m.received().size() > 2000; }, 10s);
      ::kill(pid, SIGSTOP);
      std::this_thread::sleep_for(100ms);
      ::kill(pid, SIGCONT);
    };
  const auto started = std::chrono::steady_clock::now();
  const RunResult r =
      testing_support::run_program(kSyxport, {"send", instrument.port(), file}, options);
  const auto took = std::chrono::steady_clock::now() - started;
  EXPECT_EQ(r.status, 0) << file << r.err;
  EXPECT_EQ(r.out, "Bank 0 stored and verified\n") << file;
  EXPECT_EQ(r.err, "") << file;  // no warning, so the first send was stored
  EXPECT_TRUE(same_settings(before, settings_of(instrument.slave_fd()))) << file;

  // The bytes are protect off and the dump text2syx writes, then the request.
  EXPECT_EQ(instrument.received(), testing_support::bytes_of_a_send(dump)) << file;
  // Every block came after the silence the instrument needs, a stop or not.
  instrument.look([&](const auto& m) {
    EXPECT_EQ(m.dumps_stored(), 1) << file;
    EXPECT_GE(m.least_block_gap(), 50ms) << file;
    return 0;
  });
  // The schedule, a second to settle and the answer at MIDI's rate (2 s),
  // with room for a loaded machine and the stop.
  const auto expected_ms = 300 + 48 * 160 + 1000 + 6363 * 1000 / 3125;
  EXPECT_LE(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(),
            expected_ms * 110 / 100 + 100)
      << file;
}

TEST_F(SyxportCli, StoresATextADumpAndAMidiFileOnTheDefaultScheduleEndToEnd) {
  ASSERT_EQ(testing_support::run_program(kText2syx, {kExample, path("a.syx")}).status, 0);
  ASSERT_EQ(testing_support::run_program(kText2syx, {"-m", kExample, path("a.mid")}).status, 0);
  const std::vector<std::uint8_t> dump = bytes_of(testing_support::read_file(path("a.syx")));
  // Each on its own terminal, at once: the schedule takes 11 seconds. The
  // dump's sender is stopped for 100 ms on the way.
  std::vector<std::thread> sends;
  for (const std::string& file : {kExample, path("a.syx"), path("a.mid")})
    sends.emplace_back(
        [this, file, &dump] { send_on_the_default_schedule(file, dump, file == path("a.syx")); });
  for (std::thread& send : sends) send.join();
}

TEST_F(SyxportCli, ReceivedBanksAreWrittenWholeInTheFormTheNameAsks) {
  InstrumentSettings sensing;
  sensing.active_sensing = true;
  sensing.bytes_per_second = 0;
  VirtualInstrument instrument(sensing);
  const bank::BankData held = instrument.look([](const auto& m) { return m.bank(5); });
  std::vector<std::uint8_t> dump(bank::kMessageSize);
  bank::encode_bank_dump(held, std::span<std::uint8_t, bank::kMessageSize>(dump));
  bank::InputStream in = bank::memory_input(dump);
  bank::Listing listing;
  ASSERT_EQ(bank::list_dump(in, listing), bank::ListStatus::ok);
  const auto midi = bank::midi_file(
      std::span<const std::uint8_t, bank::kMessageSize>(dump.data(), dump.size()), 0);
  struct Row {
    std::string file;
    std::string bytes;
  };
  const Row rows[] = {
      {"bank.syx", testing_support::as_string(dump)},
      {"BANK.SYX", testing_support::as_string(dump)},  // the form's name in any letter case
      {"bank.mid", std::string(midi.begin(), midi.end())},
      {"bank.txt", listing.text},
      {"-", listing.text},
  };
  for (const Row& row : rows) {
    const std::string file = row.file == "-" ? row.file : path(row.file);
    const RunResult r =
        testing_support::run_program(kSyxport, {"receive", "-b5", instrument.port(), file});
    EXPECT_EQ(r.status, 0) << row.file << r.err;
    EXPECT_EQ(r.err, "");
    if (row.file == "-")
      EXPECT_EQ(r.out, row.bytes);
    else
      EXPECT_EQ(testing_support::read_file(file), row.bytes) << row.file;
  }
}

// The whole instrument backed up into one file, which syx2text --all
// lists, and restored, edited, into another: every storable message
// stored, a line each.
TEST_F(SyxportCli, ABackupRestoresTheWholeInstrument) {
  InstrumentSettings fast;
  fast.bytes_per_second = 0;
  VirtualInstrument from(fast);
  const std::string file = path("whole.syx");
  const RunResult backed = testing_support::run_program(kSyxport, {"backup", from.port(), file});
  ASSERT_EQ(backed.status, 0) << backed.err;
  EXPECT_EQ(backed.out,
            "Banks 0 and 1, configurations 1-20 and the current configuration written to " + file +
                "\n");
  EXPECT_EQ(testing_support::read_file(file).size(), 2 * bank::kMessageSize + 21 * 171);
  const RunResult listed = testing_support::run_program(SYX2TEXT_PATH, {"--all", file});
  EXPECT_EQ(listed.status, 0);
  EXPECT_NE(listed.out.find("# Message 23 at byte 16146: current configuration, system 0\n"),
            std::string::npos);

  // Edited, as an owner may: every message differs from what the second
  // instrument holds.
  bank::FileMessages held = bank::read_file_messages(file.c_str());
  ASSERT_TRUE(held.ok) << held.said;
  ASSERT_EQ(held.messages.size(), 23U);
  for (bank::StoredMessage& message : held.messages) {
    std::swap(message.bank.voices[0], message.bank.voices[47]);
    message.config.bytes[9] ^= 0x55;
  }
  std::string error;
  ASSERT_TRUE(bank::write_backup(file, held.messages, error)) << error;

  InstrumentSettings other = fast;
  other.min_block_gap = 0ms;
  VirtualInstrument to(other);
  const RunResult restored =
      testing_support::run_program(kSyxport, {"restore", "--gap", "20", to.port(), file});
  ASSERT_EQ(restored.status, 0) << restored.err;
  std::string lines = "Bank 0 stored and verified\nBank 1 stored and verified\n";
  for (int n = 1; n <= 16; ++n) lines += "Configuration " + std::to_string(n) + " stored and verified\n";
  EXPECT_EQ(restored.out, lines + "The current configuration stored and verified\n");
  for (const bank::StoredMessage& message : held.messages) {
    if (message.form == bank::StoredMessage::Form::bank) {
      EXPECT_EQ(to.look([&](const auto& m) { return m.bank(message.bank.bank_number).voices; }),
                message.bank.voices);
    } else if (bank::is_storable(message)) {
      EXPECT_EQ(to.look([&](const auto& m) { return m.config(message.config.memory).bytes; }),
                message.config.bytes)
          << message.config.memory;
    }
  }
}

// A watch as a process: the first send, an edit sent with what changed, a
// broken save that sends nothing, and Ctrl-C in a sounding note, which is
// released before the program ends with status 0.
TEST_F(SyxportCli, AuditionWatchesTheFileUntilCtrlC) {
  VirtualInstrument instrument(InstrumentSettings{.bytes_per_second = 0});
  const std::string file = path("bank.txt");
  std::string text = testing_support::read_file(kExample);
  testing_support::write_file(file, text);
  const auto buffer_is = [&instrument](const std::string& name) {
    return instrument.wait_for(
        [&name](const auto& m) {
          return m.buffer(0) && std::string(m.buffer(0)->begin(), m.buffer(0)->begin() + 7) == name;
        },
        10s);
  };
  testing_support::RunOptions options;
  options.stderr_path = path("err");
  options.while_running = [&](int pid) {
    EXPECT_TRUE(buffer_is("GrandPn"));
    text.replace(text.find("@01: GrandPn"), 12, "@01: Grand2 ");
    testing_support::write_file(file, text);
    EXPECT_TRUE(buffer_is("Grand2 "));
    testing_support::write_file(file, "@1: A\nLFO: 1\n");
    // The broken save is read once its note has ended; then one more
    // edit, and Ctrl-C while its note sounds.
    for (int i = 0; i < 1000 && testing_support::read_file(options.stderr_path).empty(); ++i)
      std::this_thread::sleep_for(10ms);
    text.replace(text.find("@01: Grand2"), 12, "@01: Grand3 ");
    testing_support::write_file(file, text);
    EXPECT_TRUE(buffer_is("Grand3 "));
    instrument.wait_for([](const auto& m) { return m.notes().size() == 5; }, 10s);
    ::kill(pid, SIGINT);
  };
  const RunResult r = testing_support::run_program(
      kSyxport, {"audition", "--watch", "--note", "60", instrument.port(), file}, options);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Voice 1 \"GrandPn\" sent to instrument 1"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("): name \"GrandPn\" -> \"Grand2 \"\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("): name \"Grand2 \" -> \"Grand3 \"\n"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "Error in line 2: LFO definition is wrong\n");
  const auto notes = instrument.look([](const auto& m) { return m.notes(); });
  ASSERT_FALSE(notes.empty());
  EXPECT_EQ(notes.back().velocity, 0);  // released
}

TEST_F(SyxportCli, FailuresSayWhyLeaveNoFileAndRestoreTheTerminal) {
  testing_support::write_file(path("faulty.txt"), "@1: A\nLFO: 1\n");
  testing_support::write_file(path("regular"), "");
  ASSERT_EQ(testing_support::run_program(kText2syx, {"-b1", kExample, path("rom.syx")}).status, 0);
  std::string rom = testing_support::read_file(path("rom.syx"));
  rom[6] = 4;
  testing_support::write_file(path("rom.syx"), rom);
  struct Row {
    InstrumentSettings instrument;
    std::vector<std::string> args;  // "PORT" is the instrument's port
    std::string err;                // its start
    int signal;                     // sent once the port has been written to
  };
  const std::string cannot_store = "Error: Bank 4 cannot be stored; only banks 0 and 1 can\n";
  const std::string see_ports = "'syxport ports' lists the MIDI ports of this system.\n";
  using I = InstrumentSettings;
  // clang-format off
  const Row rows[] = {
      {{}, {"send", "PORT", path("faulty.txt")}, "Error in line 2: LFO definition is wrong\n", 0},
      {{}, {"send", "PORT", path("rom.syx")}, cannot_store + "Give -b0 or -b1", 0},
      {{}, {"send", "--gap", "5", "PORT", kExample},
       "Error: --gap 5 is outside its range, 20 to 10000\nUsage: ", 0},
      {{}, {"send", path("regular"), kExample}, "Error: " + path("regular") + " is not a MIDI port\n" + see_ports, 0},
      {{}, {"send", path("none"), kExample},
       "Error: Cannot open port " + path("none") + ": No such file or directory\n" + see_ports, 0},
      {{}, {"send", "/dev/null", kExample}, "Error: The port /dev/null failed: the port reported its end\n", 0},
      {{}, {"receive", "PORT", path("none/out.syx")},
       "Error: Cannot open " + path("none/out.syx") + "\nThe system says: No such file or directory\n", 0},
      {{}, {"receive", "PORT", path("none/OUT.SYX")},
       "Error: Cannot open " + path("none/OUT.SYX") + "\nThe system says: No such file or directory\n", 0},
      {I{.silent = true}, {"receive", "--timeout", "1", "PORT", path("out.syx")},
       "Error: No answer from the instrument on PORT\nCheck that", 0},
      {I{.status_code = 1}, {"receive", "PORT", path("out.syx")},
       "Error: The instrument refused the request (status 0x01)\n", 0},
      // Given up in the middle of an answer: it is read to its end first,
      // so that nothing comes back to the instrument once the terminal's
      // settings (echo on) are restored.
      {I{.damaged_answers = 10}, {"receive", "--tries", "1", "PORT", path("out.syx")},
       "Error: The bank from the instrument is damaged: Checksum error..\n", 0},
      {{}, {"send", "PORT", kExample}, "Error: Interrupted\n", SIGINT},
      // An interrupt while the answer is awaited (in the middle of one, the
      // terminal this test holds open would echo the rest once restored).
      {I{.silent = true}, {"receive", "--timeout", "30", "PORT", path("out.txt")},
       "Error: Interrupted\n", SIGTERM},
  };
  // clang-format on
  for (const Row& row : rows) {
    VirtualInstrument instrument(row.instrument);
    const termios before = settings_of(instrument.slave_fd());
    std::vector<std::string> args;
    for (const std::string& a : row.args) args.push_back(a == "PORT" ? instrument.port() : a);
    testing_support::RunOptions options;
    if (row.signal != 0)
      options.while_running = [&instrument, &row](int pid) {
        // The handlers are in place before the port opens; a send is
        // interrupted inside the dump, past its first packets.
        const std::size_t heard = row.args[0] == "send" ? 1000 : 8;
        instrument.wait_for([heard](const auto& m) { return m.received().size() >= heard; }, 10s);
        ::kill(pid, row.signal);
      };
    const RunResult r = testing_support::run_program(kSyxport, args, options);
    std::string err = row.err;
    if (const auto at = err.find("PORT"); at != std::string::npos)
      err.replace(at, 4, instrument.port());
    EXPECT_EQ(r.status, 1) << row.err;
    EXPECT_EQ(r.out, "") << row.err;
    EXPECT_EQ(r.err.substr(0, err.size()), err);
    EXPECT_TRUE(same_settings(before, settings_of(instrument.slave_fd()))) << row.err;
    EXPECT_FALSE(testing_support::file_exists(path("out.syx")) ||
                 testing_support::file_exists(path("out.txt")))
        << row.err;
    std::this_thread::sleep_for(50ms);  // the last bytes reach the instrument
    const std::vector<std::uint8_t> received = instrument.received();
    if (row.signal == SIGINT) {
      // An interrupted dump is ended with F7.
      ASSERT_FALSE(received.empty());
      EXPECT_EQ(received.back(), bank::kSysExEnd);
      EXPECT_GT(received.size(), 1000U);
      EXPECT_LT(received.size(), bank::kMessageSize);
    } else if (row.instrument.silent || row.instrument.status_code ||
               row.instrument.damaged_answers > 0 || row.signal != 0) {
      EXPECT_EQ(received.size(), 8U) << row.err;  // the request alone
    } else {
      EXPECT_TRUE(received.empty()) << row.err;  // no error path sends a byte
    }
  }
}

// Whether process `pid` has exited, within `limit`; it is left to be
// waited for.
bool exits_within(int pid, std::chrono::milliseconds limit) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < until) {
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == pid)
      return true;
    std::this_thread::sleep_for(5ms);
  }
  return false;
}

// A device that never stops sending (here /dev/zero) neither holds a
// transfer past its timeout nor keeps an interrupt from ending it.
TEST_F(SyxportCli, APortThatNeverStopsSendingEndsOnTheTimeoutAndOnAnInterrupt) {
  struct Row {
    std::vector<std::string> args;
    int signal;       // sent 300 ms after the start; 0: none
    std::string err;  // its start
  };
  const Row rows[] = {
      {{"receive", "--timeout", "1", "/dev/zero", path("out.syx")}, 0,
       "Error: No answer from the instrument on /dev/zero\n"},
      {{"receive", "/dev/zero", path("out.syx")}, SIGINT, "Error: Interrupted\n"},
      {{"send", "/dev/zero", kExample}, SIGTERM, "Error: Interrupted\n"},
  };
  for (const Row& row : rows) {
    bool ended = false;
    testing_support::RunOptions options;
    options.while_running = [&row, &ended](int pid) {
      if (row.signal != 0) {
        std::this_thread::sleep_for(300ms);
        ::kill(pid, row.signal);
      }
      // Generous for a loaded machine: the interrupt is seen within
      // milliseconds, the timeout after its second.
      ended = exits_within(pid, row.signal != 0 ? 2000ms : 4000ms);
      if (!ended) ::kill(pid, SIGKILL);
    };
    const RunResult r = testing_support::run_program(kSyxport, row.args, options);
    EXPECT_TRUE(ended) << row.args[0] << " " << row.signal;
    EXPECT_EQ(r.status, 1) << row.err;
    EXPECT_EQ(r.err.substr(0, row.err.size()), row.err);
    EXPECT_FALSE(testing_support::file_exists(path("out.syx"))) << row.err;
  }
}

// 'syxport virtual' prints its port, plays the instrument there for the
// other commands and ends on an interrupt with status 0.
TEST_F(SyxportCli, TheVirtualInstrumentAnswersOnThePortItPrints) {
  testing_support::RunOptions options;
  options.stdout_path = path("virtual.out");
  RunResult received;
  options.while_running = [&](int pid) {
    std::string port;
    for (int i = 0; i < 1000 && port.empty(); ++i) {
      const std::string out = testing_support::read_file(path("virtual.out"));
      if (out.find('\n') != std::string::npos) port = out.substr(0, out.find('\n'));
      std::this_thread::sleep_for(5ms);
    }
    received = testing_support::run_program(kSyxport, {"receive", "-b2", port, path("bank.syx")});
    ::kill(pid, SIGINT);
  };
  const RunResult r = testing_support::run_program(kSyxport, {"virtual"}, options);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("until Ctrl-C"), std::string::npos);
  EXPECT_EQ(received.status, 0) << received.err;
  bank::BankData held = bank::sample_bank(2);
  std::vector<std::uint8_t> dump(bank::kMessageSize);
  bank::encode_bank_dump(held, std::span<std::uint8_t, bank::kMessageSize>(dump));
  EXPECT_EQ(testing_support::read_file(path("bank.syx")), testing_support::as_string(dump));
}

TEST_F(SyxportCli, UsageHelpVersionAndPorts) {
  RunResult r = testing_support::run_program(kSyxport, {"--version"});
  EXPECT_EQ(r.out, std::string("syxport ") + SYXBANK_VERSION + "\n");
  EXPECT_EQ(r.status, 0);
  r = testing_support::run_program(kSyxport, {"--help"});
  EXPECT_EQ(r.out.substr(0, 7), "Usage: ");
  for (const char* option : {"-s N", "-b N", "-w", "--gap MS", "--tries N", "--timeout S",
                             "--no-verify", "--help", "--version"})
    EXPECT_NE(r.out.find(option), std::string::npos) << option;
  EXPECT_EQ(r.status, 0);
  r = testing_support::run_program(kSyxport, {});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.substr(0, 7), "Usage: ");
  EXPECT_EQ(r.status, 1);
  // Every raw MIDI device of the system is listed, or none is there.
  std::size_t devices = 0;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/snd", ignored))
    devices += entry.path().filename().string().starts_with("midiC") ? 1U : 0U;
  r = testing_support::run_program(kSyxport, {"ports"});
  EXPECT_EQ(r.status, devices == 0 ? 1 : 0);
  EXPECT_EQ(r.err, devices == 0 ? "No MIDI ports found\n" : "");
  EXPECT_GE(std::count(r.out.begin(), r.out.end(), '\n'), static_cast<std::ptrdiff_t>(devices));
  if (devices > 0) {
    EXPECT_EQ(r.out.substr(0, 3), "hw:");
  }
}

}  // namespace
