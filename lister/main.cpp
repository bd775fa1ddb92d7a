// syx2text: checks a voice-bank bulk dump and prints it as bank text.
//
// The listing goes to standard output block by block, so a fault in voice n
// leaves the bank name and voices 1 to n-1 listed. Errors go to standard
// error; the status is 0 only after a complete listing.
#include <cstdio>
#include <cstring>
#include <string>

#include "formats/input_stream.h"
#include "list_dump.h"

namespace {

constexpr const char* kUsage = "Usage: %s bulkdump.syx\n";

// Fixed error texts, by the status that raises them.
const char* error_message(bank::ListStatus status) {
  switch (status) {
    case bank::ListStatus::not_bulk_dump:
      return "Error: \"%s\" is not contain the FB-01 inst bulk data.\n";
    case bank::ListStatus::checksum_error: return "Error: Checksum error..\n";
    case bank::ListStatus::unexpected_end: return "Error: Unexpected end of file..\n";
    case bank::ListStatus::block_size_error: return "Error: Block size error..\n";
    case bank::ListStatus::read_error: return "Error: Cannot read %s\n";
    case bank::ListStatus::ok: break;
  }
  return "";
}

// Flushes the listing; a listing that could not be written is a failure.
bool finish_output() {
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return true;
  std::fputs("Error: Cannot write standard output\n", stderr);
  return false;
}

int list(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "Error: Cannot open %s\n", path);
    return 1;
  }
  bank::InputStream in = bank::file_input(file);
  bank::ListStatus status = bank::check_dump_header(in);
  std::string text;
  for (int i = 0; status == bank::ListStatus::ok && i < bank::kListedBlockCount; ++i) {
    text.clear();
    status = bank::list_block(in, i, text);
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size()) break;
  }
  std::fclose(file);
  // What was listed goes out before the error that ended the listing.
  const bool written = finish_output();
  if (status != bank::ListStatus::ok) {
    std::fprintf(stderr, error_message(status), path);
    return 1;
  }
  return written ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const char* program = argc > 0 ? argv[0] : "syx2text";
  if (argc < 2) {
    std::printf(kUsage, program);
    finish_output();
    return 1;
  }
  if (std::strcmp(argv[1], "--help") == 0) {
    std::printf(kUsage, program);
    return finish_output() ? 0 : 1;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("syx2text %s\n", BANK_VERSION);
    return finish_output() ? 0 : 1;
  }
  return list(argv[1]);
}
