// syxport: stores a bank or a configuration in the instrument through a
// MIDI port and reads it back to prove it arrived; fetches any bank or
// configuration from it into a .syx, a .mid or a text; backs up the whole
// instrument into one file and restores it; lists the raw MIDI ports.
//
// Errors, warnings and the progress line go to standard error; standard
// output gets the line that says what was stored (or sent), or the listing
// of what was received when FILE is "-". Every failure exits with 1,
// and nothing is sent on a failure found before the transfer.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "message_file.h"
#include "cancel.h"
#include "device.h"
#include "formats/bank_codec.h"
#include "formats/config_dump.h"
#include "system/file_services.h"
#include "system/fixed_text.h"
#include "lister/list_dump.h"
#include "options.h"
#include "audition.h"
#include "backup.h"
#include "file_watch.h"
#include "store.h"
#include "transfer.h"
#include "virtual_instrument.h"

namespace {

// The program's texts, kept word for word (see system/fixed_text.h).
constexpr std::string_view kUsage =
    "Usage: %s send [options] PORT FILE\n"
    "       %s receive [options] PORT FILE\n"
    "       %s backup [options] PORT FILE\n"
    "       %s restore [options] PORT FILE\n"
    "       %s audition [options] PORT FILE [VOICE]\n"
    "       %s ports\n"
    "       %s virtual\n";
#ifdef _WIN32
constexpr std::string_view kPorts =
    "\n"
    "PORT: a MIDI device by its number or name, as 'syxport ports' lists them.\n"
    "FILE: a bank or configuration text, a .syx dump or a MIDI file to send; for\n"
    "receive, a .syx, a .mid, - (standard output) or any other name for a text;\n"
    "for backup and restore, a .syx or a .mid holding the whole instrument.\n"
    "\n";
#else
constexpr std::string_view kPorts =
    "\n"
    "PORT: a raw MIDI device, serial port or pseudo-terminal by its path, or\n"
    "hw:C,D[,S], seq:CLIENT:PORT (the ALSA sequencer), jack:CLIENT:PORT or\n"
    "coremidi:NAME, as 'syxport ports' lists them. FILE: a bank or configuration\n"
    "text, a .syx dump or a MIDI file to send; for receive, a .syx, a .mid, -\n"
    "(standard output) or any other name for a text; for backup and restore, a\n"
    ".syx or a .mid holding the whole instrument.\n"
    "\n";
#endif
constexpr std::string_view kSeeManual = "See syxport(1).\n";
constexpr std::string_view kVersion = "syxport %s\n";
constexpr std::string_view kStored = "%s stored and verified\n";
constexpr std::string_view kStoredByCurrent =
    "%s stored and verified by way of the current configuration, which it now also is\n";
constexpr std::string_view kSent = "%s sent\n";
constexpr std::string_view kBackedUp =
    "Banks 0 and 1, configurations 1-20 and the current configuration written to %s\n";
constexpr std::string_view kNoPorts = "No MIDI ports found\n";
constexpr std::string_view kPortLine = "%s  %s\n";
constexpr std::string_view kCannotOpenPort = "Error: Cannot open port %s: %s\n";
constexpr std::string_view kBusyHolder = "; a sound server's MIDI bridge may hold it";
constexpr std::string_view kNotAPort = "Error: %s is not a MIDI port\n";
constexpr std::string_view kNoSuchPort = "Error: There is no MIDI port %s; the ports are: %s\n";
constexpr std::string_view kNoPortAtAll = "Error: There is no MIDI port %s; this system has none\n";
constexpr std::string_view kOneWay = "Error: The MIDI port %s has no %s\n";
constexpr std::string_view kAmbiguous = "Error: %s names more than one MIDI port: %s\n";
constexpr std::string_view kSeePorts = "'syxport ports' lists the MIDI ports of this system.\n";
constexpr std::string_view kNoHwNames =
    "Error: Cannot open port %s: hw: names need Linux's raw MIDI devices; give the "
    "device's path\n";
constexpr std::string_view kBankNotStorable =
    "Error: Bank %d cannot be stored; only banks 0 and 1 can\n"
    "Give -b0 or -b1 to store it in one of them.\n";
constexpr std::string_view kConfigNotStorable =
    "Error: Configuration %d cannot be stored; 17 to 20 are the instrument's presets\n"
    "Give -c0 for the current configuration, or -c1 to -c16 for a memory.\n";
constexpr std::string_view kBankOfConfig = "Error: %s holds a configuration: -b is for banks\n";
constexpr std::string_view kConfigOfBank =
    "Error: %s holds a bank: -c is for configurations\n";
constexpr std::string_view kNotBackupName =
    "Error: %s: a backup is a .syx or a .mid file\n";
constexpr std::string_view kNothingToRestore =
    "Error: %s holds nothing the instrument stores\n";
constexpr std::string_view kStoredBefore = "Stored before it: %s\n";
constexpr std::string_view kNothingStoredBefore = "Nothing was stored before it.\n";
constexpr std::string_view kChannelUnknown =
    "Warning: the current configuration did not come: instrument %d's MIDI channel is unknown\n";
constexpr std::string_view kNoNotes =
    "Warning: instrument %d has no notes in the current configuration and will not sound;\n"
    "give it some in a configuration text sent with syxport send, or on the panel\n";
constexpr std::string_view kNoteWithoutChannel =
    "Error: --note needs instrument %d's MIDI channel, which the configuration did not give: "
    "add --channel C\n";
constexpr std::string_view kVoiceOfSingle =
    "Error: %s holds a single voice: give no VOICE\n";
constexpr std::string_view kNoAnswer = "Error: No answer from the instrument on %s\n";
constexpr std::string_view kCheckAfterSend =
    "The %s may well have arrived: check that the instrument's MIDI OUT is connected to\n"
    "the port's input and that its system number is %d, or send with --no-verify.\n";
constexpr std::string_view kCheckAfterRequest =
    "Check that the instrument's MIDI OUT is connected to the port's input and that its\n"
    "system number is %d.\n";
constexpr std::string_view kRefused = "Error: The instrument refused the request (status 0x%02X)\n";
constexpr std::string_view kDamaged = "Error: The %s from the instrument is damaged: %s\n";
constexpr std::string_view kDiffers = "Error: The %s read back differs from the %s sent in %s\n";
constexpr std::string_view kLongerGap =
    "The instrument may have dropped the dump: try a longer --gap (it was %d ms).\n";
constexpr std::string_view kInterrupted = "Error: Interrupted\n";
constexpr std::string_view kVirtualPort = "%s\n";
constexpr std::string_view kVirtualHint =
    "A virtual instrument plays on %s until Ctrl-C: give that path as the PORT of\n"
    "syxport send and syxport receive in another terminal.\n";
constexpr std::string_view kNoTerminal = "Error: Cannot open a pseudo-terminal: %s\n";
#ifdef _WIN32
constexpr std::string_view kNoVirtual =
    "Error: virtual needs a POSIX system's pseudo-terminals\n";
#endif
constexpr std::string_view kPortFailed = "Error: The port %s failed: %s\n";

// The progress lines, drawn on a terminal and cleared when a step ends.
constexpr std::string_view kSendingProgress = "\rSending the %s: packet %d of %d ";
constexpr std::string_view kReceivingProgress = "\rReceiving the %s: %d of %d bytes ";
constexpr std::string_view kBackingUpProgress = "\rBacking up the instrument: %d of %d bytes ";
constexpr std::string_view kEndOfProgress = "\r                                          \r";

// A transfer's progress and warnings on standard error; the progress lines
// only when it is a terminal.
class StderrStatus : public bank::TransferStatus {
 public:
  StderrStatus() : progress_(::isatty(STDERR_FILENO) == 1) {}
  // What the progress lines name: "bank", "configuration".
  void name(std::string_view noun) { noun_ = noun; }
  void packet_sent(int packet, int packet_count) override {
    draw(kSendingProgress, {noun_, packet, packet_count});
  }
  void bytes_received(std::uint64_t count, int expected) override {
    draw(kReceivingProgress, {noun_, count, expected});
  }
  void warning(const std::string& line) override {
    step_done();
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
  }
  void step_done() override {
    if (progress_) bank::print_text(stderr, kEndOfProgress);
    std::fflush(stderr);
  }

  void draw(std::string_view text, std::initializer_list<bank::TextArg> args) const {
    if (!progress_) return;
    bank::print_text(stderr, text, args);
    std::fflush(stderr);
  }
 private:
  bool progress_;
  std::string_view noun_ = "bank";
};

// One progress line over a whole backup: each message's bytes counted
// after those of the messages before it.
class StderrBackupStatus final : public bank::BackupStatus {
 public:
  explicit StderrBackupStatus(std::uint64_t total) : total_(total) {}
  void packet_sent(int /*packet*/, int /*packet_count*/) override {}
  void bytes_received(std::uint64_t count, int /*expected*/) override {
    line_.draw(kBackingUpProgress, {before_ + count, total_});
  }
  void warning(const std::string& line) override { line_.warning(line); }
  void step_done() override {}  // the line stays until the backup ends
  void message_done(std::size_t size) override { before_ += size; }
  void finish() { line_.step_done(); }

 private:
  StderrStatus line_;
  std::uint64_t total_;
  std::uint64_t before_ = 0;
};

void print_usage(std::FILE* stream, const char* program) {
  bank::print_text(stream, kUsage, {program, program, program, program, program, program, program});
}

// The port opened, or its error printed.
std::unique_ptr<bank::Port> open_or_say(const std::string& name, bool with_input,
                                        const bank::Cancel& cancel, bool* output_only) {
  bank::PortOpening opening = bank::open_port(name, with_input, cancel);
  // Where the input is only wished for, a port without one opens for output.
  if (output_only != nullptr && opening.fault == bank::PortFault::one_way &&
      opening.words == "input") {
    opening = bank::open_port(name, false, cancel);
    *output_only = opening.fault == bank::PortFault::none;
  }
  switch (opening.fault) {
    case bank::PortFault::none: return std::move(opening.port);
    case bank::PortFault::not_a_port: bank::print_text(stderr, kNotAPort, {name}); break;
    case bank::PortFault::no_hw_names: bank::print_text(stderr, kNoHwNames, {name}); break;
    case bank::PortFault::no_such_port:
      bank::print_text(stderr, opening.words.empty() ? kNoPortAtAll : kNoSuchPort,
                       {name, opening.words});
      break;
    case bank::PortFault::one_way: bank::print_text(stderr, kOneWay, {name, opening.words}); break;
    case bank::PortFault::ambiguous:
      bank::print_text(stderr, kAmbiguous, {name, opening.words});
      break;
    case bank::PortFault::cannot_open: {
      std::string reason = opening.words;
      if (opening.busy) reason += kBusyHolder;
      bank::print_text(stderr, kCannotOpenPort, {name, reason});
      break;
    }
  }
  // The list names each port as it is given; a port refused by its
  // number or name is already followed by the list.
  if (opening.fault != bank::PortFault::no_such_port) bank::print_text(stderr, kSeePorts);
  return nullptr;
}

// The message of a transfer of `noun` ("bank", "configuration") that did
// not end well; the port's settings are restored by then.
void print_failure(const bank::TransferResult& result, const bank::PortOptions& options,
                   int system_number, std::string_view noun) {
  switch (result.outcome) {
    case bank::Outcome::done: break;
    case bank::Outcome::no_answer:
      bank::print_text(stderr, kNoAnswer, {options.port});
      if (options.verb == bank::Verb::send || options.verb == bank::Verb::restore)
        bank::print_text(stderr, kCheckAfterSend, {noun, system_number});
      else
        bank::print_text(stderr, kCheckAfterRequest, {system_number});
      break;
    case bank::Outcome::refused: bank::print_text(stderr, kRefused, {result.status_code}); break;
    case bank::Outcome::damaged:
      bank::print_text(stderr, kDamaged, {noun, bank::fault_words(result.fault)});
      break;
    case bank::Outcome::differs:
      bank::print_text(stderr, kDiffers, {noun, noun, result.differences});
      if (noun == "bank") bank::print_text(stderr, kLongerGap, {options.gap_ms});
      break;
    case bank::Outcome::port_error:
      bank::print_text(stderr, kPortFailed, {options.port, result.port_words});
      break;
    case bank::Outcome::interrupted: bank::print_text(stderr, kInterrupted); break;
  }
}

bank::TransferSettings settings_of(const bank::PortOptions& options, int system_number) {
  bank::TransferSettings settings;
  settings.system_number = system_number;
  settings.gap_ms = static_cast<std::uint32_t>(options.gap_ms);
  settings.tries = options.tries;
  settings.timeout = std::chrono::seconds(options.timeout_s);
  settings.verify = options.verify;
  return settings;
}

// Runs `transfer` on the port opened for it, with the interrupts caught
// before the port opens and the port given back as it was found before
// anything is said. False, with its error printed, when the port did not
// open. With `output_only` given, a port without an input is opened for
// output alone, and it says so.
template <typename Status, typename Transfer>
bool on_port(const bank::PortOptions& options, bool with_input, Status& status,
             bank::TransferResult& result, Transfer transfer, bool* output_only = nullptr) {
  bank::Cancel cancel;
  bank::cancel_on_interrupts(cancel);
  const std::unique_ptr<bank::Port> port =
      open_or_say(options.port, with_input, cancel, output_only);
  if (!port) return false;
  bank::SystemTimekeeper time(cancel);
  result = transfer(*port, time, status);
  const bank::PortResult closed = port->close();
  if (result.outcome == bank::Outcome::done && closed.state == bank::PortState::failed) {
    result.outcome = bank::Outcome::port_error;
    result.port_words = closed.words;
  }
  if (result.outcome == bank::Outcome::done && cancel.cancelled())
    result.outcome = bank::Outcome::interrupted;
  return true;
}

int system_of(const bank::StoredMessage& message) {
  return message.form == bank::StoredMessage::Form::bank ? message.bank.system_number
                                                         : message.config.system_number;
}

std::string_view noun_of(const bank::StoredMessage& message) {
  return message.form == bank::StoredMessage::Form::bank ? "bank" : "configuration";
}

// Why the instrument would not store `message`, said; false when it would.
bool refused_as_unstorable(const bank::StoredMessage& message) {
  if (bank::is_storable(message)) return false;
  if (message.form == bank::StoredMessage::Form::bank)
    bank::print_text(stderr, kBankNotStorable, {message.bank.bank_number});
  else
    bank::print_text(stderr, kConfigNotStorable, {message.config.memory + 1});
  return true;
}

// The line that says `message` is stored (or sent), by `route`.
void print_stored(const bank::StoredMessage& message, bool verified, bank::ConfigRoute route) {
  const std::string name = bank::message_name(message);
  if (!verified)
    bank::print_text(stdout, kSent, {name});
  else if (route == bank::ConfigRoute::store)
    bank::print_text(stdout, kStoredByCurrent, {name});
  else
    bank::print_text(stdout, kStored, {name});
}

int send(const bank::PortOptions& options) {
  const std::optional<int> memory =
      options.config_number ? std::optional<int>(*options.config_number - 1) : std::nullopt;
  bank::MessageToSend file = bank::read_message_to_send(
      options.file.c_str(), options.warnings, options.system_number, options.bank_number, memory);
  std::fwrite(file.said.data(), 1, file.said.size(), stderr);
  if (!file.ok) return 1;
  const bank::StoredMessage& message = file.message;
  const bool config = message.form == bank::StoredMessage::Form::config;
  if (config && options.bank_number) {
    bank::print_text(stderr, kBankOfConfig, {options.file});
    return 1;
  }
  if (!config && options.config_number) {
    bank::print_text(stderr, kConfigOfBank, {options.file});
    return 1;
  }
  if (refused_as_unstorable(message)) return 1;
  const int system_number = system_of(message);
  StderrStatus status;
  status.name(noun_of(message));
  bank::TransferResult result;
  bank::ConfigRoute route = bank::ConfigRoute::dump;
  const bool opened = on_port(
      options, options.verify, status, result,
      [&](bank::Port& port, bank::Timekeeper& time, bank::TransferStatus& shown) {
        const bank::StoreResult stored = bank::store_message(
            port, time, message, settings_of(options, system_number), shown);
        route = stored.route;
        return stored.result;
      });
  if (!opened) return 1;
  if (result.outcome != bank::Outcome::done) {
    print_failure(result, options, system_number, noun_of(message));
    return 1;
  }
  print_stored(message, options.verify, route);
  return bank::finish_standard_output() ? 0 : 1;
}

// What receive asks for: bank -b (0 without it) or configuration -c.
bank::StoredMessage asked_for(const bank::PortOptions& options, int system_number) {
  bank::StoredMessage message;
  if (options.config_number) {
    message.form = bank::StoredMessage::Form::config;
    message.config.system_number = system_number;
    message.config.memory = *options.config_number - 1;
  } else {
    message.bank.system_number = system_number;
    message.bank.bank_number = options.bank_number.value_or(bank::kBankOption.preset);
  }
  return message;
}

int receive(const bank::PortOptions& options) {
  const int system_number = options.system_number.value_or(bank::kSystemOption.preset);
  std::string error;
  if (!bank::can_write_received(options.file, error)) {
    std::fwrite(error.data(), 1, error.size(), stderr);
    return 1;
  }
  const bank::StoredMessage asked = asked_for(options, system_number);
  StderrStatus status;
  status.name(noun_of(asked));
  bank::TransferResult result;
  const bool opened =
      on_port(options, true, status, result,
              [&](bank::Port& port, bank::Timekeeper& time, bank::TransferStatus& shown) {
                return bank::receive_message(port, time, *bank::kind_of(asked),
                                             settings_of(options, system_number), shown);
              });
  if (!opened) return 1;
  if (result.outcome != bank::Outcome::done) {
    print_failure(result, options, system_number, noun_of(asked));
    return 1;
  }
  if (!bank::write_received(options.file, bank::with_dump(asked, result.message), error)) {
    std::fwrite(error.data(), 1, error.size(), stderr);
    return 1;
  }
  return bank::finish_standard_output() ? 0 : 1;
}

int backup(const bank::PortOptions& options) {
  const int system_number = options.system_number.value_or(bank::kSystemOption.preset);
  std::string error;
  if (!bank::is_backup_name(options.file)) {
    bank::print_text(stderr, kNotBackupName, {options.file});
    return 1;
  }
  if (!bank::can_write_received(options.file, error)) {
    std::fwrite(error.data(), 1, error.size(), stderr);
    return 1;
  }
  std::uint64_t total = 0;
  for (const bank::StoredMessage& message : bank::whole_instrument(system_number))
    total += bank::kind_of(message)->message_size();
  StderrBackupStatus status(total);
  bank::TransferResult result;
  bank::BackupResult backup;
  const bool opened =
      on_port(options, true, status, result,
              [&](bank::Port& port, bank::Timekeeper& time, bank::TransferStatus& /*shown*/) {
                backup = bank::back_up(port, time, settings_of(options, system_number), status);
                status.finish();
                return backup.result;
              });
  if (!opened) return 1;
  if (result.outcome != bank::Outcome::done) {
    print_failure(result, options, system_number, noun_of(backup.got[backup.failed_at]));
    return 1;
  }
  const std::vector<bank::StoredMessage>& messages = backup.got;
  if (!bank::write_backup(options.file, messages, error)) {
    std::fwrite(error.data(), 1, error.size(), stderr);
    return 1;
  }
  bank::print_text(stdout, kBackedUp, {options.file});
  return bank::finish_standard_output() ? 0 : 1;
}

int restore(const bank::PortOptions& options) {
  const bank::FileMessages file = bank::read_file_messages(options.file.c_str());
  std::fwrite(file.said.data(), 1, file.said.size(), stderr);
  if (!file.ok) return 1;
  std::vector<bank::StoredMessage> messages;
  for (bank::StoredMessage message : file.messages) {
    if (!bank::is_storable(message)) continue;  // the instrument's own banks and presets
    if (options.system_number) {
      message.bank.system_number = *options.system_number;
      message.config.system_number = *options.system_number;
    }
    messages.push_back(message);
  }
  if (messages.empty()) {
    bank::print_text(stderr, kNothingToRestore, {options.file});
    return 1;
  }
  StderrStatus status;
  bank::TransferResult result;
  std::size_t stored = 0;
  const bool opened = on_port(
      options, true, status, result,
      [&](bank::Port& port, bank::Timekeeper& time, bank::TransferStatus& shown) {
        bank::TransferResult each;
        std::optional<bank::ConfigRoute> route;
        for (const bank::StoredMessage& message : messages) {
          status.name(noun_of(message));
          const bank::StoreResult done = bank::store_message(
              port, time, message, settings_of(options, system_of(message)), shown, route);
          each = done.result;
          if (each.outcome != bank::Outcome::done) break;
          if (message.form == bank::StoredMessage::Form::config &&
              message.config.memory != bank::kCurrentConfig)
            route = done.route;
          print_stored(message, true, done.route);
          std::fflush(stdout);
          ++stored;
        }
        return each;
      });
  if (!opened) return 1;
  if (result.outcome != bank::Outcome::done) {
    const bank::StoredMessage& failed = messages[std::min(stored, messages.size() - 1)];
    print_failure(result, options, system_of(failed), noun_of(failed));
    std::string before;
    for (std::size_t i = 0; i < stored; ++i)
      before += (i > 0 ? ", " : "") + bank::message_name(messages[i]);
    if (stored == 0)
      bank::print_text(stderr, kNothingStoredBefore);
    else
      bank::print_text(stderr, kStoredBefore, {before});
    return 1;
  }
  return bank::finish_standard_output() ? 0 : 1;
}

// A watch's lines as they come: each send on standard output, what a save
// that does not read says on standard error.
class PrintedReport final : public bank::AuditionReport {
 public:
  void sent(const std::string& line) override {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
  }
  void said(const std::string& text) override {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  }
};

int audition(const bank::PortOptions& options, const char* program) {
  // As the file is read: a save from then on is the watch's first.
  const bank::FileState read_as = bank::file_state(options.file);
  const bank::AuditionFile file = bank::read_audition_file(options.file.c_str());
  std::fwrite(file.said.data(), 1, file.said.size(), stderr);
  if (!file.ok) return 1;
  if (file.single && options.voice) {
    bank::print_text(stderr, kVoiceOfSingle, {options.file});
    print_usage(stderr, program);
    return 1;
  }
  bank::AuditionSettings settings;
  settings.system_number = options.system_number.value_or(bank::kSystemOption.preset);
  settings.instrument = options.instrument - 1;
  settings.note = options.note;
  settings.timeout = std::chrono::seconds(options.timeout_s);
  const int number = options.voice.value_or(1);
  const bank::VoiceData& voice = file.bank.voices[static_cast<std::size_t>(number - 1)];
  StderrStatus status;
  status.name("configuration");
  bank::TransferResult result;
  bool usage_error = false;
  bool sounding = false;
  bool output_only = false;  // a port without an input: no configuration to ask
  const bool opened = on_port(
      options, true, status, result,
      [&](bank::Port& port, bank::Timekeeper& time, bank::TransferStatus& shown) {
        bank::TransferResult asked;
        const bank::InstrumentPlace place =
            output_only ? bank::InstrumentPlace{}
                        : bank::find_instrument(port, time, settings, shown, asked);
        std::optional<int> channel;
        if (place.known) {
          channel = place.channel;
          if (place.notes == 0) bank::print_text(stderr, kNoNotes, {options.instrument});
        } else {
          if (asked.outcome == bank::Outcome::interrupted) return asked;
          if (options.channel) channel = *options.channel - 1;
          if (!options.channel) bank::print_text(stderr, kChannelUnknown, {options.instrument});
        }
        if (options.note && !channel) {
          usage_error = true;
          return bank::TransferResult{};
        }
        bank::TransferResult done;
        const auto failed = [&done](const bank::PortResult& port_said) {
          done.outcome = port_said.state == bank::PortState::cancelled
                             ? bank::Outcome::interrupted
                             : bank::Outcome::port_error;
          done.port_words = port_said.words;
          return done;
        };
        const bank::PortResult sent = bank::send_voice(port, voice, settings);
        if (sent.state != bank::PortState::ok) return failed(sent);
        PrintedReport report;
        report.sent(bank::sent_line(number, voice, settings, channel));
        const bank::PortResult played =
            bank::play_test_note(port, time, settings, channel, sounding);
        if (played.state != bank::PortState::ok) return failed(played);
        if (!options.watch) return done;
        bank::PollingWatch watch(options.file, time, read_as);
        const bank::PortResult watched = bank::keep_auditioning(
            port, time, watch, options.file.c_str(),
            file.single ? std::optional<int>(1) : options.voice, file, settings, channel, report,
            sounding);
        if (watched.state != bank::PortState::ok) {
          done.outcome = bank::Outcome::port_error;
          done.port_words = watched.words;
        }
        return done;
      },
      &output_only);
  if (!opened) return 1;
  if (usage_error) {
    bank::print_text(stderr, kNoteWithoutChannel, {options.instrument});
    print_usage(stderr, program);
    return 1;
  }
  // Ctrl-C is the way out of a watch.
  if (options.watch && result.outcome == bank::Outcome::interrupted)
    result.outcome = bank::Outcome::done;
  if (result.outcome != bank::Outcome::done) {
    print_failure(result, options, settings.system_number, "voice");
    return 1;
  }
  return bank::finish_standard_output() ? 0 : 1;
}

// Plays the instrument on a pseudo-terminal until an interrupt: its port's
// path on standard output at once, for the other commands to be given.
int virtual_instrument() {
#ifdef _WIN32
  bank::print_text(stderr, kNoVirtual);
  return 1;
#else
  bank::Cancel cancel;
  bank::cancel_on_interrupts(cancel);
  std::string error;
  const bool played = bank::play_virtual_instrument(
      cancel,
      [](const std::string& port) {
        bank::print_text(stdout, kVirtualPort, {port});
        std::fflush(stdout);
        bank::print_text(stderr, kVirtualHint, {port});
      },
      error);
  if (!played) {
    bank::print_text(stderr, kNoTerminal, {error});
    return 1;
  }
  return bank::finish_standard_output() ? 0 : 1;
#endif
}

int ports() {
  const std::vector<bank::PortInfo> found = bank::list_ports();
  if (found.empty()) {
    bank::print_text(stderr, kNoPorts);
    return 1;
  }
  for (const bank::PortInfo& port : found)
    bank::print_text(stdout, kPortLine, {port.id, port.name});
  return bank::finish_standard_output() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  bank::prepare_process();
  // The arguments in UTF-8 on every system, as port and file names may
  // hold any characters.
  const std::vector<std::string> args = bank::utf8_argument_values(argc, argv);
  std::vector<const char*> arg_texts;
  for (const std::string& arg : args) arg_texts.push_back(arg.c_str());
  const char* program = argc > 0 ? arg_texts[0] : "syxport";
  const bank::PortCommandLine parsed =
      bank::parse_port_options(static_cast<int>(arg_texts.size()), arg_texts.data());
  if (!parsed.options) {
    std::fwrite(parsed.error.data(), 1, parsed.error.size(), stderr);
    print_usage(stderr, program);
    return 1;
  }
  const std::optional<bank::PortOptions>& options = parsed.options;
  switch (options->verb) {
    case bank::Verb::help:
      print_usage(stdout, program);
      bank::print_text(stdout, kPorts);
      bank::print_text(stdout, bank::options_help());
      bank::print_text(stdout, kSeeManual);
      return bank::finish_standard_output() ? 0 : 1;
    case bank::Verb::version:
      bank::print_text(stdout, kVersion, {SYXBANK_VERSION});
      return bank::finish_standard_output() ? 0 : 1;
    case bank::Verb::ports: return ports();
    case bank::Verb::virtual_instrument: return virtual_instrument();
    case bank::Verb::send: return send(*options);
    case bank::Verb::receive: return receive(*options);
    case bank::Verb::backup: return backup(*options);
    case bank::Verb::restore: return restore(*options);
    case bank::Verb::audition: return audition(*options, program);
  }
  return 1;
}
