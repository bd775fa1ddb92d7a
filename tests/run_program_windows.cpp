// Starting a program on Windows: CreateProcess with its standard streams
// redirected to files. What it wrote in text mode is read back with CR LF
// as LF, so that the tests compare the same texts as on POSIX systems.
#include <windows.h>

#include <cwchar>
#include <stdexcept>

#include "run_program.h"

namespace testing_support {
namespace {

std::wstring wide(const std::string& utf8) { return utf8_path(utf8).wstring(); }

// One argument quoted as the C runtime splits a command line: backslashes
// are literal unless they come before a quote.
std::wstring quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t ch : arg) {
    if (ch == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(ch == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    out += ch;
  }
  out.append(2 * backslashes, L'\\');
  return out + L"\"";
}

HANDLE open_inheritable(const std::wstring& path, bool write) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  return ::CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string without_cr_before_lf(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  return out;
}

// This process's environment with `added` ("NAME=value") on top, as the
// block CreateProcessW takes.
std::wstring environment_with(const std::vector<std::string>& added) {
  std::wstring block;
  if (added.empty()) return block;
  const auto name_of = [](const std::wstring& v) { return v.substr(0, v.find(L'=', 1)); };
  std::vector<std::wstring> extra;
  for (const std::string& a : added) extra.push_back(wide(a));
  wchar_t* strings = ::GetEnvironmentStringsW();
  for (const wchar_t* v = strings; *v != L'\0'; v += std::wcslen(v) + 1) {
    const std::wstring variable = v;
    bool replaced = false;
    for (const std::wstring& e : extra) replaced = replaced || name_of(e) == name_of(variable);
    if (!replaced) block += variable + L'\0';
  }
  ::FreeEnvironmentStringsW(strings);
  for (const std::wstring& e : extra) block += e + L'\0';
  return block + L'\0';
}

}  // namespace

RunResult run_program(const std::string& program, const std::vector<std::string>& args,
                      const RunOptions& options) {
  const std::string dir = make_temp_dir();
  const std::string out_path = options.stdout_path.empty() ? dir + "\\out" : options.stdout_path;
  const std::string err_path = dir + "\\err";

  std::wstring command = quoted(wide(program));
  for (const std::string& a : args) command += L" " + quoted(wide(a));

  HANDLE in =
      open_inheritable(options.stdin_path.empty() ? L"NUL" : wide(options.stdin_path), false);
  HANDLE out = INVALID_HANDLE_VALUE;
  if (options.stdout_refuses) {
    // A pipe whose reading end is closed at once: every write fails.
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE reading = INVALID_HANDLE_VALUE;
    if (::CreatePipe(&reading, &out, &sa, 0)) ::CloseHandle(reading);
  } else {
    out = open_inheritable(wide(out_path), true);
  }
  HANDLE err = open_inheritable(wide(err_path), true);
  if (in == INVALID_HANDLE_VALUE || out == INVALID_HANDLE_VALUE || err == INVALID_HANDLE_VALUE)
    throw std::runtime_error("cannot open the streams of " + program);

  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = in;
  si.hStdOutput = out;
  si.hStdError = err;
  PROCESS_INFORMATION pi{};
  const std::wstring cwd = wide(options.working_directory);
  std::wstring environment = environment_with(options.environment);
  const BOOL started = ::CreateProcessW(
      wide(program).c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
      options.environment.empty() ? nullptr : environment.data(),
      options.working_directory.empty() ? nullptr : cwd.c_str(), &si, &pi);
  if (started && options.while_running) options.while_running(static_cast<int>(pi.dwProcessId));
  ::CloseHandle(in);
  ::CloseHandle(out);
  ::CloseHandle(err);
  if (!started) throw std::runtime_error("cannot start " + program);
  ::WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(pi.hProcess, &code);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);

  RunResult result;
  result.status = static_cast<int>(code);
  if (options.stdout_path.empty() && !options.stdout_refuses) result.raw_out = read_file(out_path);
  result.out = without_cr_before_lf(result.raw_out);
  result.err = without_cr_before_lf(read_file(err_path));
  remove_tree(dir);
  return result;
}

}  // namespace testing_support
