// A stand-in for the instrument on a pseudo-terminal, for the tests of
// syxport: the program (or the transfer functions) open the terminal's
// slave side as their port, and the instrument answers on the master side
// as the real one does on its MIDI cable:
// - memory protect is on at power-up, and a bank dump is ignored while it
//   is; F0 43 75 0s 10 21 00 F7 switches it off;
// - a bank dump whose next block begins less than `min_block_gap` after
//   the end of the one before is dropped whole (an overrun);
// - only messages for its own system number are heard;
// - a bank request F0 43 75 0s 20 00 0b F7 is answered with the bank, paced
//   at `bytes_per_second`; a stored bank keeps the instrument's own bytes
//   7-31 of the bank-name block (a space in byte 7, as real dumps hold);
// - on demand: silence, a status message instead of the bank, active
//   sensing inside its answers, damaged answers, an echo of every byte it
//   gets, dropped dumps.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "formats/bank_data.h"

namespace testing_support {

using Clock = std::chrono::steady_clock;

struct InstrumentSettings {
  int system_number = 0;
  std::chrono::milliseconds min_block_gap{5};
  double bytes_per_second = 0;     // 0: answers at once; MIDI: 3125
  bool silent = false;             // never answers
  std::optional<int> status_code;  // answers requests with F0 43 60 cc F7
  bool active_sensing = false;     // FE among the bytes of its answers
  int damaged_answers = 0;         // the first N answers carry a bad checksum
  bool echo = false;               // every byte it gets goes straight back
  int dropped_dumps = 0;           // the first N dumps are lost
};

// A sample bank for bank `n`: name "Bank n", voices from sample_voice.
bank::BankData sample_bank(int n);

class VirtualInstrument {
 public:
  explicit VirtualInstrument(const InstrumentSettings& settings);
  ~VirtualInstrument();
  VirtualInstrument(const VirtualInstrument&) = delete;
  VirtualInstrument& operator=(const VirtualInstrument&) = delete;

  // The path of the terminal's slave side: the port to open.
  const std::string& port() const { return port_; }
  // The slave side, held open by the instrument so that the master never
  // sees the port closed; tests read its settings through it.
  int slave_fd() const { return slave_; }

  struct Arrival {
    Clock::time_point at;
    std::vector<std::uint8_t> bytes;
  };
  // Everything received so far, as it arrived.
  std::vector<Arrival> arrivals();
  std::vector<std::uint8_t> received();
  bank::BankData bank(int n);
  int dumps_stored();
  int requests();
  // Waits up to `limit` for `count` dumps to have been stored (the last
  // bytes of a dump sent without verification may still be on their way).
  int wait_for_dumps(int count, std::chrono::milliseconds limit);

 private:
  void run();
  void take(const std::vector<std::uint8_t>& bytes, Clock::time_point at);
  void heard(const std::vector<std::uint8_t>& message, const std::vector<Clock::time_point>& times);
  void answer(int bank_number);
  void send(const std::vector<std::uint8_t>& bytes);

  InstrumentSettings settings_;
  std::string port_;
  int master_ = -1;
  int slave_ = -1;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<Arrival> arrivals_;
  std::array<bank::BankData, 7> banks_{};
  bool protect_ = true;
  int dumps_stored_ = 0;
  int dumps_dropped_ = 0;
  int requests_ = 0;
  int damaged_ = 0;
  std::vector<std::uint8_t> message_;  // the System Exclusive message being received
  std::vector<Clock::time_point> times_;
  std::thread thread_;
};

}  // namespace testing_support
