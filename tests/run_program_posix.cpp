// Starting a program on POSIX systems: fork, redirect, exec.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

#include "run_program.h"

namespace testing_support {

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options) {
  const std::string dir = make_temp_dir();
  const std::string out_path = options.stdout_refuses        ? std::string("/dev/full")
                               : options.stdout_path.empty() ? dir + "/out"
                                                             : options.stdout_path;
  const std::string err_path = options.stderr_path.empty() ? dir + "/err" : options.stderr_path;

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int in =
        ::open(options.stdin_path.empty() ? "/dev/null" : options.stdin_path.c_str(), O_RDONLY);
    const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    for (const std::string& variable : options.environment)
      ::putenv(const_cast<char*>(variable.c_str()));
    if (!options.working_directory.empty() && ::chdir(options.working_directory.c_str()) != 0)
      ::_exit(126);
    if (options.file_size_limit >= 0) {
      // SIGXFSZ keeps its default action: the programs must see to it that
      // a write past the limit fails instead of killing them.
      ::signal(SIGXFSZ, SIG_DFL);
      const rlimit limit{static_cast<rlim_t>(options.file_size_limit),
                         static_cast<rlim_t>(options.file_size_limit)};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
    }
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  if (options.while_running) options.while_running(static_cast<int>(pid));
  int wstatus = 0;
  ::waitpid(pid, &wstatus, 0);

  RunResult result;
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  const bool captured = options.stdout_path.empty() && !options.stdout_refuses;
  if (captured) result.out = read_file(out_path);
  result.raw_out = result.out;
  result.err = read_file(err_path);
  if (options.stderr_path.empty()) ::unlink(err_path.c_str());
  if (captured) ::unlink(out_path.c_str());
  ::rmdir(dir.c_str());
  return result;
}

}  // namespace testing_support
