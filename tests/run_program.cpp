// File helpers of the program-level tests, the same on every system. Paths
// are UTF-8, as the programs take them.
#include "run_program.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testing_support {

namespace fs = std::filesystem;

fs::path utf8_path(const std::string& path) {
  return fs::path(std::u8string(path.begin(), path.end()));
}

std::string read_file(const std::string& path) {
  std::ifstream in(utf8_path(path), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(utf8_path(path), std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path);
}

bool file_exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(utf8_path(path), ec));
}

std::string make_temp_dir() {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path dir = fs::temp_directory_path() / ("syxbank-test-" + std::to_string(stamp) +
                                                      "-" + std::to_string(counter++));
    std::error_code ec;
    if (fs::create_directory(dir, ec)) {
      const std::u8string name = dir.u8string();
      return std::string(name.begin(), name.end());
    }
  }
  throw std::runtime_error("cannot make a temporary directory");
}

void remove_tree(const std::string& path) {
  std::error_code ec;
  fs::remove_all(utf8_path(path), ec);
}

}  // namespace testing_support
