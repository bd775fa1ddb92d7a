// syx2text: checks a voice-bank dump and prints it as bank text.
//
// The listing goes to standard output block by block, so a fault in voice n
// leaves the bank name and voices 1 to n-1 listed. Errors go to standard
// error; the status is 0 only after a complete listing. With --all, every
// message of voice data in the file is listed, damaged or not.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "system/file_services.h"
#include "system/file_source.h"
#include "system/fixed_text.h"
#include "system/input_stream.h"
#include "list_dump.h"

namespace {

// The program's texts, kept word for word (see system/fixed_text.h).
constexpr std::string_view kUsage = "Usage: %s bulkdump.syx\n";
// After the usage text, for --help: the options.
constexpr std::string_view kMoreOptions =
    " --all      List every bank and voice in a file of any form, damaged blocks included\n"
    " --help     Print this help\n"
    " --version  Print the version\n"
    "A Standard MIDI File is read for its System Exclusive data. See syx2text(1).\n";
constexpr std::string_view kVersion = "syx2text %s\n";
// After the error of a file that is no bank dump but holds voice data.
constexpr std::string_view kTryAll = "Note: syx2text --all lists the voice data the file holds\n";
constexpr std::string_view kTryAllConfig =
    "Note: syx2text --all lists the configuration the file holds\n";
// After the error of a file that holds text.
constexpr std::string_view kTextNotDump =
    "%s holds text, not a bank dump: text2syx compiles a bank text into one\n";

// Whether a file that begins with `start` is text: no System Exclusive
// byte first, and no control character but tab and the line ends.
bool looks_like_text(std::span<const std::uint8_t> start) {
  if (start.empty() || start[0] == bank::kSysExStart) return false;
  return std::all_of(start.begin(), start.end(), [](std::uint8_t byte) {
    return byte >= 0x20 || byte == '\t' || byte == '\r' || byte == '\n';
  });
}

// "Error: " and the words of the status; a failed write of the listing was
// reported when standard output was closed.
void print_error(bank::ListStatus status, const char* path) {
  const std::string_view words = bank::list_error_words(status);
  if (words.empty()) return;
  bank::print_text(stderr, "Error: " + std::string(words) + "\n", {path});
}

int list(const char* path, bool all) {
  std::string why;
  std::FILE* file = bank::open_file(path, "rb", &why);
  if (file == nullptr) {
    bank::print_text(stderr, bank::kCannotOpenText, {path});
    bank::print_text(stderr, bank::kSystemSaysText, {why});
    return 1;
  }
  bank::InputStream in = bank::file_input(file);
  const bool text = looks_like_text(bank::peek_bytes(in, 64));
  bank::Listing listing;
  listing.out = stdout;
  listing.err = stderr;
  const bank::ScanSummary summary = bank::list_file(in, listing, all);
  std::fclose(file);
  // What was listed goes out before the error that ended the listing.
  const bool written = bank::finish_standard_output();
  if (summary.status != bank::ListStatus::ok) {
    print_error(summary.status, path);
    if (summary.voice_data_elsewhere)
      bank::print_text(stderr, kTryAll);
    else if (summary.config_elsewhere)
      bank::print_text(stderr, kTryAllConfig);
    if (summary.status == bank::ListStatus::not_bank_dump && text)
      bank::print_text(stderr, kTextNotDump, {path});
    return 1;
  }
  if (!written) return 1;
  if (all && summary.messages == 0) {
    print_error(bank::ListStatus::not_bank_dump, path);
    if (text) bank::print_text(stderr, kTextNotDump, {path});
    return 1;
  }
  return summary.warnings == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** system_argv) {
  bank::prepare_process();
  bank::Arguments arguments;
  bank::utf8_arguments(argc, system_argv, arguments);
  const char* const* const argv = arguments.argv.data();
  const char* program = argc > 0 ? argv[0] : "syx2text";
  const bool all = argc > 1 && std::strcmp(argv[1], "--all") == 0;
  const int first = all ? 2 : 1;
  if (argc <= first) {
    bank::print_text(stdout, kUsage, {program});
    bank::finish_standard_output();
    return 1;
  }
  if (!all && std::strcmp(argv[1], "--help") == 0) {
    bank::print_text(stdout, kUsage, {program});
    bank::print_text(stdout, kMoreOptions);
    return bank::finish_standard_output() ? 0 : 1;
  }
  if (!all && std::strcmp(argv[1], "--version") == 0) {
    bank::print_text(stdout, kVersion, {SYXBANK_VERSION});
    return bank::finish_standard_output() ? 0 : 1;
  }
  return list(argv[first], all);
}
