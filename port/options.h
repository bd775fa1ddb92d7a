// The command line of syxport:
//   syxport send [options] PORT FILE
//   syxport receive [options] PORT FILE
//   syxport backup [options] PORT FILE
//   syxport restore [options] PORT FILE
//   syxport audition [options] PORT FILE [VOICE]
//   syxport ports
//   syxport virtual (POSIX)
//   syxport --help | --version
// Options may stand anywhere after the verb, as -s3 or -s 3, --gap 40 or
// --gap=40; "--" ends them. Unlike the other two programs, values are
// strict: a value that is not a whole decimal number in its range, an
// unknown option, an option of the other verb, a missing or extra operand
// is a usage error, and the error says which and why.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace bank {

enum class Verb {
  send,
  receive,
  backup,
  restore,
  audition,
  ports,
  virtual_instrument,
  help,
  version
};

// The verbs that take a PORT and a FILE, as bits: which of them an option
// is for.
inline constexpr unsigned kSend = 1U << 0U;
inline constexpr unsigned kReceive = 1U << 1U;
inline constexpr unsigned kBackup = 1U << 2U;
inline constexpr unsigned kRestore = 1U << 3U;
inline constexpr unsigned kAudition = 1U << 4U;
inline constexpr unsigned kEveryTransfer = kSend | kReceive | kBackup | kRestore;

// The options that take a number: each one's range and default, in one
// place for the parser, the help text and the errors.
struct NumberOption {
  std::string_view name;  // "-s" or "--gap"
  int low;
  int high;
  int preset;  // the default (for -s and -b, what is used without the file's)
  unsigned verbs;  // the verbs it is for
};
inline constexpr NumberOption kSystemOption{"-s", 0, 15, 0, kEveryTransfer | kAudition};
inline constexpr NumberOption kBankOption{"-b", 0, 6, 0, kSend | kReceive};
// 0 the current configuration, 1-20 a memory.
inline constexpr NumberOption kConfigOption{"-c", 0, 20, 0, kSend | kReceive};
inline constexpr NumberOption kGapOption{"--gap", 20, 10000, 160, kSend | kRestore};
inline constexpr NumberOption kTriesOption{"--tries", 1, 10, 3, kEveryTransfer};
inline constexpr NumberOption kTimeoutOption{"--timeout", 1, 60, 5, kEveryTransfer | kAudition};
inline constexpr NumberOption kInstrumentOption{"-i", 1, 8, 1, kAudition};
inline constexpr NumberOption kNoteOption{"--note", 0, 127, 60, kAudition};
inline constexpr NumberOption kChannelOption{"--channel", 1, 16, 1, kAudition};
// The voice operand of audition.
inline constexpr NumberOption kVoiceOperand{"VOICE", 1, 48, 1, kAudition};

struct PortOptions {
  Verb verb = Verb::help;
  std::string port;
  std::string file;
  std::optional<int> system_number;  // -s
  std::optional<int> bank_number;    // -b
  std::optional<int> config_number;  // -c: 0 the current configuration, 1-20 a memory
  bool warnings = false;             // -w (send, restore)
  int gap_ms = kGapOption.preset;    // --gap (send)
  int tries = kTriesOption.preset;
  int timeout_s = kTimeoutOption.preset;  // --timeout: seconds of silence
  bool verify = true;                     // --no-verify (send) clears it
  int instrument = kInstrumentOption.preset;  // -i (audition)
  std::optional<int> note;                    // --note
  std::optional<int> channel;                 // --channel, 1-16
  bool watch = false;                         // --watch
  std::optional<int> voice;                   // audition's VOICE
};

struct PortCommandLine {
  std::optional<PortOptions> options;  // nothing for a usage error
  std::string error;                   // why, as a line; empty when no reason is worth saying
};

PortCommandLine parse_port_options(int argc, const char* const* argv);

// The help text's list of options, with the ranges and defaults above.
std::string options_help();

}  // namespace bank
