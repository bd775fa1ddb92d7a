// syxport through JACK as a process, against a real JACK server with the
// instrument model as its client: the default schedule's gaps through the
// pacing, the answer in JACK's pieces, the interrupt, no server, the list.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include "formats/bank_codec.h"
#include "jack_instrument.h"
#include "run_program.h"

namespace {

using namespace std::chrono_literals;
using bank::InstrumentSettings;
using testing_support::run_program;

const std::string kSyxport = SYXPORT_PATH;

// A server of the row's own: none is started again under a name just used.
std::string server_name(const char* which) {
  static int count = 0;
  return std::string("syxport-") + which + "-" + std::to_string(::getpid()) + "-" +
         std::to_string(count++);
}

// A row: a command against its own server (or none running), its ending,
// and what the instrument holds after it.
TEST(SyxportJack, EachCommandThroughAJackServer) {
  const std::string dir = testing_support::make_temp_dir();
  const std::vector<std::uint8_t> dump = testing_support::sample_dump();
  const std::string bank = dir + "/a.syx";
  testing_support::write_file(bank, testing_support::as_string(dump));
  struct Row {
    std::vector<std::string> args;
    int dropped;     // dumps the instrument drops
    bool interrupt;  // SIGINT once 2000 bytes have come
    bool server;
    int status;
    std::string out;  // the start of standard output
    std::string err;
  };
  const std::string none = server_name("none");
  const Row rows[] = {
      {{"send", "jack:fb01:in", bank}, 0, false, true, 0, "Bank 0 stored and verified\n", ""},
      {{"send", "jack:fb01", bank}, 1, false, true, 0, "Bank 0 stored and verified\n",
       "Warning: the bank read back differs from the bank sent in the bank name and voices "
       "1-48; sending it again\n"},
      {{"receive", "-b3", "jack:fb01:out", dir + "/b.syx"}, 0, false, true, 0, "", ""},
      {{"send", "jack:fb01:in", bank}, 0, true, true, 1, "", "Error: Interrupted\n"},
      {{"send", "jack:fb01:in", bank}, 0, false, false, 1, "",
       "Error: Cannot open port jack:fb01:in: no JACK server \"" + none +
           "\" is running\n'syxport ports' lists the MIDI ports of this system.\n"},
      {{"ports"}, 0, false, true, 0,
       "jack:fb01:in  fb01:in (JACK; output only)\njack:fb01:out  fb01:out (JACK; input only)\n",
       ""},
  };
  for (const Row& row : rows) {
    const std::string server = server_name("test");
    InstrumentSettings settings;
    settings.min_block_gap = 50ms;  // not the real 100: a loaded machine
    settings.dropped_dumps = row.dropped;
    testing_support::JackInstrument instrument(server, settings);
    if (!instrument.started()) GTEST_SKIP() << "no jackd here (apt-get install jackd2)";
    ASSERT_TRUE(instrument.ready());
    testing_support::RunOptions options;
    options.environment = {"JACK_DEFAULT_SERVER=" + (row.server ? server : none)};
    if (row.interrupt)
      options.while_running = [&instrument](int pid) {
        instrument.wait_for([](const auto& m) { return m.received().size() > 2000; }, 10s);
        ::kill(pid, SIGINT);
      };
    const auto started = std::chrono::steady_clock::now();
    const testing_support::RunResult r = run_program(kSyxport, row.args, options);
    const auto took = std::chrono::steady_clock::now() - started;
    const std::string what = row.args[0] + " " + row.args.back();
    EXPECT_EQ(r.status, row.status) << what;
    EXPECT_NE(r.out.find(row.out), std::string::npos) << what << r.out;
    EXPECT_EQ(r.err, row.err) << what;
    const std::vector<std::uint8_t> got = instrument.received();
    if (row.args[0] == "send" && row.status == 0) {
      EXPECT_EQ(instrument.look([](const auto& m) { return m.dumps_stored(); }), 1) << what;
      EXPECT_GE(instrument.look([](const auto& m) { return m.least_block_gap(); }), 50ms);
    }
    if (row.args.size() > 1 && row.args[1] == "jack:fb01:in" && row.status == 0) {
      EXPECT_EQ(got, testing_support::bytes_of_a_send(dump));
      // The schedule, a second to settle and the answer at MIDI's rate.
      EXPECT_LE(took, (300ms + 48 * 160ms + 1s + 2036ms) * 11 / 10 + 100ms);
    }
    EXPECT_TRUE(!row.interrupt || (!got.empty() && got.back() == bank::kSysExEnd));
    if (row.args[0] == "receive") {
      std::vector<std::uint8_t> held(bank::kMessageSize);
      bank::encode_bank_dump(instrument.look([](const auto& m) { return m.bank(3); }),
                             std::span<std::uint8_t, bank::kMessageSize>(held));
      EXPECT_EQ(testing_support::read_file(dir + "/b.syx"), testing_support::as_string(held));
    }
  }
  testing_support::remove_tree(dir);
}

}  // namespace
