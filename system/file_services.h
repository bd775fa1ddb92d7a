// The few services of the operating system that the programs need beyond
// standard C++: opening files by UTF-8 names, reading what a file or pipe
// holds now, telling whether two names are one file, removing a file that a
// failed write left behind without touching anything else, and the process
// settings every run needs. Everything that differs between systems is kept
// here, in one implementation for POSIX systems and one for Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace bank {

// Characters that end a directory part of a path: '/' everywhere; on
// Windows also '\' and the ':' after a drive letter.
#ifdef _WIN32
inline constexpr std::string_view kPathSeparators = "\\/:";
#else
inline constexpr std::string_view kPathSeparators = "/";
#endif

// Settings for the whole run: a write past the file-size limit fails like
// any other write instead of ending the process by a signal; on Windows the
// console shows the UTF-8 that the programs print.
void prepare_process();

// The command-line arguments as UTF-8, whatever the system's code page,
// and pointers to them in the form of argv.
struct Arguments {
  std::vector<std::string> values;
  std::vector<const char*> argv;  // into `values`
};
void utf8_arguments(int argc, char** argv, Arguments& arguments);
// The values alone, as each system gives them.
std::vector<std::string> utf8_argument_values(int argc, char** argv);

#ifdef _WIN32
// Text between UTF-8 and the UTF-16 of Windows' wide calls.
std::wstring wide(const char* utf8);
std::string narrow(const wchar_t* utf16);
#endif

// Flushes and closes standard output, once a program has printed all it
// prints there. When anything printed was lost, says so on standard error
// ("Error: Cannot write standard output") and returns false.
bool finish_standard_output();

// std::fopen with a UTF-8 file name. On failure, `why` (when given) gets
// the system's words for the reason.
std::FILE* open_file(const char* path, const char* mode, std::string* why = nullptr);

// Reads what the file has now, up to buffer.size() bytes, without waiting
// for a full buffer (a pipe hands over what it holds). Returns the count, 0
// at the end of the file, or -1 on a read error.
std::int64_t read_some(std::FILE* file, std::span<std::uint8_t> buffer);

// True when `path` names the same file as the open `file` (a hard or
// symbolic link to it included). False when `path` does not exist yet.
bool names_open_file(const char* path, std::FILE* file);

// Flushes and closes `file`, which was opened as `path`. `written` tells
// whether every write to it succeeded. When anything was lost, no partial
// file may stay: a regular file is cut to zero length through the open
// file, and `path` is removed only while it still names that very file. A
// symbolic link, a device, a pipe, or a path that now names another file is
// never removed. Returns true when the whole output reached the file. The
// file should be unbuffered, so that nothing is left to be written after
// the cut.
bool close_output(std::FILE* file, const char* path, bool written);

// Writes `bytes` to `file` (opened as `path`) in one unbuffered write and
// closes it with close_output: the whole output, or no file.
bool write_whole_output(std::FILE* file, const char* path, std::span<const std::uint8_t> bytes);

// What the two implementations provide for close_output and
// names_open_file: a file's identity (device and inode, or volume and
// index), cutting an open file to zero length, and removing a name.
struct FileIdentity {
  bool known = false;
  bool regular = false;  // a regular file (not a device, pipe or console)
  bool link = false;     // a symbolic link (or other reparse point) itself
  std::uint64_t device = 0;
  std::uint64_t index = 0;
};
FileIdentity identity_of_open(std::FILE* file);
// With `follow_links` false, a link is itself and not its target.
FileIdentity identity_of_path(const char* path, bool follow_links);
void cut_to_zero(std::FILE* file);
void remove_file(const char* path);

}  // namespace bank
