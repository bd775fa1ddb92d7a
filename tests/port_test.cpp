// syxport's transfers in process against the instrument model on a clock
// the test moves; the device code on a pseudo-terminal; the files sent, the
// command line and the comparison of banks.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compiler/dump_builder.h"
#include "text/text_compile.h"
#include "dump_fixtures.h"
#include "system/input_stream.h"
#include "formats/bank_kind.h"
#include "formats/field_layout.h"
#include "formats/midi_writer.h"
#include "formats/packet_schedule.h"
#include "lister/list_dump.h"
#include "memory_port.h"
#include "port/message_file.h"
#include "port/cancel.h"
#include "port/device.h"
#include "port/options.h"
#include "port/rtmidi_hosts.h"
#include "port/audition.h"
#include "port/file_watch.h"
#include "port/store.h"
#include "port/transfer.h"
#include "run_program.h"
#include "virtual_instrument.h"

namespace {

using namespace std::chrono_literals;
using bank::Outcome;
using bank::InstrumentModel;
using bank::InstrumentSettings;
using testing_support::MemoryPort;
using testing_support::TestClock;
using testing_support::VirtualInstrument;

std::vector<std::uint8_t> dump_of(const bank::BankData& data) {
  std::vector<std::uint8_t> dump(bank::kMessageSize);
  bank::encode_bank_dump(data, std::span<std::uint8_t, bank::kMessageSize>(dump));
  return dump;
}

// A bank sent, and received, as its kind.
bank::TransferResult send_bank(bank::Port& port, bank::Timekeeper& time, const bank::BankData& data,
                               const bank::TransferSettings& settings,
                               bank::TransferStatus& status) {
  return bank::send_message(port, time, bank::BankKind(data.bank_number), dump_of(data), settings,
                            status);
}

bank::TransferResult receive_bank(bank::Port& port, bank::Timekeeper& time, int n,
                                  const bank::TransferSettings& settings, bank::BankData& received,
                                  bank::TransferStatus& status) {
  bank::TransferResult result =
      bank::receive_message(port, time, bank::BankKind(n), settings, status);
  if (const auto data = bank::bank_of_dump(result.message)) received = *data;
  return result;
}

// What a transfer reported as it went.
class RecordedStatus final : public bank::TransferStatus {
 public:
  void packet_sent(int packet, int /*packet_count*/) override { packets = packet; }
  void bytes_received(std::uint64_t /*count*/, int /*expected*/) override {}
  void warning(const std::string& line) override { warnings += line; }
  void step_done() override {}
  int packets = 0;
  std::string warnings;
};

// A transfer in memory against the instrument model, on the test's clock.
struct Bench {
  explicit Bench(const InstrumentSettings& instrument, testing_support::PortFaults faults = {})
      : model(instrument), clock(cancel), port(model, clock, cancel, faults) {}
  bank::Cancel cancel;
  InstrumentModel model;
  TestClock clock;
  MemoryPort port;
  RecordedStatus status;
};

std::chrono::milliseconds ms(bank::Clock::duration d) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(d);
}

TEST(Transfer, SendAgainstEachBehaviourOfTheInstrumentAndThePort) {
  struct Row {
    const char* what;
    InstrumentSettings instrument;
    testing_support::PortFaults faults;
    int tries;  // 0: one send, not read back
    Outcome outcome;
    int sends;
    int stored;
    std::string detail;  // the first warning, the differences or the port's words
  };
  using I = InstrumentSettings;
  using F = testing_support::PortFaults;
  const std::string again = "Warning: the bank read back ";
  // clang-format off
  const Row rows[] = {
      {"the real pace", I{}, F{}, 3, Outcome::done, 1, 1, ""},
      {"a packet 80 ms late", I{}, F{.stall_send = 6, .stall = 80ms}, 3, Outcome::done, 1, 1, ""},
      {"a dropped first dump", I{.dropped_dumps = 1}, F{}, 3, Outcome::done, 2, 1,
       again + "differs from the bank sent in the bank name and voices 1-48; sending it again\n"},
      {"a gap it cannot take", I{.min_block_gap = 150ms}, F{}, 2, Outcome::differs, 2, 0,
       "the bank name and voices 1-48"},
      {"silence", I{.silent = true}, F{}, 3, Outcome::no_answer, 1, 1, ""},
      {"a status message", I{.status_code = 0x2A}, F{}, 3, Outcome::refused, 1, 1, ""},
      {"one damaged answer", I{.damaged_answers = 1}, F{}, 3, Outcome::done, 2, 2,
       again + "is damaged (Checksum error..); sending it again\n"},
      {"damaged answers", I{.damaged_answers = 10}, F{}, 2, Outcome::damaged, 2, 2, ""},
      {"an echo and active sensing", I{.active_sensing = true, .echo = true}, F{}, 3,
       Outcome::done, 1, 1, ""},
      {"another system number", I{.system_number = 5}, F{}, 3, Outcome::no_answer, 1, 0, ""},
      {"no verification", I{.silent = true}, F{}, 0, Outcome::done, 1, 1, ""},
      {"a port that fails in the dump", I{}, F{.fail_send = 10}, 3, Outcome::port_error, 1, 0,
       "Input/output error"},
      {"a port that fails in the answer", I{}, F{.fail_receive = 40}, 3, Outcome::port_error, 1,
       1, "Input/output error"},
      {"an interrupt in the dump", I{}, F{.cancel_after_send = 16}, 3, Outcome::interrupted, 1, 0,
       ""},
      {"an interrupt in the packet that opens the dump", I{}, F{.cancel_in_send = 2}, 3,
       Outcome::interrupted, 1, 0, ""},
      {"a late packet on a port that is not drained", I{},
       F{.late_wake = 6, .stall = 80ms, .undrained = true}, 3, Outcome::done, 1, 1, ""},
  };
  // clang-format on
  bank::BankData data = bank::sample_bank(4);
  data.bank_number = 0;
  constexpr int packet_count = 2 + bank::kVoiceCount;  // protect off, the name, the voices
  for (const Row& row : rows) {
    Bench bench(row.instrument, row.faults);
    bank::TransferSettings settings;
    settings.tries = std::max(row.tries, 1);
    settings.verify = row.tries > 0;
    const auto started = bench.clock.now();
    const bank::TransferResult result =
        send_bank(bench.port, bench.clock, data, settings, bench.status);
    EXPECT_EQ(result.outcome, row.outcome) << row.what;
    EXPECT_EQ(result.sends, row.sends) << row.what;
    EXPECT_EQ(bench.model.dumps_stored(), row.stored) << row.what;
    EXPECT_EQ(bench.model.spoken_over(), 0) << row.what;  // never asked while it talks
    if (row.outcome == Outcome::done) {
      EXPECT_EQ(bench.status.warnings, row.detail) << row.what;
      EXPECT_EQ(bench.model.bank(0).voices, data.voices) << row.what;
      // Every gap the schedule gives is kept, however late a packet left.
      EXPECT_GE(ms(bench.model.least_block_gap()).count(), 117) << row.what;
    }
    if (row.outcome == Outcome::differs) {
      EXPECT_EQ(result.differences, row.detail) << row.what;
    }
    if (row.outcome == Outcome::port_error) {
      EXPECT_EQ(result.port_words, row.detail) << row.what;
    }
    if (row.outcome == Outcome::refused) {
      EXPECT_EQ(result.status_code, 0x2A) << row.what;
    }
    if (row.outcome == Outcome::damaged) {
      EXPECT_EQ(result.fault, bank::BankFault::checksum) << row.what;
    }
    const std::vector<std::uint8_t> received = bench.model.received();
    if (row.outcome == Outcome::interrupted || row.faults.fail_send != 0) {
      // The open dump is closed with F7, and the rest is not sent.
      ASSERT_FALSE(received.empty()) << row.what;
      EXPECT_EQ(received.back(), bank::kSysExEnd) << row.what;
      EXPECT_LT(bench.status.packets, packet_count) << row.what;
    }
    if (row.what == std::string("a packet 80 ms late")) {
      // The stall delays the rest: the schedule, the settling and the
      // answer at MIDI's rate, and the stall on top.
      const auto took = ms(bench.clock.now() - started).count();
      EXPECT_GE(took, 300 + 48 * 160 + 1000 + 2036 + 80) << row.what;
      EXPECT_LE(took, 300 + 48 * 160 + 1000 + 2036 + 80 + 100) << row.what;
    }
  }
}

TEST(Transfer, ReceiveFetchesEveryBankWhateverComesAroundIt) {
  InstrumentSettings noisy;
  noisy.echo = true;
  noisy.active_sensing = true;
  noisy.system_number = 9;
  noisy.damaged_answers = 1;
  Bench bench(noisy);
  bank::TransferSettings settings;
  settings.system_number = 9;
  // A second of silence is enough however long the answer takes.
  settings.timeout = 1s;
  for (int n = 0; n <= 6; ++n) {
    bank::BankData received;
    const std::string warned = bench.status.warnings;
    const bank::TransferResult result =
        receive_bank(bench.port, bench.clock, n, settings, received, bench.status);
    ASSERT_EQ(result.outcome, Outcome::done) << n;
    // The first answer was damaged and requested again once it had ended.
    EXPECT_EQ(result.sends, n == 0 ? 2 : 1) << n;
    EXPECT_EQ(bench.status.warnings == warned, n != 0) << n;
    bank::BankData held = bench.model.bank(n);
    held.system_number = 9;
    EXPECT_EQ(dump_of(received), dump_of(held)) << n;
  }
  EXPECT_EQ(bench.model.spoken_over(), 0);
  // An instrument three times slower than MIDI is still waited for.
  InstrumentSettings slow;
  slow.bytes_per_second = 1000;
  slow.system_number = 9;
  Bench slow_bench(slow);
  bank::BankData received;
  EXPECT_EQ(receive_bank(slow_bench.port, slow_bench.clock, 1, settings, received,
                               slow_bench.status)
                .outcome,
            Outcome::done);
}

// A configuration stored against each way the instrument takes one, read
// back to prove it; and fetched, a damaged answer asked for again.
TEST(Transfer, ConfigurationsGoByTheRouteTheInstrumentTakes) {
  struct Row {
    const char* what;
    InstrumentSettings instrument;
    int memory;
    Outcome outcome;
    bank::ConfigRoute route;
    std::optional<bank::ConfigRoute> known{};  // found by a store before
  };
  using I = InstrumentSettings;
  using R = bank::ConfigRoute;
  // clang-format off
  const Row rows[] = {
      {"the current one", I{}, bank::kCurrentConfig, Outcome::done, R::dump},
      {"a memory, by its dump", I{}, 4, Outcome::done, R::dump},
      {"a memory, by way of the current one", I{.stores_memory_dumps = false}, 15,
       Outcome::done, R::store},
      {"a memory it will not store", I{.stores_memory_dumps = false, .stores_current_config = false},
       4, Outcome::differs, R::store},
      {"a memory, a damaged answer first", I{.damaged_answers = 1}, 4, Outcome::done, R::dump},
      {"a memory by the route found before", I{.stores_memory_dumps = false}, 2, Outcome::done,
       R::store, R::store},
      {"the current one after a memory took the other route", I{.stores_memory_dumps = false},
       bank::kCurrentConfig, Outcome::done, R::dump, R::store},
  };
  // clang-format on
  for (const Row& row : rows) {
    Bench bench(row.instrument);
    bank::StoredMessage message;
    message.form = bank::StoredMessage::Form::config;
    message.config = bank::sample_config(7);
    message.config.memory = row.memory;
    const bank::StoreResult stored =
        bank::store_message(bench.port, bench.clock, message, bank::TransferSettings{},
                            bench.status, row.known);
    EXPECT_EQ(stored.result.outcome, row.outcome) << row.what;
    EXPECT_EQ(stored.route, row.route) << row.what;
    EXPECT_EQ(bench.model.config(row.memory).bytes == message.config.bytes,
              row.outcome == Outcome::done)
        << row.what;
    EXPECT_EQ(bench.model.spoken_over(), 0) << row.what;
    // A route found before is taken alone: one dump or one store message.
    if (row.known) {
      EXPECT_EQ(bench.model.dumps_stored(), row.memory == bank::kCurrentConfig ? 1 : 2);
    }
  }
  InstrumentSettings noisy{.active_sensing = true, .damaged_answers = 1, .echo = true};
  Bench bench(noisy);
  for (const int memory : {19, bank::kCurrentConfig}) {
    const bank::TransferResult result = bank::receive_message(
        bench.port, bench.clock, bank::ConfigKind(memory), bank::TransferSettings{}, bench.status);
    ASSERT_EQ(result.outcome, Outcome::done) << memory;
    const std::optional<bank::ConfigData> got = bank::config_of_dump(result.message);
    ASSERT_TRUE(got) << memory;
    EXPECT_EQ(got->bytes, bench.model.config(memory).bytes) << memory;
  }
  EXPECT_EQ(bench.status.warnings,
            "Warning: the configuration from the instrument is damaged (Checksum error..); "
            "requesting it again\n");
}

// A watch the test drives: each save writes the next text of the file.
class ScriptedWatch final : public bank::FileWatch {
 public:
  ScriptedWatch(std::string path, std::vector<std::string> saves)
      : path_(std::move(path)), saves_(std::move(saves)) {}
  bool next_save() override {
    if (next_ == saves_.size()) return false;  // as an interrupt ends a watch
    testing_support::write_file(path_, saves_[next_++]);
    return true;
  }

 private:
  std::string path_;
  std::vector<std::string> saves_;
  std::size_t next_ = 0;
};

class RecordedReport final : public bank::AuditionReport {
 public:
  void sent(const std::string& line) override { lines += line; }
  void said(const std::string& text) override { lines += text; }
  std::string lines;
};

// `text` with value `column` (from 0) of the `keyword` line of voice `voice`
// set to `value`.
std::string with_value(std::string text, int voice, const std::string& keyword, int column,
                       int value) {
  char header[8];
  std::snprintf(header, sizeof header, "@%02d:", voice);
  const std::size_t line = text.find("\n" + keyword, text.find(header)) + 1 + keyword.size();
  std::size_t at = line;
  for (int c = 0; c <= column; ++c) at = text.find_first_not_of(' ', text.find(' ', at));
  char digits[4];
  std::snprintf(digits, sizeof digits, "%03d", value);
  return text.replace(at, 3, digits);
}

// A voice heard: the instrument's channel and notes from its current
// configuration, the voice into its buffer, the test note; and a watch
// that sends again what each save changed.
TEST(Audition, SendsWhatTheSaveChangedOnTheInstrumentsChannel) {
  Bench bench(InstrumentSettings{.bytes_per_second = 0});
  bank::AuditionSettings settings;
  settings.instrument = 2;
  settings.note = 60;
  bank::TransferResult asked;
  const bank::InstrumentPlace place =
      bank::find_instrument(bench.port, bench.clock, settings, bench.status, asked);
  const auto& current = bench.model.config(bank::kCurrentConfig).bytes;
  ASSERT_TRUE(place.known);
  EXPECT_EQ(place.channel, current[32 + 2 * 16 + 1] & 0x0F);
  EXPECT_EQ(place.notes, current[32 + 2 * 16]);
  Bench silent(InstrumentSettings{.silent = true});
  EXPECT_FALSE(bank::find_instrument(silent.port, silent.clock, settings, silent.status, asked)
                   .known);

  const std::string dir = testing_support::make_temp_dir();
  const std::string file = dir + "/bank.txt";
  const std::string first = testing_support::read_file(EXAMPLE_TEXT_PATH);
  testing_support::write_file(file, first);
  const bank::AuditionFile start = bank::read_audition_file(file.c_str());
  ASSERT_TRUE(start.ok) << start.said;
  bool sounding = false;
  const auto before = bench.clock.now();
  ASSERT_EQ(bank::send_voice(bench.port, start.bank.voices[6], settings).state,
            bank::PortState::ok);
  ASSERT_EQ(bank::play_test_note(bench.port, bench.clock, settings, place.channel, sounding).state,
            bank::PortState::ok);
  EXPECT_EQ(bench.model.buffer(2), start.bank.voices[6]);
  const auto& notes = bench.model.notes();
  ASSERT_EQ(notes.size(), 2U);
  EXPECT_EQ(notes[0].key, 60);
  EXPECT_EQ(notes[0].velocity, 100);
  EXPECT_EQ(notes[0].channel, place.channel);
  EXPECT_EQ(notes[1].velocity, 0);
  EXPECT_GE(ms(notes[1].at - notes[0].at).count(), 500);
  EXPECT_FALSE(sounding);
  EXPECT_GE(ms(bench.clock.now() - before).count(), 500);

  // A save that changes a value, a broken one, one that changes two
  // voices, one that changes none.
  const std::string tl = with_value(first, 5, "OP2:", 1, 99);
  const std::string two = with_value(with_value(tl, 12, "FNC:", 1, 77), 9, "VOI:", 2, 13);
  settings.note.reset();
  RecordedReport report;
  ScriptedWatch watch(file, {tl, "FB-01:x\n@1: A\nLFO: 1 2\n", two, two});
  EXPECT_EQ(bank::keep_auditioning(bench.port, bench.clock, watch, file.c_str(), std::nullopt,
                                   start, settings, place.channel, report, sounding)
                .state,
            bank::PortState::ok);
  const bank::AuditionFile last = bank::read_audition_file(file.c_str());
  const std::string channel = std::to_string(place.channel + 1);
  EXPECT_EQ(report.lines,
            "Voice 5 \"" + std::string(last.bank.voices[4].begin(), last.bank.voices[4].begin() + 7) +
                "\" sent to instrument 3 (MIDI channel " + channel + "): OP2 TL " +
                std::to_string(bank::unpack_field(
                    bank::operator_data(std::span<const std::uint8_t, 64>(start.bank.voices[4]), 1),
                    bank::operator_field_layout(bank::OperatorField::TL))) +
                " -> 99\n"
                "Error in line 3: LFO definition is wrong\n"
                "Voice 9 \"" + std::string(last.bank.voices[8].begin(), last.bank.voices[8].begin() + 7) +
                "\" sent to instrument 3 (MIDI channel " + channel + "): TRANS " +
                std::to_string(bank::unpack_field(start.bank.voices[8],
                                                  bank::voice_field_layout(bank::VoiceField::TRANS))) +
                " -> 13; voice 12 changed too\n");
  EXPECT_EQ(bench.model.buffer(2), last.bank.voices[8]);
  EXPECT_EQ(bench.model.notes().size(), 2U);  // no note asked for
  testing_support::remove_tree(dir);

  bank::VoiceData more = start.bank.voices[0];
  for (const std::size_t byte : {20U, 28U, 36U, 44U, 52U}) more[byte] ^= 0x01;
  EXPECT_EQ(bank::voice_changes(start.bank.voices[0], more, 2).find(" and 3 more"),
            bank::voice_changes(start.bank.voices[0], more, 2).size() - 11);
}

// A clock whose waits end at once, with what the test does to the file
// while each wait lasts.
class ScriptedTime final : public bank::Timekeeper {
 public:
  explicit ScriptedTime(std::vector<std::function<void()>> during) : during_(std::move(during)) {}
  bank::Clock::time_point now() override { return now_; }
  bool wait_until(bank::Clock::time_point deadline) override {
    if (waits_ == during_.size()) return false;  // an interrupt
    if (during_[waits_]) during_[waits_]();
    ++waits_;
    now_ = std::max(now_, deadline);
    return true;
  }
  std::size_t waits_ = 0;

 private:
  std::vector<std::function<void()>> during_;
  bank::Clock::time_point now_{};
};

// A save is seen once the file has stopped changing, through an editor's
// rename and a file deleted and written again.
TEST(Audition, TheWatchSeesEachSaveOnceItIsWhole) {
  const std::string dir = testing_support::make_temp_dir();
  const std::string file = dir + "/bank.txt";
  testing_support::write_file(file, "one");
  const auto write = [&](const std::string& bytes) {
    return [&file, bytes] { testing_support::write_file(file, bytes); };
  };
  const auto rename_over = [&] {
    testing_support::write_file(dir + "/new", "three, renamed over");
    std::filesystem::rename(dir + "/new", file);
  };
  const auto remove = [&] { std::filesystem::remove(file); };
  ScriptedTime time({nullptr, write("tw"), write("two, written in two goes"), nullptr,
                     rename_over, nullptr, remove, nullptr, write("four"), nullptr});
  bank::PollingWatch watch(file, time, bank::file_state(file));
  std::vector<std::string> seen;
  while (watch.next_save()) seen.push_back(testing_support::read_file(file));
  EXPECT_EQ(seen, (std::vector<std::string>{"two, written in two goes", "three, renamed over",
                                            "four"}));
  testing_support::remove_tree(dir);
}

// The silence that ends the wait for an answer is silence in System
// Exclusive bytes: what else comes (real-time bytes, a flood) does not keep
// it waiting, and an interrupt ends it whatever comes.
TEST(Transfer, TheWaitForAnAnswerEndsOnItsSilenceWhateverElseComes) {
  struct Row {
    const char* what;
    InstrumentSettings instrument;
    testing_support::PortFaults faults;
    Outcome outcome;
  };
  using I = InstrumentSettings;
  // clang-format off
  const Row rows[] = {
      {"active sensing", I{.silent = true, .tick = 0xFE, .tick_every = 300ms}, {}, Outcome::no_answer},
      {"clock", I{.silent = true, .tick = 0xF8, .tick_every = 20ms}, {}, Outcome::no_answer},
      {"a flood of zeros", I{.silent = true, .tick = 0x00, .tick_every = 320us}, {},
       Outcome::no_answer},
      {"an answer among clock bytes", I{.tick = 0xF8, .tick_every = 20ms}, {}, Outcome::done},
      {"an interrupt in a flood", I{.silent = true, .tick = 0x00, .tick_every = 320us},
       {.cancel_after_receive = 500}, Outcome::interrupted},
      {"an interrupt in the answer", I{}, {.cancel_after_receive = 20}, Outcome::interrupted},
  };
  // clang-format on
  bank::TransferSettings settings;
  settings.timeout = 1s;
  for (const Row& row : rows) {
    Bench bench(row.instrument, row.faults);
    bank::BankData received;
    const auto started = bench.clock.now();
    const bank::TransferResult result =
        receive_bank(bench.port, bench.clock, 1, settings, received, bench.status);
    EXPECT_EQ(result.outcome, row.outcome) << row.what;
    EXPECT_EQ(bench.model.requests(), 1) << row.what;
    // No longer than the timeout, or the answer at MIDI's rate.
    EXPECT_LE(ms(bench.clock.now() - started).count(), 1000 + 2100) << row.what;
  }
}

// The device code on a pseudo-terminal: what only a real descriptor shows.
TEST(Device, RawModeDrainDeadlineRealTimeBytesAndTheEnd) {
  InstrumentSettings at_once;
  at_once.bytes_per_second = 0;
  VirtualInstrument instrument(at_once);
  const auto settings_of = [&instrument] {
    termios t{};
    tcgetattr(instrument.slave_fd(), &t);
    return t;
  };
  const termios before = settings_of();
  bank::Cancel cancel;
  bank::PortOpening opening = bank::open_port(instrument.port(), true, cancel);
  ASSERT_EQ(opening.fault, bank::PortFault::none);
  bank::Port& port = *opening.port;
  const termios raw = settings_of();
  EXPECT_EQ(raw.c_lflag & (ECHO | ICANON), 0U);
  EXPECT_EQ(raw.c_oflag & OPOST, 0U);
  // Bytes sent are drained and arrive untranslated.
  const std::vector<std::uint8_t> bytes{0xF0, 0x0A, 0x0D, 0x7F, 0xF7};
  EXPECT_EQ(port.send(bytes).state, bank::PortState::ok);
  EXPECT_TRUE(instrument.wait_for([&](const auto& m) { return m.received() == bytes; }, 2s));
  // Real-time bytes and line ends come through as they are.
  const std::vector<std::uint8_t> incoming{0xFE, 0x0D, 0x0A, 0xF8, 0x03};
  instrument.inject(incoming);
  std::vector<std::uint8_t> got;
  std::array<std::uint8_t, 16> room{};
  while (got.size() < incoming.size()) {
    const bank::PortResult read = port.receive(room, bank::Clock::now() + 2s);
    ASSERT_EQ(read.state, bank::PortState::ok);
    got.insert(got.end(), room.begin(), room.begin() + static_cast<std::ptrdiff_t>(read.count));
  }
  EXPECT_EQ(got, incoming);
  // Nothing before the deadline.
  const auto asked = bank::Clock::now();
  EXPECT_EQ(port.receive(room, asked + 50ms).state, bank::PortState::deadline);
  EXPECT_GE(bank::Clock::now() - asked, 50ms);
  // A cancel ends a read at once, even with bytes waiting.
  instrument.inject(incoming);
  cancel.cancel();
  EXPECT_EQ(port.receive(room, bank::Clock::now() + 60s).state, bank::PortState::cancelled);
  EXPECT_EQ(port.close().state, bank::PortState::ok);
  const termios after = settings_of();
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
  // A port whose far end is gone fails at once with the system's words.
  bank::Cancel fresh;
  bank::PortOpening again = bank::open_port(instrument.port(), true, fresh);
  ASSERT_EQ(again.fault, bank::PortFault::none);
  instrument.hang_up();
  const bank::PortResult ended = again.port->receive(room, bank::Clock::now() + 60s);
  EXPECT_EQ(ended.state, bank::PortState::failed);
  EXPECT_FALSE(ended.words.empty());
  // So does a device that has no data at all.
  bank::PortOpening null = bank::open_port("/dev/null", true, fresh);
  ASSERT_EQ(null.fault, bank::PortFault::none);
  EXPECT_EQ(null.port->discard_input().words, "the port reported its end");
}

// The interrupts set the cancel while it lives and do what they did before
// once it ends; without the pipe that wakes the waits, the flag still
// carries the cancel.
TEST(Cancel, InterruptsWhileItLivesAndWithoutItsPipe) {
  struct sigaction before {};
  sigaction(SIGTERM, nullptr, &before);
  {
    bank::Cancel cancel;
    bank::cancel_on_interrupts(cancel);
    ::raise(SIGTERM);
    EXPECT_TRUE(cancel.cancelled());
  }
  struct sigaction after {};
  sigaction(SIGTERM, nullptr, &after);
  EXPECT_EQ(after.sa_handler, before.sa_handler);
  // No descriptor left for the pipe.
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
  const int lowest_free = ::dup(0);
  ::close(lowest_free);
  rlimit tight = limit;
  tight.rlim_cur = static_cast<rlim_t>(lowest_free);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
  auto piped = std::make_unique<bank::Cancel>();
  ::setrlimit(RLIMIT_NOFILE, &limit);
  EXPECT_LT(piped->wake_fd(), 0);
  bank::cancel_on_interrupts(*piped);
  ::raise(SIGINT);
  EXPECT_TRUE(piped->cancelled());
  bank::SystemTimekeeper time(*piped);
  EXPECT_FALSE(time.wait_until(bank::Clock::now() + 60s));
}

TEST(Port, FilesToSendAreToldByTheirFirstBytes) {
  const std::string dir = testing_support::make_temp_dir();
  bank::BankData data = bank::sample_bank(2);
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
    const bank::MessageToSend file =
        bank::read_message_to_send(path.c_str(), true, row.system, row.bank, {});
    EXPECT_EQ(file.said, row.messages) << row.name;
    if (!row.dump.empty()) {
      ASSERT_TRUE(file.ok) << row.name;
      EXPECT_EQ(dump_of(file.message.bank), row.dump) << row.name;
    }
  }
  const bank::MessageToSend rom_file =
      bank::read_message_to_send((dir + "/rom.syx").c_str(), false, {}, {}, {});
  EXPECT_EQ(rom_file.message.bank.bank_number, 3);
  testing_support::remove_tree(dir);
}

TEST(Port, BankDifferencesNameWhatDiffers) {
  const bank::BankData a = bank::sample_bank(1);
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

TEST(Port, CommandLineValuesAreStrictAndSayWhy) {
  struct Row {
    std::vector<const char*> args;
    std::string error;  // empty: accepted
  };
  const std::string range = " is outside its range, ";
  // clang-format off
  const Row rows[] = {
      {{"send", "-s3", "-b", "1", "--gap", "40", "--tries=2", "/dev/x", "f.txt", "-w"}, ""},
      {{"receive", "--timeout=60", "-b6", "hw:1,0", "-"}, ""},
      {{"send", "/dev/x", "--", "-f.txt"}, ""},
      {{"ports"}, ""},
      {{"--version"}, ""},
      {{"send", "-s16", "p", "f"}, "Error: -s 16" + range + "0 to 15\n"},
      {{"send", "-s", "+3", "p", "f"}, "Error: -s +3 is not a whole number from 0 to 15\n"},
      {{"send", "-s3x", "p", "f"}, "Error: -s 3x is not a whole number from 0 to 15\n"},
      {{"send", "--tries", "99999999999999999999", "p", "f"},
       "Error: --tries 99999999999999999999" + range + "1 to 10\n"},
      {{"send", "-b7", "p", "f"}, "Error: -b 7" + range + "0 to 6\n"},
      {{"send", "--gap", "5", "p", "f"}, "Error: --gap 5" + range + "20 to 10000\n"},
      {{"send", "--gap=10001", "p", "f"}, "Error: --gap 10001" + range + "20 to 10000\n"},
      {{"send", "--tries", "0", "p", "f"}, "Error: --tries 0" + range + "1 to 10\n"},
      {{"send", "--timeout", "61", "p", "f"}, "Error: --timeout 61" + range + "1 to 60\n"},
      {{"send", "--timeout"}, "Error: --timeout needs a number from 1 to 60\n"},
      {{"receive", "-w", "p", "f"}, "Error: -w is not for receive\n"},
      {{"receive", "--no-verify", "p", "f"}, "Error: --no-verify is for send only\n"},
      {{"restore", "--no-verify", "p", "f"}, "Error: --no-verify is for send only\n"},
      {{"receive", "--gap", "40", "p", "f"}, "Error: --gap is not for receive\n"},
      {{"backup", "-b1", "p", "f.syx"}, "Error: -b is not for backup\n"},
      {{"restore", "-c", "3", "p", "f.syx"}, "Error: -c is not for restore\n"},
      {{"receive", "-c21", "p", "f"}, "Error: -c 21" + range + "0 to 20\n"},
      {{"send", "-b1", "-c2", "p", "f"}, "Error: -b and -c name two kinds of message: give one\n"},
      {{"restore", "-w", "--gap", "40", "-s2", "p", "f.mid"}, ""},
      {{"send", "--help"}, "Error: --help stands alone: syxport --help\n"},
      {{"send", "-x", "p", "f"}, "Error: unknown option -x\n"},
      {{"send", "p"}, "Error: send takes a PORT and a FILE\n"},
      {{"receive", "p", "f", "g"}, "Error: receive takes a PORT and a FILE\n"},
      {{"ports", "extra"}, "Error: ports takes no operand\n"},
      {{"fetch", "p", "f"},
       "Error: unknown command fetch; give send, receive, backup, restore, audition, ports or "
       "virtual\n"},
      {{"audition", "-i", "3", "--note", "60", "--watch", "p", "f", "48"}, ""},
      {{"audition", "p", "f", "49"}, "Error: VOICE 49" + range + "1 to 48\n"},
      {{"audition", "p", "f", "7x"}, "Error: VOICE 7x is not a whole number from 1 to 48\n"},
      {{"audition", "p"}, "Error: audition takes a PORT, a FILE and a VOICE or none\n"},
      {{"audition", "--channel", "17", "p", "f"}, "Error: --channel 17" + range + "1 to 16\n"},
      {{"send", "--watch", "p", "f"}, "Error: --watch is not for send\n"},
      {{"receive", "-i2", "p", "f"}, "Error: -i is not for receive\n"},
      {{"virtual", "p"}, "Error: virtual takes no operand\n"},
  };
  // clang-format on
  for (const Row& row : rows) {
    std::vector<const char*> argv{"syxport"};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    const bank::PortCommandLine parsed =
        bank::parse_port_options(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(parsed.options.has_value(), row.error.empty()) << row.args[0] << row.error;
    EXPECT_EQ(parsed.error, row.error);
  }
  const char* no_args[] = {"syxport"};
  EXPECT_FALSE(bank::parse_port_options(1, no_args).options);
  const char* argv[] = {"syxport", "send", "-s", "3", "--gap=40", "--no-verify", "p", "f"};
  const auto options = bank::parse_port_options(8, argv).options;
  ASSERT_TRUE(options);
  EXPECT_EQ(options->system_number, 3);
  EXPECT_EQ(options->gap_ms, 40);
  EXPECT_EQ(options->tries, 3);
  EXPECT_FALSE(options->verify);
  EXPECT_EQ(options->port, "p");
  EXPECT_EQ(options->file, "f");
}

TEST(Port, OnlyCharacterDevicesArePorts) {
  const std::string dir = testing_support::make_temp_dir();
  testing_support::write_file(dir + "/file", "x");
  bank::Cancel cancel;
  EXPECT_EQ(bank::open_port(dir + "/file", true, cancel).fault, bank::PortFault::not_a_port);
  EXPECT_EQ(bank::open_port(dir, true, cancel).fault, bank::PortFault::not_a_port);
  const bank::PortOpening missing = bank::open_port(dir + "/none", true, cancel);
  EXPECT_EQ(missing.fault, bank::PortFault::cannot_open);
  EXPECT_EQ(missing.words, std::strerror(ENOENT));
  EXPECT_EQ(bank::open_port("hw:99,0", true, cancel).fault, bank::PortFault::cannot_open);
  EXPECT_EQ(testing_support::read_file(dir + "/file"), "x");
  testing_support::remove_tree(dir);
}

// A name picks the pair of a host's ports that reaches the instrument, or
// says why it cannot; each port is listed by the name that opens it.
TEST(HostPorts, ANamePicksThePairOrSaysWhy) {
  using bank::PortFault;
  struct Lists {
    const bank::RtMidiHost& host;
    std::vector<std::string> outputs, inputs;
  };
  const Lists jack{bank::kJackHost, {"fb01:in", "two:a", "two:b"}, {"fb01:out", "two:c"}};
  const Lists alsa{bank::kSequencerHost, {"Thru:Thru 0 14:0", "UM-ONE:UM-ONE MIDI 1 20:0"},
                   {"Thru:Thru 0 14:0", "UM-ONE:UM-ONE MIDI 1 20:0"}};
  const Lists core{bank::kCoreMidiHost, {"UM-ONE", "IAC Bus 1"}, {"UM-ONE"}};
  const auto ports = [](const Lists& l, const std::vector<std::string>& names) {
    std::vector<bank::HostPort> found;
    for (const std::string& name : names) found.push_back(bank::host_port_of(l.host, name));
    return found;
  };
  struct Row {
    const Lists& lists;
    std::string rest;
    std::optional<std::size_t> output, input;
    PortFault fault;
    std::string words;
  };
  const Row rows[] = {
      {jack, "two:a", 1, 1, PortFault::none, ""},
      {jack, "two", {}, {}, PortFault::ambiguous, "jack:two:a, jack:two:b"},
      {jack, "x:in", {}, {}, PortFault::no_such_port,
       "jack:fb01:in, jack:two:a, jack:two:b, jack:fb01:out, jack:two:c"},
      {alsa, "UM-ONE:UM-ONE MIDI 1", 1, 1, PortFault::none, ""},
      {alsa, "UM-ONE:0", 1, 1, PortFault::none, ""},
      {alsa, "14", 0, 0, PortFault::none, ""},
      {alsa, "20:1", {}, {}, PortFault::no_such_port, "seq:14:0, seq:20:0"},
      {core, "UM-ONE", 0, 0, PortFault::none, ""},
      {core, "IAC Bus 1", 1, {}, PortFault::one_way, "input"},
  };
  for (const Row& row : rows) {
    const bank::PortChoice choice = bank::choose_ports(
        row.lists.host, row.rest, ports(row.lists, row.lists.outputs),
        ports(row.lists, row.lists.inputs), true);
    EXPECT_EQ(choice.fault, row.fault) << row.rest;
    EXPECT_EQ(choice.words, row.words) << row.rest;
    EXPECT_TRUE(row.fault != PortFault::none ||
                (choice.output == row.output && choice.input == row.input))
        << row.rest;
  }
  std::string lines;
  for (const Lists* l : {&alsa, &core})
    for (const bank::PortInfo& p :
         bank::host_port_lines(l->host, ports(*l, l->outputs), ports(*l, l->inputs)))
      lines += p.id + "  " + p.name + "\n";
  EXPECT_EQ(lines,
            "seq:14:0  Thru:Thru 0 (ALSA sequencer; input and output)\n"
            "seq:20:0  UM-ONE:UM-ONE MIDI 1 (ALSA sequencer; input and output)\n"
            "coremidi:UM-ONE  UM-ONE (CoreMIDI; input and output)\n"
            "coremidi:IAC Bus 1  IAC Bus 1 (CoreMIDI; output only)\n");
}

// Each host gets pieces it passes on as they are (here of 4 bytes at most):
// every other message a piece of its own, a System Exclusive message's
// later parts of 3 bytes for CoreMIDI, and for the ALSA sequencer whole
// messages or nothing.
TEST(HostPorts, EachHostGetsPiecesItPassesOn) {
  using bank::PieceRule;
  using Bytes = std::vector<std::uint8_t>;
  struct Row {
    PieceRule rule;
    Bytes bytes;
    bool in_message;
    std::optional<std::vector<Bytes>> pieces;
  };
  const Row rows[] = {
      {PieceRule::any, {0xF0, 1, 2, 3, 4, 0xF7, 0xC0, 5, 0x90, 60}, false,
       {{{0xF0, 1, 2, 3}, {4, 0xF7}, {0xC0, 5}, {0x90, 60}}}},
      {PieceRule::short_parts, {1, 2, 3, 4, 0xF7, 0xF0, 1, 2}, true,
       {{{1, 2, 3}, {4, 0xF7}, {0xF0, 1, 2}}}},
      {PieceRule::whole_messages, {0xF0, 1, 2, 3, 4, 0xF7}, false, {{{0xF0, 1, 2, 3, 4, 0xF7}}}},
      {PieceRule::whole_messages, {0xF0, 1, 2}, false, std::nullopt},
      {PieceRule::whole_messages, {1, 2, 0xF7}, true, std::nullopt},
  };
  for (const Row& row : rows) {
    const auto pieces = bank::host_pieces(row.rule, row.bytes, row.in_message, 4);
    std::optional<std::vector<Bytes>> got;
    if (pieces) got.emplace();
    for (const auto piece : pieces.value_or(decltype(*pieces){}))
      got->emplace_back(piece.begin(), piece.end());
    EXPECT_EQ(got, row.pieces) << static_cast<int>(row.rule) << " " << row.bytes.size();
  }
}

}  // namespace
