// The command line of syxport:
//   syxport send [options] PORT FILE
//   syxport receive [options] PORT FILE
//   syxport ports
//   syxport --help | --version
// Options may stand anywhere after the verb, as -s3 or -s 3, --gap 40 or
// --gap=40; "--" ends them. Unlike the other two programs, values are
// strict: a value that is not a whole decimal number in its range, an
// unknown option, an option of the other verb, a missing or extra operand
// is a usage error.
#pragma once

#include <optional>
#include <string>

namespace bank {

enum class Verb { send, receive, ports, help, version };

struct PortOptions {
  Verb verb = Verb::help;
  std::string port;
  std::string file;
  std::optional<int> system_number;  // -s, 0-15
  std::optional<int> bank_number;    // -b, 0-6
  bool warnings = false;             // -w (send)
  int gap_ms = 160;                  // --gap (send), 20-10000
  int tries = 3;                     // --tries, 1-10
  int timeout_s = 5;                 // --timeout, 1-60
  bool verify = true;                // --no-verify (send) clears it
};

// The options of `argv`, or nothing for a usage error.
std::optional<PortOptions> parse_port_options(int argc, const char* const* argv);

}  // namespace bank
