#include "options.h"

#include <charconv>
#include <string_view>
#include <vector>

namespace bank {
namespace {

// A whole decimal number in [low, high], and nothing else.
std::optional<int> strict_number(std::string_view text, int low, int high) {
  int value = 0;
  if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
    return std::nullopt;
  return value;
}

struct ValueOption {
  std::string_view name;  // "-s" or "--gap"
  int low;
  int high;
  bool send_only;
};

constexpr ValueOption kValueOptions[] = {
    {"-s", 0, 15, false},      {"-b", 0, 6, false},         {"--gap", 20, 10000, true},
    {"--tries", 1, 10, false}, {"--timeout", 1, 60, false},
};

}  // namespace

std::optional<PortOptions> parse_port_options(int argc, const char* const* argv) {
  PortOptions options;
  if (argc < 2) return std::nullopt;
  const std::string_view verb = argv[1];
  if (verb == "--help" && argc == 2) return options;
  if (verb == "--version" && argc == 2) {
    options.verb = Verb::version;
    return options;
  }
  if (verb == "ports") {
    if (argc != 2) return std::nullopt;
    options.verb = Verb::ports;
    return options;
  }
  if (verb != "send" && verb != "receive") return std::nullopt;
  options.verb = verb == "send" ? Verb::send : Verb::receive;
  const bool send = options.verb == Verb::send;

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
    if (arg == "-w" || arg == "--no-verify") {
      if (!send) return std::nullopt;
      if (arg == "-w") options.warnings = true;
      if (arg == "--no-verify") options.verify = false;
      continue;
    }
    const ValueOption* found = nullptr;
    std::string_view value;
    bool has_value = false;
    for (const ValueOption& option : kValueOptions) {
      if (!arg.starts_with(option.name)) continue;
      const std::string_view rest = arg.substr(option.name.size());
      const bool short_form = option.name.size() == 2;
      if (rest.empty()) {
        found = &option;
      } else if (short_form) {
        found = &option;
        value = rest;
        has_value = true;
      } else if (rest.front() == '=') {
        found = &option;
        value = rest.substr(1);
        has_value = true;
      }
      if (found != nullptr) break;
    }
    if (found == nullptr || (found->send_only && !send)) return std::nullopt;
    if (!has_value) {
      if (i + 1 >= argc) return std::nullopt;
      value = argv[++i];
    }
    const std::optional<int> number = strict_number(value, found->low, found->high);
    if (!number) return std::nullopt;
    if (found->name == "-s") options.system_number = *number;
    if (found->name == "-b") options.bank_number = *number;
    if (found->name == "--gap") options.gap_ms = *number;
    if (found->name == "--tries") options.tries = *number;
    if (found->name == "--timeout") options.timeout_s = *number;
  }
  if (operands.size() != 2) return std::nullopt;
  options.port = operands[0];
  options.file = operands[1];
  return options;
}

}  // namespace bank
