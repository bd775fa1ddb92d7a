// Runs a built program as a child process and captures what it printed.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Skips a test that cannot mean anything on Windows, saying why.
#ifdef _WIN32
#define SKIP_ON_WINDOWS(reason) GTEST_SKIP() << "not on Windows: " << (reason)
#else
#define SKIP_ON_WINDOWS(reason) static_cast<void>(0)
#endif

namespace testing_support {

// A folder named as a file: POSIX opens it and fails to read it; Windows
// does not open it at all.
#ifdef _WIN32
inline constexpr const char* kFolderFault = "Error: Cannot open ";
#else
inline constexpr const char* kFolderFault = "Error: Cannot read ";
#endif

struct RunResult {
  int status = -1;      // exit status, or -1 when the program did not exit normally
  std::string out;      // standard output; on Windows with CR LF read as LF
  std::string err;      // standard error, likewise
  std::string raw_out;  // standard output as written
};

struct RunOptions {
  std::string stdin_path;         // empty: the null device
  std::string stdout_path;        // empty: captured into RunResult::out
  // Where standard error goes as it is written (POSIX only), read back into
  // RunResult::err at the end; empty: a file of the run's own.
  std::string stderr_path;
  std::string working_directory;  // empty: the test's own
  long file_size_limit = -1;      // bytes the child may write to a file; -1: no limit (POSIX only)
  bool stdout_refuses = false;    // standard output fails every write
  std::vector<std::string> environment;  // "NAME=value", added to the child's environment
  // Called with the child's process id while it runs, before it is waited
  // for: to signal it once a condition holds.
  std::function<void(int)> while_running;
};

// Options whose standard output fails every write: /dev/full on POSIX, a
// pipe that nobody reads on Windows.
inline RunOptions refusing_output() {
  RunOptions options;
  options.stdout_refuses = true;
  return options;
}

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options = {});

// A fresh empty directory under the system's temporary folder.
std::string make_temp_dir();

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);  // a link counts, whatever it points to
void remove_tree(const std::string& path);
std::filesystem::path utf8_path(const std::string& path);

}  // namespace testing_support
