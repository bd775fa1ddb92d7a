// File and process services on POSIX systems (Linux, macOS, the BSDs).
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "file_services.h"

namespace bank {

void prepare_process() {
#ifdef SIGXFSZ
  std::signal(SIGXFSZ, SIG_IGN);
#endif
}

std::vector<std::string> utf8_argument_values(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

std::FILE* open_file(const char* path, const char* mode, std::string* why) {
  std::FILE* file = std::fopen(path, mode);
  if (file == nullptr && why != nullptr) *why = std::strerror(errno);
  return file;
}

std::int64_t read_some(std::FILE* file, std::span<std::uint8_t> buffer) {
  ssize_t got = 0;
  do {
    got = ::read(::fileno(file), buffer.data(), buffer.size());
  } while (got < 0 && errno == EINTR);
  return got;
}

namespace {

FileIdentity identity(const struct stat& st) {
  FileIdentity id;
  id.known = true;
  id.regular = S_ISREG(st.st_mode);
  id.link = S_ISLNK(st.st_mode);
  id.device = static_cast<std::uint64_t>(st.st_dev);
  id.index = static_cast<std::uint64_t>(st.st_ino);
  return id;
}

}  // namespace

FileIdentity identity_of_open(std::FILE* file) {
  struct stat st {};
  return ::fstat(::fileno(file), &st) == 0 ? identity(st) : FileIdentity{};
}

FileIdentity identity_of_path(const char* path, bool follow_links) {
  struct stat st {};
  const int got = follow_links ? ::stat(path, &st) : ::lstat(path, &st);
  return got == 0 ? identity(st) : FileIdentity{};
}

void cut_to_zero(std::FILE* file) {
  // A failed cut leaves only the removal of the name to do.
  const int cut = ::ftruncate(::fileno(file), 0);
  static_cast<void>(cut);
}

void remove_file(const char* path) { std::remove(path); }

}  // namespace bank
