// Watching a file for saves. A save is a change of the file (its time, its
// size, or its coming back after an editor renamed a new one over it) that
// then stays unchanged a moment, so that a file half written is read only
// once the editor is done with it.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

#include "port.h"

namespace bank {

class FileWatch {
 public:
  FileWatch() = default;
  FileWatch(const FileWatch&) = delete;
  FileWatch& operator=(const FileWatch&) = delete;
  virtual ~FileWatch() = default;
  // Waits for the next save; false when the wait was interrupted.
  virtual bool next_save() = 0;
};

// How often the file is looked at, and how long it must stay unchanged.
inline constexpr std::chrono::milliseconds kWatchPoll{10};
inline constexpr std::chrono::milliseconds kWatchSettle{30};

// What a look at a file sees.
struct FileState {
  bool exists = false;
  std::filesystem::file_time_type written{};
  std::uintmax_t size = 0;
  bool operator==(const FileState&) const = default;
};
FileState file_state(const std::string& path);

// A watch that looks at the file's status every kWatchPoll on `time`: the
// same code on every system, and no handle on the file, so an editor may
// delete it and write it again. `since` is the file as it was when it was
// last read: a save after that is the first one seen.
class PollingWatch final : public FileWatch {
 public:
  PollingWatch(std::string path, Timekeeper& time, const FileState& since);
  bool next_save() override;

 private:
  std::string path_;
  Timekeeper& time_;
  FileState last_;
};

}  // namespace bank
