// syxport through JACK, as a process against a real JACK server (jackd's
// dummy backend) with the instrument model as a client of it: the port
// kind chosen by its name, its pacing on the default schedule, the answer
// in pieces, the interrupt, a server that is not there and the listing.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "dump_fixtures.h"
#include "formats/bank_codec.h"
#include "jack_instrument.h"
#include "run_program.h"

namespace {

using namespace std::chrono_literals;
using bank::InstrumentSettings;
using testing_support::JackInstrument;
using testing_support::JackServer;
using testing_support::RunOptions;
using testing_support::RunResult;

const std::string kSyxport = SYXPORT_PATH;
const std::string kText2syx = TEXT2SYX_PATH;
const std::string kExample = EXAMPLE_TEXT_PATH;

class SyxportJack : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new JackServer("syxport-test-" + std::to_string(::getpid()));
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    if (!server_->running()) GTEST_SKIP() << server_->why_not();
    dir_ = testing_support::make_temp_dir();
  }
  void TearDown() override {
    if (!dir_.empty()) testing_support::remove_tree(dir_);
  }
  std::string path(const std::string& name) const { return dir_ + "/" + name; }
  RunOptions on_server() const {
    RunOptions options;
    options.environment = {"JACK_DEFAULT_SERVER=" + server_->name()};
    return options;
  }

  static JackServer* server_;
  std::string dir_;
};
JackServer* SyxportJack::server_ = nullptr;

std::vector<std::uint8_t> bytes_of(const std::string& s) { return {s.begin(), s.end()}; }

// A store on the default schedule: every gap kept (the instrument's need
// set at 50 ms, not the real 100, for a loaded machine), and a dump dropped
// once sent again. The port named by its input, the output following.
TEST_F(SyxportJack, StoresABankOnTheDefaultScheduleAndSendsADroppedOneAgain) {
  ASSERT_EQ(testing_support::run_program(kText2syx, {kExample, path("a.syx")}).status, 0);
  const std::vector<std::uint8_t> dump = bytes_of(testing_support::read_file(path("a.syx")));
  struct Row {
    int dropped;
    std::string err;
  };
  const Row rows[] = {
      {0, ""},
      {1, "Warning: the bank read back differs from the bank sent in the bank name and voices "
          "1-48; sending it again\n"},
  };
  for (const Row& row : rows) {
    InstrumentSettings settings;
    settings.min_block_gap = 50ms;
    settings.dropped_dumps = row.dropped;
    JackInstrument instrument(server_->name(), settings);
    ASSERT_TRUE(instrument.ready());
    const auto started = std::chrono::steady_clock::now();
    const RunResult r =
        testing_support::run_program(kSyxport, {"send", "jack:fb01:in", kExample}, on_server());
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Bank 0 stored and verified\n");
    EXPECT_EQ(r.err, row.err);
    instrument.look([&](const auto& m) {
      EXPECT_EQ(m.dumps_stored(), 1) << row.dropped;
      EXPECT_GE(m.least_block_gap(), 50ms) << row.dropped;
      return 0;
    });
    if (row.dropped == 0) {
      EXPECT_EQ(instrument.received(), testing_support::bytes_of_a_send(dump));
      // The schedule, a second to settle and the answer at MIDI's rate.
      const auto expected_ms = 300 + 48 * 160 + 1000 + 6363 * 1000 / 3125;
      EXPECT_LE(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(),
                expected_ms * 110 / 100 + 100);
    }
  }
}

// A receive by the client's name alone, its answer in JACK's pieces; an
// interrupt mid-send closes the message; no server, a clear error; the
// listing names both of the instrument's ports.
TEST_F(SyxportJack, ReceivesIsInterruptedNeedsAServerAndLists) {
  InstrumentSettings settings;
  JackInstrument instrument(server_->name(), settings);
  ASSERT_TRUE(instrument.ready());
  const bank::BankData held = instrument.look([](const auto& m) { return m.bank(3); });
  std::vector<std::uint8_t> dump(bank::kMessageSize);
  bank::encode_bank_dump(held, std::span<std::uint8_t, bank::kMessageSize>(dump));

  RunResult r = testing_support::run_program(
      kSyxport, {"receive", "-b3", "jack:fb01", path("b.syx")}, on_server());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(testing_support::read_file(path("b.syx")), testing_support::as_string(dump));

  RunOptions interrupted = on_server();
  interrupted.while_running = [&instrument](int pid) {
    instrument.wait_for([](const auto& m) { return m.received().size() > 2000; }, 10s);
    ::kill(pid, SIGINT);
  };
  r = testing_support::run_program(kSyxport, {"send", "jack:fb01:in", kExample}, interrupted);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error: Interrupted\n");
  const std::vector<std::uint8_t> got = instrument.received();
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got.back(), bank::kSysExEnd);
  EXPECT_LT(got.size(), testing_support::bytes_of_a_send(dump).size());

  RunOptions no_server;
  no_server.environment = {"JACK_DEFAULT_SERVER=syxport-none-" + std::to_string(::getpid())};
  r = testing_support::run_program(kSyxport, {"send", "jack:fb01:in", kExample}, no_server);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Error: Cannot open port jack:fb01:in: no JACK server \"syxport-none-" +
                       std::to_string(::getpid()) +
                       "\" is running\n'syxport ports' lists the MIDI ports of this system.\n");

  r = testing_support::run_program(kSyxport, {"ports"}, on_server());
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("jack:fb01:in  fb01:in (JACK; output only)\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("jack:fb01:out  fb01:out (JACK; input only)\n"), std::string::npos) << r.out;
}

}  // namespace
