#include "file_watch.h"

#include <system_error>

namespace bank {
namespace {

// The path of a name in UTF-8, as the programs take every name.
std::filesystem::path from_utf8(const std::string& name) {
  return {std::u8string(name.begin(), name.end())};
}

}  // namespace

PollingWatch::PollingWatch(std::string path, Timekeeper& time, const FileState& since)
    : path_(std::move(path)), time_(time), last_(since) {}

FileState file_state(const std::string& name) {
  FileState seen;
  std::error_code error;
  const std::filesystem::path path = from_utf8(name);
  seen.written = std::filesystem::last_write_time(path, error);
  if (error) return seen;
  seen.size = std::filesystem::file_size(path, error);
  seen.exists = !error;
  return seen;
}

bool PollingWatch::next_save() {
  for (;;) {
    if (!time_.wait_until(time_.now() + kWatchPoll)) return false;
    FileState now = file_state(path_);
    if (now == last_ || !now.exists) continue;
    // Changed: read once it has stayed so for a moment.
    for (;;) {
      if (!time_.wait_until(time_.now() + kWatchSettle)) return false;
      const FileState again = file_state(path_);
      if (again == now) break;
      now = again;
    }
    if (!now.exists) continue;
    last_ = now;
    return true;
  }
}

}  // namespace bank
