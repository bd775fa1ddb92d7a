// File and process services on POSIX systems (Linux, macOS, the BSDs).
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "file_services.h"

namespace bank {

void prepare_process() {
#ifdef SIGXFSZ
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

std::vector<std::string> utf8_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

std::FILE* open_file(const char* path, const char* mode) { return std::fopen(path, mode); }

std::int64_t read_some(std::FILE* file, std::span<std::uint8_t> buffer) {
  ssize_t got = 0;
  do {
    got = ::read(::fileno(file), buffer.data(), buffer.size());
  } while (got < 0 && errno == EINTR);
  return got;
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
