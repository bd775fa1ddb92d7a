#include "options.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <vector>

#include "system/fixed_text.h"

namespace bank {
namespace {

// The errors, kept word for word (see system/fixed_text.h).
constexpr std::string_view kBadNumber = "Error: %s %s is not a whole number from %d to %d\n";
constexpr std::string_view kOutOfRange = "Error: %s %s is outside its range, %d to %d\n";
constexpr std::string_view kNoNumber = "Error: %s needs a number from %d to %d\n";
constexpr std::string_view kUnknownOption = "Error: unknown option %s\n";
constexpr std::string_view kSendOnly = "Error: %s is for send only\n";
constexpr std::string_view kAlone = "Error: %s stands alone: %s %s\n";
constexpr std::string_view kOperands = "Error: %s takes a PORT and a FILE\n";
constexpr std::string_view kNoOperands = "Error: %s takes no operand\n";
constexpr std::string_view kNotFor = "Error: %s is not for %s\n";
constexpr std::string_view kTwoKinds = "Error: -b and -c name two kinds of message: give one\n";
constexpr std::string_view kUnknownVerb =
    "Error: unknown command %s; give send, receive, backup, restore, audition, ports or virtual\n";
constexpr std::string_view kAuditionOperands = "Error: audition takes a PORT, a FILE and a VOICE or none\n";

constexpr std::string_view kOptionsHelp =
    " -s N          System number N (%d - %d; send: default the file's, or %d)\n"
    " -b N          Bank number N (%d - %d; send stores 0 or 1, default the file's)\n"
    " -c N          Configuration N (%d - %d; 0 the current one, else a memory; send\n"
    "               stores 0 - 16, default the file's)\n"
    " -w            send: warn about what a text probably does not mean\n"
    " --gap MS      send: milliseconds from one voice packet to the next (%d - %d,\n"
    "               default %d)\n"
    " --tries N     Sends or requests in all (%d - %d, default %d)\n"
    " --timeout S   Seconds of silence before the instrument's answer is given up\n"
    "               (%d - %d, default %d)\n"
    " --no-verify   send: do not read the bank back\n"
    " -i N          audition: instrument N (%d - %d, default %d)\n"
    " --note K      audition: play note K (%d - %d) after each send\n"
    " --channel C   audition: MIDI channel C (%d - %d) where the configuration cannot\n"
    "               be read\n"
    " --watch       audition: send again after each save that changes the voice\n"
    " --help        Print this help\n"
    " --version     Print the version\n";

constexpr const NumberOption* kNumberOptions[] = {
    &kSystemOption, &kBankOption,       &kConfigOption, &kGapOption,    &kTriesOption,
    &kTimeoutOption, &kInstrumentOption, &kNoteOption,   &kChannelOption};

// A whole decimal number, and nothing else; a number too large for an int
// is still one (and out of every range).
std::optional<long long> strict_number(std::string_view text) {
  if (text.empty() || !std::all_of(text.begin(), text.end(),
                                   [](char ch) { return ch >= '0' && ch <= '9'; }))
    return std::nullopt;
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc::result_out_of_range) return std::numeric_limits<long long>::max();
  return value;
}

PortCommandLine usage_error(std::string_view text, std::initializer_list<TextArg> args = {}) {
  return {std::nullopt, filled_text(text, args)};
}

// The option `arg` names, with its value when the argument holds it.
const NumberOption* find_option(std::string_view arg, std::string_view& value, bool& has_value) {
  for (const NumberOption* option : kNumberOptions) {
    if (!arg.starts_with(option->name)) continue;
    const std::string_view rest = arg.substr(option->name.size());
    if (rest.empty()) return option;
    if (option->name.size() == 2) {
      value = rest;
      has_value = true;
      return option;
    }
    if (rest.front() == '=') {
      value = rest.substr(1);
      has_value = true;
      return option;
    }
  }
  return nullptr;
}

}  // namespace

std::string options_help() {
  return filled_text(kOptionsHelp,
                     {kSystemOption.low, kSystemOption.high, kSystemOption.preset, kBankOption.low,
                      kBankOption.high, kConfigOption.low, kConfigOption.high, kGapOption.low,
                      kGapOption.high, kGapOption.preset,
                      kTriesOption.low, kTriesOption.high, kTriesOption.preset, kTimeoutOption.low,
                      kTimeoutOption.high, kTimeoutOption.preset, kInstrumentOption.low,
                      kInstrumentOption.high, kInstrumentOption.preset, kNoteOption.low,
                      kNoteOption.high, kChannelOption.low, kChannelOption.high});
}

PortCommandLine parse_port_options(int argc, const char* const* argv) {
  PortOptions options;
  if (argc < 2) return {};
  const char* program = argv[0];
  const std::string_view verb = argv[1];
  if (verb == "--help" || verb == "--version") {
    if (argc != 2) return usage_error(kAlone, {verb, program, verb});
    options.verb = verb == "--help" ? Verb::help : Verb::version;
    return {options, ""};
  }
  if (verb == "ports" || verb == "virtual") {
    if (argc != 2) return usage_error(kNoOperands, {verb});
    options.verb = verb == "ports" ? Verb::ports : Verb::virtual_instrument;
    return {options, ""};
  }
  static constexpr struct {
    std::string_view name;
    Verb verb;
    unsigned bit;
  } kTransfers[] = {{"send", Verb::send, kSend},
                    {"receive", Verb::receive, kReceive},
                    {"backup", Verb::backup, kBackup},
                    {"restore", Verb::restore, kRestore},
                    {"audition", Verb::audition, kAudition}};
  const auto* transfer = std::find_if(std::begin(kTransfers), std::end(kTransfers),
                                      [&](const auto& t) { return t.name == verb; });
  if (transfer == std::end(kTransfers)) return usage_error(kUnknownVerb, {verb});
  options.verb = transfer->verb;
  // An option that is not for this verb: "for send only" when it is.
  const auto refused = [&](std::string_view option, unsigned verbs) {
    return verbs == kSend ? usage_error(kSendOnly, {option}) : usage_error(kNotFor, {option, verb});
  };

  std::vector<std::string_view> operands;
  bool options_end = false;
  for (int i = 2; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options_end || arg == "-" || arg.empty() || arg.front() != '-') {
      operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_end = true;
      continue;
    }
    if (arg == "--help" || arg == "--version") return usage_error(kAlone, {arg, program, arg});
    if (arg == "--watch") {
      if (transfer->bit != kAudition) return usage_error(kNotFor, {arg, verb});
      options.watch = true;
      continue;
    }
    if (arg == "-w" || arg == "--no-verify") {
      const unsigned verbs = arg == "-w" ? kSend | kRestore : kSend;
      if ((verbs & transfer->bit) == 0) return refused(arg, verbs);
      if (arg == "-w") options.warnings = true;
      if (arg == "--no-verify") options.verify = false;
      continue;
    }
    std::string_view value;
    bool has_value = false;
    const NumberOption* option = find_option(arg, value, has_value);
    if (option == nullptr) return usage_error(kUnknownOption, {arg});
    if ((option->verbs & transfer->bit) == 0) return refused(option->name, option->verbs);
    if (!has_value) {
      if (i + 1 >= argc) return usage_error(kNoNumber, {option->name, option->low, option->high});
      value = argv[++i];
    }
    const std::optional<long long> whole = strict_number(value);
    if (!whole) return usage_error(kBadNumber, {option->name, value, option->low, option->high});
    if (*whole < option->low || *whole > option->high)
      return usage_error(kOutOfRange, {option->name, value, option->low, option->high});
    const int number = static_cast<int>(*whole);
    if (option == &kSystemOption) options.system_number = number;
    if (option == &kBankOption) options.bank_number = number;
    if (option == &kConfigOption) options.config_number = number;
    if (option == &kGapOption) options.gap_ms = number;
    if (option == &kTriesOption) options.tries = number;
    if (option == &kTimeoutOption) options.timeout_s = number;
    if (option == &kInstrumentOption) options.instrument = number;
    if (option == &kNoteOption) options.note = number;
    if (option == &kChannelOption) options.channel = number;
  }
  if (options.bank_number && options.config_number) return usage_error(kTwoKinds);
  if (transfer->bit == kAudition && operands.size() == 3) {
    const std::optional<long long> whole = strict_number(operands[2]);
    if (!whole)
      return usage_error(kBadNumber, {kVoiceOperand.name, operands[2], kVoiceOperand.low,
                                      kVoiceOperand.high});
    if (*whole < kVoiceOperand.low || *whole > kVoiceOperand.high)
      return usage_error(kOutOfRange, {kVoiceOperand.name, operands[2], kVoiceOperand.low,
                                       kVoiceOperand.high});
    options.voice = static_cast<int>(*whole);
    operands.pop_back();
  } else if (transfer->bit == kAudition && operands.size() != 2) {
    return usage_error(kAuditionOperands);
  }
  if (operands.size() != 2) return usage_error(kOperands, {verb});
  options.port = operands[0];
  options.file = operands[1];
  return {options, ""};
}

}  // namespace bank
