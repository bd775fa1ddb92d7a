// text2syx: compiles a bank text into a voice-bank bulk-dump file.
//
// Every message goes to standard output and every failure exits with 1. The
// output is opened only after the whole text has been read and accepted, so
// a failure leaves no file behind; a failed write removes what it began.
#include <sys/stat.h>

#include <cinttypes>
#include <cstdio>
#include <string>
#include <string_view>

#include "bank_state.h"
#include "bank_text_reader.h"
#include "dump_builder.h"
#include "formats/input_stream.h"
#include "options.h"

namespace {

constexpr const char* kUsage =
    "Usage: %s [options] infile.txt [outfile.syx]\n\n"
    " -sN   System number = N (0 - 15)\n"
    " -bN   Bank number = N  (0 or 1)\n";

// A bank text defines at least this many voice headers and parameter lines.
constexpr std::int64_t kMinimumDefinitions = 7;

// The process-wide state: option values, voice table and message.
bank::BankState g_state;

bool is_regular_file(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Writes the message; on failure removes what was written, if it is a plain
// file (a device or a pipe is left alone).
bool write_message(std::FILE* out, const std::string& path) {
  const bool written =
      std::fwrite(g_state.message.data(), 1, g_state.message.size(), out) == g_state.message.size();
  const bool closed = std::fclose(out) == 0;
  if (written && closed) return true;
  if (is_regular_file(path)) std::remove(path.c_str());
  return false;
}

int compile(const char* input_name, const std::string& output_name) {
  std::FILE* input = std::fopen(input_name, "r");
  if (input == nullptr) {
    std::printf("Error: Cannot open %s\n", input_name);
    return 1;
  }
  for (int i = 0; i < bank::kVoiceCount; ++i) g_state.voices[static_cast<std::size_t>(i)] = {};

  bank::InputStream in = bank::file_input(input);
  const std::int64_t bad_line = bank::read_bank_text(in, g_state);
  std::fclose(input);
  if (bad_line != 0) {
    const std::string_view message = bank::reader_error_message(g_state.reader_error);
    std::printf("Error in line %" PRId64 ": %.*s", bad_line, static_cast<int>(message.size()),
                message.data());
    return 1;
  }
  if (in.failed) {
    std::printf("Error: Cannot read %s\n", input_name);
    return 1;
  }
  if (g_state.definition_count < kMinimumDefinitions) {
    std::printf("It seems not be a FB-01 text\n");
    return 1;
  }

  bank::build_bulk_dump(g_state);

  std::FILE* output = std::fopen(output_name.c_str(), "wb");
  if (output == nullptr) {
    std::printf("Error: Cannot open %s\n", output_name.c_str());
    return 1;
  }
  if (!write_message(output, output_name)) {
    std::printf("Error: Cannot write %s\n", output_name.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* program = argc > 0 ? argv[0] : "text2syx";
  if (argc < 2) {
    std::printf(kUsage, program);
    return 1;
  }
  const bank::ParsedOptions options = bank::parse_options(argc, argv, g_state);
  if (options.help) {
    std::printf(kUsage, program);
    return 0;
  }
  if (options.version) {
    std::printf("text2syx %s\n", BANK_VERSION);
    return 0;
  }
  if (options.input_index >= argc) {
    std::printf(kUsage, program);
    return 1;
  }
  const char* input_name = argv[options.input_index];
  const std::string output_name = options.input_index + 1 < argc
                                      ? std::string(argv[options.input_index + 1])
                                      : bank::derive_output_name(input_name);
  return compile(input_name, output_name);
}
