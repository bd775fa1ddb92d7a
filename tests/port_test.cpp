// syxport's transfers in process, against the virtual instrument on a
// pseudo-terminal, through the real device code; its command line and the
// comparison of banks.
#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "compiler/dump_builder.h"
#include "compiler/midi_writer.h"
#include "compiler/text_compile.h"
#include "dump_fixtures.h"
#include "formats/input_stream.h"
#include "formats/packet_schedule.h"
#include "lister/list_dump.h"
#include "port/bank_file.h"
#include "port/device.h"
#include "port/options.h"
#include "port/transfer.h"
#include "run_program.h"
#include "virtual_instrument.h"

namespace {

using namespace std::chrono_literals;
using bank::Outcome;
using testing_support::InstrumentSettings;
using testing_support::VirtualInstrument;

// Short times against a matching instrument keep the tests fast.
bank::TransferSettings fast(int tries = 3) {
  bank::TransferSettings settings;
  settings.gap_ms = 20;
  settings.settle = 20ms;
  settings.timeout = 1s;
  settings.tries = tries;
  return settings;
}

std::vector<std::uint8_t> dump_of(const bank::BankData& data) {
  std::vector<std::uint8_t> dump(bank::kMessageSize);
  bank::encode_bank_dump(data, std::span<std::uint8_t, bank::kMessageSize>(dump));
  return dump;
}

struct Sent {
  bank::TransferResult result;
  std::string warnings;
};

Sent send_to(VirtualInstrument& instrument, const std::vector<std::uint8_t>& dump,
             const bank::TransferSettings& settings) {
  bank::PortOpening opening = bank::open_port(instrument.port(), settings.verify);
  EXPECT_EQ(opening.fault, bank::PortFault::none);
  bank::TransferLog log;
  Sent sent;
  sent.result = bank::send_bank(
      *opening.port, std::span<const std::uint8_t, bank::kMessageSize>(dump.data(), dump.size()),
      settings, log);
  sent.warnings = log.warnings;
  return sent;
}

TEST(Port, SendAgainstEachBehaviourOfTheInstrument) {
  struct Row {
    const char* what;
    InstrumentSettings instrument;
    bank::TransferSettings settings;
    Outcome outcome;
    int sends;
    int stored;
    std::string detail;  // the differences, or the first warning's start
  };
  InstrumentSettings dropped;
  dropped.dropped_dumps = 1;
  InstrumentSettings slow;
  slow.min_block_gap = 60ms;
  InstrumentSettings silent;
  silent.silent = true;
  InstrumentSettings refusing;
  refusing.status_code = 0x2A;
  InstrumentSettings damaging;
  damaging.damaged_answers = 1;
  InstrumentSettings always_damaged;
  always_damaged.damaged_answers = 10;
  InstrumentSettings noisy;
  noisy.echo = true;
  noisy.active_sensing = true;
  InstrumentSettings other_system;
  other_system.system_number = 5;
  bank::TransferSettings unverified = fast();
  unverified.verify = false;
  bank::TransferSettings short_wait = fast();
  short_wait.timeout = 300ms;
  const Row rows[] = {
      {"a dropped first dump", dropped, fast(), Outcome::done, 2, 1,
       "Warning: the bank read back differs from the bank sent in the bank name and voices 1-48"},
      {"a gap it cannot take", slow, fast(2), Outcome::differs, 2, 0,
       "the bank name and voices 1-48"},
      {"silence", silent, fast(), Outcome::no_answer, 1, 1, ""},
      {"a status message", refusing, fast(), Outcome::refused, 1, 1, ""},
      {"one damaged answer", damaging, fast(), Outcome::done, 2, 2,
       "Warning: the bank read back is damaged (Checksum error..); sending it again\n"},
      {"damaged answers", always_damaged, fast(2), Outcome::damaged, 2, 2, ""},
      {"an echo and active sensing", noisy, fast(), Outcome::done, 1, 1, ""},
      {"another system number", other_system, short_wait, Outcome::no_answer, 1, 0, ""},
      {"no verification", silent, unverified, Outcome::done, 1, 1, ""},
  };
  bank::BankData data = testing_support::sample_bank(4);
  data.bank_number = 0;
  const std::vector<std::uint8_t> dump = dump_of(data);
  // Each row on its own terminal, all at once: a send takes over a second.
  std::vector<std::thread> threads;
  for (const Row& row : rows)
    threads.emplace_back([&row, &dump] {
      VirtualInstrument instrument(row.instrument);
      const Sent sent = send_to(instrument, dump, row.settings);
      EXPECT_EQ(sent.result.outcome, row.outcome) << row.what;
      EXPECT_EQ(sent.result.sends, row.sends) << row.what;
      EXPECT_EQ(instrument.wait_for_dumps(row.stored, 500ms), row.stored) << row.what;
      if (row.outcome == Outcome::differs) {
        EXPECT_EQ(sent.result.differences, row.detail) << row.what;
      }
      if (row.outcome == Outcome::refused) {
        EXPECT_EQ(sent.result.status_code, 0x2A);
      }
      if (row.outcome == Outcome::damaged) {
        EXPECT_EQ(sent.result.fault, bank::ListStatus::checksum_error) << row.what;
      }
      EXPECT_EQ(
          sent.warnings.substr(0, row.detail.size()),
          row.outcome == Outcome::done ? row.detail : sent.warnings.substr(0, row.detail.size()))
          << row.what;
    });
  for (std::thread& thread : threads) thread.join();
}

TEST(Port, ReceiveFetchesEveryBankWhateverComesAround_It) {
  InstrumentSettings noisy;
  noisy.echo = true;
  noisy.active_sensing = true;
  noisy.system_number = 9;
  noisy.damaged_answers = 1;
  VirtualInstrument instrument(noisy);
  bank::PortOpening opening = bank::open_port(instrument.port(), true);
  ASSERT_EQ(opening.fault, bank::PortFault::none);
  bank::TransferSettings settings = fast();
  settings.system_number = 9;
  for (int n = 0; n <= 6; ++n) {
    bank::BankData received;
    bank::TransferLog log;
    const bank::TransferResult result =
        bank::receive_bank(*opening.port, n, settings, received, log);
    ASSERT_EQ(result.outcome, Outcome::done) << n;
    // The first answer was damaged and requested again.
    EXPECT_EQ(result.sends, n == 0 ? 2 : 1) << n;
    EXPECT_EQ(log.warnings.empty(), n != 0) << n;
    bank::BankData held = instrument.bank(n);
    held.system_number = 9;
    EXPECT_EQ(dump_of(received), dump_of(held)) << n;
  }
}

TEST(Port, FilesToSendAreToldByTheirFirstBytes) {
  const std::string dir = testing_support::make_temp_dir();
  bank::BankData data = testing_support::sample_bank(2);
  data.system_number = 4;
  data.bank_number = 1;
  const std::vector<std::uint8_t> dump = dump_of(data);
  const std::string syx = testing_support::as_string(dump);
  const std::vector<std::uint8_t> midi = bank::midi_file(
      std::span<const std::uint8_t, bank::kMessageSize>(dump.data(), dump.size()), 4);
  bank::InputStream listed = bank::memory_input(dump);
  bank::Listing listing;
  ASSERT_EQ(bank::list_dump(listed, listing), bank::ListStatus::ok);
  std::string rom = syx;
  rom[6] = 3;
  std::string damaged = syx;
  damaged[100] ^= 1;
  // A listing sent is the bank text2syx builds from it.
  auto state = std::make_unique<bank::BankState>();
  state->system_number = 4;
  state->bank_number = 1;
  bank::InputStream text = bank::memory_input(
      std::span(reinterpret_cast<const std::uint8_t*>(listing.text.data()), listing.text.size()));
  ASSERT_TRUE(bank::read_text_for_dump(text, *state, false).accepted);
  bank::build_bulk_dump(*state);
  const std::vector<std::uint8_t> built(state->message.begin(), state->message.end());
  // The bits of voices 1 and 2 beyond the standard lines are in the
  // listing, and so in what a text sends.
  bank::BankData back;
  bank::Listing relisting;
  relisting.bank = &back;
  bank::InputStream relisted = bank::memory_input(built);
  ASSERT_EQ(bank::list_dump(relisted, relisting), bank::ListStatus::ok);
  for (const std::size_t offset : {7U, 11U, 12U, 16U})
    for (const std::size_t v : {0U, 1U})
      EXPECT_EQ(back.voices[v][offset], data.voices[v][offset]) << v + 1 << ", " << offset;
  bank::BankData other = data;
  other.system_number = 7;
  other.bank_number = 0;
  struct Row {
    const char* name;
    std::string bytes;
    std::optional<int> system;
    std::optional<int> bank;
    std::string messages;
    std::vector<std::uint8_t> dump;  // empty when refused
  };
  const Row rows[] = {
      {"bank.syx", syx, {}, {}, "", dump},
      {"bank.mid", std::string(midi.begin(), midi.end()), {}, {}, "", dump},
      {"listed.syx", listing.text, 4, 1, "", built},  // a text, whatever its name
      {"renumbered.syx", syx, 7, 0, "", dump_of(other)},
      {"rom.syx", rom, {}, {}, "", {}},  // read; refused by the bank check
      {"damaged.syx", damaged, {}, {}, "Error: Checksum error..\n", {}},
      {"faulty.txt", "@1: A\nLFO: 1 2\n", {}, {}, "Error in line 2: LFO definition is wrong\n", {}},
      {"short.txt",
       "@1: A\n",
       {},
       {},
       "Warning: no bank name line; the bank name is blank\n"
       "Warning: voices 2-48 are not defined; they are blank\n"
       "It seems not be a FB-01 text\n",
       {}},
  };
  for (const Row& row : rows) {
    const std::string path = dir + "/" + row.name;
    testing_support::write_file(path, row.bytes);
    const bank::BankToSend file = bank::read_bank_to_send(path.c_str(), true, row.system, row.bank);
    EXPECT_EQ(file.messages, row.messages) << row.name;
    if (!row.dump.empty()) {
      ASSERT_TRUE(file.ok) << row.name;
      EXPECT_EQ(std::vector<std::uint8_t>(file.dump.begin(), file.dump.end()), row.dump)
          << row.name;
    }
  }
  const bank::BankToSend rom_file =
      bank::read_bank_to_send((dir + "/rom.syx").c_str(), false, {}, {});
  EXPECT_EQ(rom_file.dump[bank::kBankNumberOffset], 3);
  testing_support::remove_tree(dir);
}

TEST(Port, BankDifferencesNameWhatDiffers) {
  const bank::BankData a = testing_support::sample_bank(1);
  const auto with = [&a](std::initializer_list<int> voices, bool name, bool spare) {
    bank::BankData b = a;
    for (const int v : voices) b.voices[static_cast<std::size_t>(v - 1)][40] ^= 1;
    if (name) b.name_block[6] ^= 1;
    if (spare) b.name_block[7] ^= 1;  // the instrument's own byte
    return bank::bank_differences(a, b);
  };
  EXPECT_EQ(with({}, false, true), "");
  EXPECT_EQ(with({3}, false, false), "voice 3");
  EXPECT_EQ(with({3, 17, 18, 19, 20}, false, false), "voices 3, 17-20");
  EXPECT_EQ(with({}, true, false), "the bank name");
  EXPECT_EQ(with({48, 1}, true, false), "the bank name and voices 1, 48");
  // Every bit of a voice counts: an operator switched off, a free bit.
  for (const auto& [offset, bit] : {std::pair{11, 0x08}, std::pair{16, 0x80}, std::pair{63, 1}}) {
    bank::BankData b = a;
    b.voices[4][static_cast<std::size_t>(offset)] ^= static_cast<std::uint8_t>(bit);
    EXPECT_EQ(bank::bank_differences(a, b), "voice 5") << offset;
  }
}

TEST(Port, CommandLineValuesAreStrict) {
  struct Row {
    std::vector<const char*> args;
    bool ok;
  };
  const Row rows[] = {
      {{"send", "-s3", "-b", "1", "--gap", "40", "--tries=2", "/dev/x", "f.txt", "-w"}, true},
      {{"receive", "--timeout=60", "-b6", "hw:1,0", "-"}, true},
      {{"send", "/dev/x", "--", "-f.txt"}, true},
      {{"ports"}, true},
      {{"--version"}, true},
      {{"send", "-s16", "p", "f"}, false},
      {{"send", "-s", "+3", "p", "f"}, false},
      {{"send", "-s3x", "p", "f"}, false},
      {{"send", "-b7", "p", "f"}, false},
      {{"send", "--gap", "19", "p", "f"}, false},
      {{"send", "--gap=10001", "p", "f"}, false},
      {{"send", "--tries", "0", "p", "f"}, false},
      {{"send", "--timeout", "61", "p", "f"}, false},
      {{"send", "--timeout"}, false},
      {{"receive", "-w", "p", "f"}, false},
      {{"receive", "--no-verify", "p", "f"}, false},
      {{"receive", "--gap", "40", "p", "f"}, false},
      {{"send", "-x", "p", "f"}, false},
      {{"send", "p"}, false},
      {{"send", "p", "f", "g"}, false},
      {{"ports", "extra"}, false},
      {{"fetch", "p", "f"}, false},
      {{}, false},
  };
  for (const Row& row : rows) {
    std::vector<const char*> argv{"syxport"};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    const auto options = bank::parse_port_options(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(options.has_value(), row.ok)
        << (row.args.empty() ? "" : row.args[0]) << " " << row.args.size();
  }
  const char* argv[] = {"syxport", "send", "-s", "3", "--gap=40", "--no-verify", "p", "f"};
  const auto options = bank::parse_port_options(8, argv);
  ASSERT_TRUE(options);
  EXPECT_EQ(options->system_number, 3);
  EXPECT_EQ(options->gap_ms, 40);
  EXPECT_FALSE(options->verify);
  EXPECT_EQ(options->port, "p");
  EXPECT_EQ(options->file, "f");
}

TEST(Port, OnlyCharacterDevicesArePorts) {
  const std::string dir = testing_support::make_temp_dir();
  testing_support::write_file(dir + "/file", "x");
  EXPECT_EQ(bank::open_port(dir + "/file", true).fault, bank::PortFault::not_a_port);
  EXPECT_EQ(bank::open_port(dir, true).fault, bank::PortFault::not_a_port);
  const bank::PortOpening missing = bank::open_port(dir + "/none", true);
  EXPECT_EQ(missing.fault, bank::PortFault::cannot_open);
  EXPECT_EQ(missing.error, ENOENT);
  EXPECT_EQ(bank::open_port("hw:99,0", true).fault, bank::PortFault::cannot_open);
  EXPECT_EQ(testing_support::read_file(dir + "/file"), "x");
  testing_support::remove_tree(dir);
}

}  // namespace
