// Runs a built program as a child process and captures what it printed.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

struct RunResult {
  int status = -1;  // exit status, or -1 when the program did not exit normally
  std::string out;
  std::string err;
};

struct RunOptions {
  std::string stdin_path = "/dev/null";
  std::string stdout_path;        // empty: captured into RunResult::out
  std::string working_directory;  // empty: the test's own
  long file_size_limit = -1;      // bytes the child may write to a file; -1: no limit
};

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options = {});

// A fresh empty directory under the system's temporary folder.
std::string make_temp_dir();

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);

}  // namespace testing_support
