// syxport: stores a bank in the instrument through a MIDI port and reads it
// back to prove it arrived; fetches any bank from it into a .syx, a .mid or
// a bank text; lists the raw MIDI ports.
//
// Errors, warnings and the progress line go to standard error; standard
// output gets the one line that says a bank was stored (or sent), or the
// listing of a received bank when FILE is "-". Every failure exits with 1,
// and nothing is sent on a failure found before the transfer.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "bank_file.h"
#include "cancel.h"
#include "device.h"
#include "formats/bank_codec.h"
#include "system/file_services.h"
#include "system/fixed_text.h"
#include "lister/list_dump.h"
#include "options.h"
#include "transfer.h"
#include "virtual_instrument.h"

namespace {

// The program's texts, kept word for word (see system/fixed_text.h).
constexpr std::string_view kUsage =
    "Usage: %s send [options] PORT FILE\n"
    "       %s receive [options] PORT FILE\n"
    "       %s ports\n"
    "       %s virtual\n";
#ifdef _WIN32
constexpr std::string_view kPorts =
    "\n"
    "PORT: a MIDI device by its number or name, as 'syxport ports' lists them.\n"
    "FILE: a bank text, a .syx bank dump or a MIDI file to send; for receive, a\n"
    ".syx, a .mid, - (standard output) or any other name for a bank text.\n"
    "\n";
#else
constexpr std::string_view kPorts =
    "\n"
    "PORT: a raw MIDI device, serial port or pseudo-terminal by its path, or\n"
    "hw:C,D[,S] as 'syxport ports' lists them. FILE: a bank text, a .syx bank\n"
    "dump or a MIDI file to send; for receive, a .syx, a .mid, - (standard\n"
    "output) or any other name for a bank text.\n"
    "\n";
#endif
constexpr std::string_view kSeeManual = "See syxport(1).\n";
constexpr std::string_view kVersion = "syxport %s\n";
constexpr std::string_view kStored = "Bank %d stored and verified\n";
constexpr std::string_view kSent = "Bank %d sent\n";
constexpr std::string_view kNoPorts = "No MIDI ports found\n";
constexpr std::string_view kPortLine = "%s  %s\n";
constexpr std::string_view kCannotOpenPort = "Error: Cannot open port %s: %s\n";
constexpr std::string_view kBusyHolder = "; a sound server's MIDI bridge may hold it";
constexpr std::string_view kNotAPort = "Error: %s is not a MIDI port\n";
constexpr std::string_view kNoSuchPort = "Error: There is no MIDI port %s; the ports are: %s\n";
constexpr std::string_view kNoPortAtAll = "Error: There is no MIDI port %s; this system has none\n";
constexpr std::string_view kOneWay = "Error: The MIDI port %s has no %s\n";
constexpr std::string_view kSeePorts = "'syxport ports' lists the MIDI ports of this system.\n";
constexpr std::string_view kNoHwNames =
    "Error: Cannot open port %s: hw: names need Linux's raw MIDI devices; give the "
    "device's path\n";
constexpr std::string_view kBankNotStorable =
    "Error: Bank %d cannot be stored; only banks 0 and 1 can\n"
    "Give -b0 or -b1 to store it in one of them.\n";
constexpr std::string_view kNoAnswer = "Error: No answer from the instrument on %s\n";
constexpr std::string_view kCheckAfterSend =
    "The bank may well have arrived: check that the instrument's MIDI OUT is connected to\n"
    "the port's input and that its system number is %d, or send with --no-verify.\n";
constexpr std::string_view kCheckAfterRequest =
    "Check that the instrument's MIDI OUT is connected to the port's input and that its\n"
    "system number is %d.\n";
constexpr std::string_view kRefused = "Error: The instrument refused the request (status 0x%02X)\n";
constexpr std::string_view kDamaged = "Error: The bank from the instrument is damaged: %s\n";
constexpr std::string_view kDiffers =
    "Error: The bank read back differs from the bank sent in %s\n"
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
constexpr std::string_view kSendingProgress = "\rSending the bank: packet %d of %d ";
constexpr std::string_view kReceivingProgress = "\rReceiving the bank: %d of %d bytes ";
constexpr std::string_view kEndOfProgress = "\r                                          \r";

// A transfer's progress and warnings on standard error; the progress lines
// only when it is a terminal.
class StderrStatus final : public bank::TransferStatus {
 public:
  StderrStatus() : progress_(::isatty(STDERR_FILENO) == 1) {}
  void packet_sent(int packet, int packet_count) override {
    draw(kSendingProgress, {packet, packet_count});
  }
  void bytes_received(std::uint64_t count, int expected) override {
    draw(kReceivingProgress, {count, expected});
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

 private:
  void draw(std::string_view text, std::initializer_list<bank::TextArg> args) {
    if (!progress_) return;
    bank::print_text(stderr, text, args);
    std::fflush(stderr);
  }
  bool progress_;
};

void print_usage(std::FILE* stream, const char* program) {
  bank::print_text(stream, kUsage, {program, program, program, program});
}

// The port opened, or its error printed.
std::unique_ptr<bank::Port> open_or_say(const std::string& name, bool with_input,
                                        const bank::Cancel& cancel) {
  bank::PortOpening opening = bank::open_port(name, with_input, cancel);
  switch (opening.fault) {
    case bank::PortFault::none: return std::move(opening.port);
    case bank::PortFault::not_a_port: bank::print_text(stderr, kNotAPort, {name}); break;
    case bank::PortFault::no_hw_names: bank::print_text(stderr, kNoHwNames, {name}); break;
    case bank::PortFault::no_such_port:
      bank::print_text(stderr, opening.words.empty() ? kNoPortAtAll : kNoSuchPort,
                       {name, opening.words});
      break;
    case bank::PortFault::one_way: bank::print_text(stderr, kOneWay, {name, opening.words}); break;
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

// The message of a transfer that did not end well; the port's settings are
// restored by then.
void print_failure(const bank::TransferResult& result, const bank::PortOptions& options,
                   int system_number) {
  switch (result.outcome) {
    case bank::Outcome::done: break;
    case bank::Outcome::no_answer:
      bank::print_text(stderr, kNoAnswer, {options.port});
      bank::print_text(stderr,
                       options.verb == bank::Verb::send ? kCheckAfterSend : kCheckAfterRequest,
                       {system_number});
      break;
    case bank::Outcome::refused: bank::print_text(stderr, kRefused, {result.status_code}); break;
    case bank::Outcome::damaged:
      bank::print_text(stderr, kDamaged, {bank::fault_words(result.fault)});
      break;
    case bank::Outcome::differs:
      bank::print_text(stderr, kDiffers, {result.differences, options.gap_ms});
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
// open.
template <typename Transfer>
bool on_port(const bank::PortOptions& options, bool with_input, bank::TransferResult& result,
             Transfer transfer) {
  bank::Cancel cancel;
  bank::cancel_on_interrupts(cancel);
  const std::unique_ptr<bank::Port> port = open_or_say(options.port, with_input, cancel);
  if (!port) return false;
  bank::SystemTimekeeper time(cancel);
  StderrStatus status;
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

int send(const bank::PortOptions& options) {
  bank::BankToSend file = bank::read_bank_to_send(options.file.c_str(), options.warnings,
                                                  options.system_number, options.bank_number);
  std::fwrite(file.said.data(), 1, file.said.size(), stderr);
  if (!file.ok) return 1;
  const int system_number = file.bank.system_number;
  const int bank_number = file.bank.bank_number;
  if (!bank::bank_is_storable(bank_number)) {
    bank::print_text(stderr, kBankNotStorable, {bank_number});
    return 1;
  }
  bank::TransferResult result;
  const bool opened = on_port(
      options, options.verify, result,
      [&](bank::Port& port, bank::Timekeeper& time, bank::TransferStatus& status) {
        return bank::send_bank(port, time, file.bank, settings_of(options, system_number), status);
      });
  if (!opened) return 1;
  if (result.outcome != bank::Outcome::done) {
    print_failure(result, options, system_number);
    return 1;
  }
  bank::print_text(stdout, options.verify ? kStored : kSent, {bank_number});
  return bank::finish_standard_output() ? 0 : 1;
}

int receive(const bank::PortOptions& options) {
  const int system_number = options.system_number.value_or(bank::kSystemOption.preset);
  std::string error;
  if (!bank::can_write_received_bank(options.file, error)) {
    std::fwrite(error.data(), 1, error.size(), stderr);
    return 1;
  }
  bank::TransferResult result;
  bank::BankData bank;
  const bool opened =
      on_port(options, true, result,
              [&](bank::Port& port, bank::Timekeeper& time, bank::TransferStatus& status) {
                return bank::receive_bank(port, time,
                                          options.bank_number.value_or(bank::kBankOption.preset),
                                          settings_of(options, system_number), bank, status);
              });
  if (!opened) return 1;
  if (result.outcome != bank::Outcome::done) {
    print_failure(result, options, system_number);
    return 1;
  }
  if (!bank::write_received_bank(options.file, bank, error)) {
    std::fwrite(error.data(), 1, error.size(), stderr);
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
  }
  return 1;
}
