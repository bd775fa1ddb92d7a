#include "file_services.h"

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

namespace bank {

void ignore_file_size_signal() {
#ifdef SIGXFSZ
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

bool names_open_file(const char* path, std::FILE* file) {
  struct stat open_file {};
  struct stat named {};
  if (::fstat(::fileno(file), &open_file) != 0 || ::stat(path, &named) != 0) return false;
  return open_file.st_dev == named.st_dev && open_file.st_ino == named.st_ino;
}

bool close_output(std::FILE* file, const char* path, bool written) {
  struct stat opened {};
  const bool regular = ::fstat(::fileno(file), &opened) == 0 && S_ISREG(opened.st_mode);
  bool closed = false;
  if (std::fflush(file) == 0 && written) {
    closed = true;
    if (std::fclose(file) == 0) return true;
  }
  if (!closed) {
    // Whatever happens to the name, no partial dump stays in the file. A
    // failed cut leaves only the removal below to do.
    if (regular) {
      const int cut = ::ftruncate(::fileno(file), 0);
      static_cast<void>(cut);
    }
    std::fclose(file);
  }
  struct stat named {};
  if (regular && ::lstat(path, &named) == 0 && S_ISREG(named.st_mode) &&
      named.st_dev == opened.st_dev && named.st_ino == opened.st_ino)
    std::remove(path);
  return false;
}

}  // namespace bank
