// File and process services on Windows. File names are UTF-8 inside the
// programs and UTF-16 for the system, so that any name works whatever the
// code page.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <climits>

#include "file_services.h"

namespace bank {
namespace {

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

HANDLE handle_of(std::FILE* file) {
  return reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
}

// The volume and index that identify a file, as POSIX has device and inode.
struct Identity {
  DWORD volume = 0;
  DWORD high = 0;
  DWORD low = 0;
  DWORD attributes = 0;
};

bool identity_of(HANDLE handle, Identity& id) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (handle == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(handle, &info)) return false;
  id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow, info.dwFileAttributes};
  return true;
}

// The identity of the file a path names; with `follow` false, of a link
// itself rather than its target.
bool identity_of(const char* path, bool follow, Identity& id) {
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  HANDLE handle =
      ::CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool ok = identity_of(handle, id);
  ::CloseHandle(handle);
  return ok;
}

bool same(const Identity& a, const Identity& b) {
  return a.volume == b.volume && a.high == b.high && a.low == b.low;
}

}  // namespace

void prepare_process() { ::SetConsoleOutputCP(CP_UTF8); }

std::vector<std::string> utf8_arguments(int argc, char** argv) {
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

std::FILE* open_file(const char* path, const char* mode) {
  return ::_wfopen(wide(path).c_str(), wide(mode).c_str());
}

std::int64_t read_some(std::FILE* file, std::span<std::uint8_t> buffer) {
  const auto size = static_cast<unsigned>(std::min<std::size_t>(buffer.size(), INT_MAX));
  return ::_read(::_fileno(file), buffer.data(), size);
}

bool names_open_file(const char* path, std::FILE* file) {
  Identity open_file;
  Identity named;
  return identity_of(handle_of(file), open_file) && identity_of(path, true, named) &&
         same(open_file, named);
}

bool close_output(std::FILE* file, const char* path, bool written) {
  Identity opened;
  const bool regular =
      ::GetFileType(handle_of(file)) == FILE_TYPE_DISK && identity_of(handle_of(file), opened);
  bool closed = false;
  if (std::fflush(file) == 0 && written) {
    closed = true;
    if (std::fclose(file) == 0) return true;
  }
  if (!closed) {
    if (regular) {
      const int cut = ::_chsize_s(::_fileno(file), 0);
      static_cast<void>(cut);
    }
    std::fclose(file);
  }
  Identity named;
  if (regular && identity_of(path, false, named) &&
      (named.attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && same(named, opened))
    ::_wremove(wide(path).c_str());
  return false;
}

}  // namespace bank
