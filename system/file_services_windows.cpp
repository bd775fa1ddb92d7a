// File and process services on Windows. File names are UTF-8 inside the
// programs and UTF-16 for the system, so that any name works whatever the
// code page.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "file_services.h"

namespace bank {
namespace {

HANDLE handle_of(std::FILE* file) {
  return reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
}

// The volume and index that identify a file, as POSIX has device and inode.
FileIdentity identity_of(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  FileIdentity id;
  if (handle == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(handle, &info)) return id;
  id.known = true;
  id.regular = ::GetFileType(handle) == FILE_TYPE_DISK &&
               (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  id.device = info.dwVolumeSerialNumber;
  id.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  id.link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return id;
}

}  // namespace

std::wstring wide(const char* utf8) {
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  if (length <= 0) return std::wstring();
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, text.data(), length);
  text.resize(static_cast<std::size_t>(length - 1));
  return text;
}

std::string narrow(const wchar_t* utf16) {
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, utf16, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string text(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, utf16, -1, text.data(), length, nullptr, nullptr);
  text.resize(static_cast<std::size_t>(length - 1));
  return text;
}

void prepare_process() { ::SetConsoleOutputCP(CP_UTF8); }

std::vector<std::string> utf8_argument_values(int argc, char** argv) {
  int count = 0;
  wchar_t** wide_args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide_args == nullptr || count != argc) {
    if (wide_args != nullptr) ::LocalFree(wide_args);
    return std::vector<std::string>(argv, argv + argc);
  }
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) args.push_back(narrow(wide_args[i]));
  ::LocalFree(wide_args);
  return args;
}

std::FILE* open_file(const char* path, const char* mode, std::string* why) {
  std::FILE* file = ::_wfopen(wide(path).c_str(), wide(mode).c_str());
  if (file == nullptr && why != nullptr) *why = std::strerror(errno);
  return file;
}

std::int64_t read_some(std::FILE* file, std::span<std::uint8_t> buffer) {
  const auto size = static_cast<unsigned>(std::min<std::size_t>(buffer.size(), INT_MAX));
  return ::_read(::_fileno(file), buffer.data(), size);
}

FileIdentity identity_of_open(std::FILE* file) { return identity_of(handle_of(file)); }

FileIdentity identity_of_path(const char* path, bool follow_links) {
  const DWORD flags =
      FILE_FLAG_BACKUP_SEMANTICS | (follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  HANDLE handle =
      ::CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return FileIdentity{};
  const FileIdentity id = identity_of(handle);
  ::CloseHandle(handle);
  return id;
}

void cut_to_zero(std::FILE* file) {
  // A failed cut leaves only the removal of the name to do.
  const int cut = ::_chsize_s(::_fileno(file), 0);
  static_cast<void>(cut);
}

void remove_file(const char* path) { ::_wremove(wide(path).c_str()); }

}  // namespace bank
