// What the file services do alike on every system, over the primitives of
// file_services_posix.cpp and file_services_windows.cpp.
#include "file_services.h"

#include "fixed_text.h"

namespace bank {
namespace {

bool same_file(const FileIdentity& a, const FileIdentity& b) {
  return a.known && b.known && a.device == b.device && a.index == b.index;
}

constexpr std::string_view kCannotWriteOutput = "Error: Cannot write standard output\n";

}  // namespace

bool write_whole_output(std::FILE* file, const char* path, std::span<const std::uint8_t> bytes) {
  std::setvbuf(file, nullptr, _IONBF, 0);  // one write of the whole output
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return close_output(file, path, written);
}

bool finish_standard_output() {
  const bool flushed = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
  if (std::fclose(stdout) == 0 && flushed) return true;
  print_text(stderr, kCannotWriteOutput);
  return false;
}

void utf8_arguments(int argc, char** argv, Arguments& arguments) {
  arguments.values = utf8_argument_values(argc, argv);
  arguments.argv.clear();
  for (const std::string& value : arguments.values) arguments.argv.push_back(value.c_str());
}

bool names_open_file(const char* path, std::FILE* file) {
  return same_file(identity_of_open(file), identity_of_path(path, true));
}

bool close_output(std::FILE* file, const char* path, bool written) {
  const FileIdentity opened = identity_of_open(file);
  if (std::fflush(file) == 0 && written) {
    if (std::fclose(file) == 0) return true;
  } else {
    // Whatever happens to the name, no partial dump stays in the file.
    if (opened.regular) cut_to_zero(file);
    std::fclose(file);
  }
  // The name goes only while it names that very file, not a link to it.
  const FileIdentity named = identity_of_path(path, false);
  if (opened.regular && named.regular && !named.link && same_file(named, opened)) remove_file(path);
  return false;
}

}  // namespace bank
