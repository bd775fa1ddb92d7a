// text2syx: compiles a bank text into a voice-bank dump file.
//
// Its texts go to standard output (but the one that says standard output
// could not be written) and every failure exits with 1. The
// output is opened only after the whole text has been read and accepted, so
// a failure leaves no file behind; a failed write empties and removes the
// file it began, and nothing else. The input is never the output.
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "text/bank_state.h"
#include "dump_builder.h"
#include "system/file_services.h"
#include "system/file_source.h"
#include "system/fixed_text.h"
#include "system/input_stream.h"
#include "formats/config_dump.h"
#include "formats/midi_writer.h"
#include "formats/voice_kind.h"
#include "options.h"
#include "text/config_text.h"
#include "text/text_compile.h"

namespace {

// A usage error found once the input is known: the usage text follows.
constexpr int kUsageError = 2;

// Every text the program prints, on standard output, kept word for word
// (see system/fixed_text.h).
constexpr std::string_view kUsage =
    "Usage: %s [options] infile.txt [outfile.syx]\n\n"
    " -sN   System number = N (0 - 15)\n"
    " -bN   Bank number = N  (0 or 1)\n";
// After the usage text, for --help: the options beyond -s and -b.
constexpr std::string_view kMoreOptions =
    " -w   Warn about what the text probably does not mean\n"
    " -m   Write a Standard MIDI File (.mid) that sends the bank in timed packets\n"
    " -cN  Configuration memory N (1 - 20) for a configuration text; without it, the\n"
    "      current configuration\n"
    " --voice N  Write voice N (1 - 48) alone, as the single voice the instrument plays\n"
    "      at once; -iN its instrument (1 - 8, default 1)\n"
    " --help      Print this help\n"
    " --version   Print the version\n"
    "See text2syx(1).\n";
constexpr std::string_view kVersion = "text2syx %s\n";
constexpr std::string_view kOutputIsInput = "Error: Output %s is the input file\n";
constexpr std::string_view kBankOfConfig =
    "Error: %s is a configuration text: -b is for banks; give -cN to store it in memory N\n";
constexpr std::string_view kVoiceOfConfig =
    "Error: %s is a configuration text: --voice is for bank texts\n";
constexpr std::string_view kConfigFromPipe =
    "Error: %s is a configuration text, which is read again from its start: give a file\n";
constexpr std::string_view kConfigOfBank =
    "Error: %s is a bank text: -c is for configuration texts\n";

// The process-wide state: option values, voice table and message.
bank::BankState g_state;

// Written as it stands: a name in a warning may hold a zero byte.
void print_as_is(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

// Writes `bytes` whole to the output, or says why not.
// "-07" before the extension of a voice's derived name; nothing for a bank.
std::string voice_suffix(const bank::ParsedOptions& options) {
  if (!options.voice) return "";
  const int n = *options.voice;
  return {'-', static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
}

int write_output(const std::string& output_name, std::span<const std::uint8_t> bytes) {
  std::string why;
  std::FILE* output = bank::open_file(output_name.c_str(), "wb", &why);
  if (output == nullptr) {
    bank::print_text(stdout, bank::kCannotOpenText, {output_name});
    bank::print_text(stdout, bank::kSystemSaysText, {why});
    return 1;
  }
  if (!bank::write_whole_output(output, output_name.c_str(), bytes)) {
    bank::print_text(stdout, bank::kCannotWriteText, {output_name});
    return 1;
  }
  return 0;
}

int compile_config(std::FILE* input, const char* input_name, const std::string& output_name,
                   const bank::ParsedOptions& options) {
  bank::ConfigData config;
  config.system_number = g_state.system_number;
  config.memory = options.config_memory.value_or(bank::kCurrentConfig);
  bank::InputStream in = bank::file_input(input);
  const bank::ConfigReading reading = bank::read_config_text(in, config, options.warnings);
  const bool same_file = reading.accepted() && bank::names_open_file(output_name.c_str(), input);
  std::fclose(input);
  print_as_is(reading.warnings);
  if (!reading.accepted()) {
    print_as_is(bank::config_text_error(reading, input_name));
    return 1;
  }
  if (same_file) {
    bank::print_text(stdout, kOutputIsInput, {output_name});
    return 1;
  }
  if (options.midi)
    return write_output(output_name,
                        bank::midi_file_of_packets(bank::config_dump_packets(reading.config)));
  return write_output(output_name, bank::encode_config_dump(reading.config));
}

int compile(const char* input_name, const std::string& output_name,
            const bank::ParsedOptions& options) {
  // Binary: the reader itself takes CR LF as a line end, on every system.
  std::string why;
  std::FILE* input = bank::open_file(input_name, "rb", &why);
  if (input == nullptr) {
    bank::print_text(stdout, bank::kCannotOpenText, {input_name});
    bank::print_text(stdout, bank::kSystemSaysText, {why});
    return 1;
  }
  bank::InputStream in = bank::file_input(input);
  const bank::TextReading reading = bank::read_text_for_dump(in, g_state, options.warnings);
  if (reading.config_text) {
    // A configuration text, told at its CONFIG line: read again from the
    // start, as what it is.
    const std::string_view misused = options.bank_given ? kBankOfConfig
                                     : options.voice    ? kVoiceOfConfig
                                                        : std::string_view();
    if (!misused.empty()) {
      std::fclose(input);
      bank::print_text(stdout, misused, {input_name});
      return kUsageError;
    }
    if (std::fseek(input, 0, SEEK_SET) != 0) {
      std::fclose(input);
      bank::print_text(stdout, kConfigFromPipe, {input_name});
      return 1;
    }
    return compile_config(input, input_name, output_name, options);
  }
  if (options.config_memory) {
    std::fclose(input);
    bank::print_text(stdout, kConfigOfBank, {input_name});
    return kUsageError;
  }
  // Opening the output would truncate the text itself when both names lead
  // to one file (the same path, a link, or a text already named .syx); the
  // input is still open to compare with.
  const bool same_file = reading.accepted && bank::names_open_file(output_name.c_str(), input);
  std::fclose(input);

  print_as_is(reading.warnings);
  if (!reading.accepted) {
    std::string error;
    bank::append_text_error(error, reading, g_state, input_name);
    print_as_is(error);
    return 1;
  }
  if (same_file) {
    bank::print_text(stdout, kOutputIsInput, {output_name});
    return 1;
  }

  bank::build_bulk_dump(g_state);
  if (options.voice) {
    const bank::BankData bank = bank::packed_bank(g_state);
    const bank::SingleVoice voice = bank::single_voice_message(
        bank.voices[static_cast<std::size_t>(*options.voice - 1)], g_state.system_number,
        options.instrument);
    if (options.midi)
      return write_output(output_name,
                          bank::midi_file_of_packets(bank::VoiceKind(options.instrument)
                                                         .packets(voice, g_state.system_number,
                                                                  bank::kVoicePacketGapMs)));
    return write_output(output_name, voice);
  }
  if (options.midi)
    return write_output(output_name, bank::midi_file(g_state.message, g_state.system_number));
  return write_output(output_name, g_state.message);
}

}  // namespace

int main(int argc, char** system_argv) {
  bank::prepare_process();
  bank::Arguments arguments;
  bank::utf8_arguments(argc, system_argv, arguments);
  const char* const* const argv = arguments.argv.data();
  const char* program = argc > 0 ? argv[0] : "text2syx";
  if (argc < 2) {
    bank::print_text(stdout, kUsage, {program});
    return 1;
  }
  const bank::ParsedOptions options = bank::parse_options(argc, argv, g_state);
  if (options.help) {
    bank::print_text(stdout, kUsage, {program});
    bank::print_text(stdout, kMoreOptions);
    return bank::finish_standard_output() ? 0 : 1;
  }
  if (options.version) {
    bank::print_text(stdout, kVersion, {SYXBANK_VERSION});
    return bank::finish_standard_output() ? 0 : 1;
  }
  if (options.input_index >= argc) {
    bank::print_text(stdout, kUsage, {program});
    return 1;
  }
  const char* input_name = argv[options.input_index];
  const std::string output_name =
      options.input_index + 1 < argc
          ? std::string(argv[options.input_index + 1])
          : bank::derive_output_name(input_name, voice_suffix(options) + (options.midi ? ".mid" : ".syx"));
  const int status = compile(input_name, output_name, options);
  if (status != kUsageError) return status;
  bank::print_text(stdout, kUsage, {program});
  return 1;
}
