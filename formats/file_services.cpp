// What the file services do alike on every system, over the primitives of
// file_services_posix.cpp and file_services_windows.cpp.
#include "file_services.h"

namespace bank {

void utf8_arguments(int argc, char** argv, Arguments& arguments) {
  arguments.values = utf8_argument_values(argc, argv);
  arguments.argv.clear();
  for (const std::string& value : arguments.values) arguments.argv.push_back(value.c_str());
}

bool names_open_file(const char* path, std::FILE* file) {
  const FileIdentity open = identity_of_open(file);
  const FileIdentity named = identity_of_path(path);
  return open.known && named.known && open.device == named.device && open.index == named.index;
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
  if (opened.regular) remove_if_same(path, opened);
  return false;
}

}  // namespace bank
