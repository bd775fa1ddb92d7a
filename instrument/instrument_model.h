// The instrument as syxport's tests and 'syxport virtual' meet it: what it
// does with the bytes it gets and what it answers, in one place, carried by
// a pseudo-terminal (the virtual instrument, in the program and the tests),
// by a port in memory on a clock a test moves, or by the tests' stand-in
// for the system's MIDI library on Windows:
// - memory protect is on at power-up, and a bank dump is ignored while it
//   is; F0 43 75 0s 10 21 00 F7 switches it off;
// - a bank dump whose next block begins less than `min_block_gap` after
//   the end of the one before is dropped whole (an overrun);
// - only messages for its own system number are heard;
// - a bank request F0 43 75 0s 20 00 0b F7 is answered with the bank, paced
//   at `bytes_per_second` in pieces of 64 bytes; a stored bank keeps the
//   instrument's own bytes 7-31 of the bank-name block (a space in byte 7,
//   as real dumps hold);
// - it holds the current configuration and 20 configuration memories, of
//   which 17-20 are presets that nothing overwrites; a configuration is
//   asked for with F0 43 75 0s 20 01 00 F7 (the current one) or 20 02 nn;
//   a current-configuration dump always makes it current; a memory is
//   written, with protect off, by its own dump (the one route) or by
//   F0 43 75 0s 20 40 nn F7 at least a second after the current
//   configuration's dump (the other), as the settings say it takes them;
// - a single voice F0 43 75 0s 08+i 00 00 ... F7 goes into instrument i's
//   buffer at once, whatever the memory protect; notes on and off (90 and
//   80 status bytes, running status too) are recorded with their times;
// - on demand: silence, a status message instead of the bank, active
//   sensing inside its answers, damaged answers, an echo of every byte it
//   gets, dropped dumps.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string_view>
#include <span>
#include <vector>

#include "formats/bank_data.h"
#include "formats/config_dump.h"
#include "formats/message_layout.h"

namespace bank {

using Clock = std::chrono::steady_clock;

struct InstrumentSettings {
  int system_number = 0;
  std::chrono::milliseconds min_block_gap{100};  // what the real one needs
  double bytes_per_second = 3125;                // MIDI's rate; 0: answers at once
  bool silent = false;                           // never answers
  std::optional<int> status_code{};              // answers requests with F0 43 60 cc F7
  bool active_sensing = false;                   // FE among the bytes of its answers
  int damaged_answers = 0;                       // the first N answers carry a bad checksum
  bool echo = false;                             // every byte it gets goes straight back
  int dropped_dumps = 0;                         // the first N dumps are lost
  // A byte sent on its own every `tick_every` for ever, beside everything
  // else: active sensing (FE, 300 ms), clock (F8, 20 ms), a device that
  // floods the cable with zeros (00, 320 us).
  std::optional<std::uint8_t> tick{};
  std::chrono::microseconds tick_every{0};
  // The routes into a configuration memory it takes: a memory's dump, and
  // the message that stores the current configuration in a memory.
  bool stores_memory_dumps = true;
  bool stores_current_config = true;
};


// Voice data with the given name and every field of the standard lines set
// from `seed`, so that voices differ from one another, with no value above
// what the instrument knows; the EXT line's fields at their presets, no
// free bit set: a voice as the compiler writes it.
VoiceData sample_voice(std::string_view name, int seed);

// A sample bank for bank `n`: name "Bank n", voices from sample_voice, and
// voices 1 and 2 with the bits owners' banks hold beyond the standard lines.
BankData sample_bank(int n);

// A sample configuration for memory `n` (kCurrentConfig for the current
// one): its name "Conf n", values from `n`, and bytes that no field holds
// set, as owners' configurations may have them.
ConfigData sample_config(int n);

class InstrumentModel {
 public:
  explicit InstrumentModel(const InstrumentSettings& settings);

  // Bytes that arrive, the first at `first` and each next `per_byte` later.
  void take(std::span<const std::uint8_t> bytes, Clock::time_point first,
            Clock::duration per_byte = Clock::duration::zero());
  // The answer's bytes due by `now`, taken from the queue.
  std::vector<std::uint8_t> due(Clock::time_point now);
  // When the next answer bytes are due; nothing when none are queued.
  std::optional<Clock::time_point> next_due() const;

  struct Arrival {
    Clock::time_point at;
    std::vector<std::uint8_t> bytes;
  };
  const std::vector<Arrival>& arrivals() const { return arrivals_; }
  std::vector<std::uint8_t> received() const;
  const BankData& bank(int n) const { return banks_[static_cast<std::size_t>(n)]; }
  // What instrument `i` (0-7) plays: the last single voice it got.
  const std::optional<VoiceData>& buffer(int i) const {
    return buffers_[static_cast<std::size_t>(i)];
  }
  struct Note {
    Clock::time_point at;
    int channel;   // 0-15
    int key;
    int velocity;  // 0: off
  };
  const std::vector<Note>& notes() const { return notes_; }
  // Memory `n` (0-19), or the current configuration.
  const ConfigData& config(int n) const {
    return n == kCurrentConfig ? current_ : configs_[static_cast<std::size_t>(n)];
  }
  int dumps_stored() const { return dumps_stored_; }
  int requests() const { return requests_; }
  // Messages that began while it was still sending an answer.
  int spoken_over() const { return spoken_over_; }
  // The least silence before a voice block of the dumps it got.
  Clock::duration least_block_gap() const { return least_gap_; }

 private:
  void heard(Clock::time_point at);
  void answer(std::vector<std::uint8_t> message, std::size_t damage_at, Clock::time_point at);
  void heard_config(Clock::time_point at);
  void heard_channel_byte(std::uint8_t byte, Clock::time_point at);

  struct Piece {
    Clock::time_point at;
    std::vector<std::uint8_t> bytes;
  };
  InstrumentSettings settings_;
  std::vector<Arrival> arrivals_;
  std::array<BankData, 7> banks_{};
  ConfigData current_;
  std::array<std::optional<VoiceData>, 8> buffers_{};
  std::vector<Note> notes_;
  std::vector<std::uint8_t> channel_message_;  // a note message being received
  int running_status_ = 0;
  std::array<ConfigData, kConfigMemoryCount> configs_{};
  std::optional<Clock::time_point> current_dump_at_;  // when a current configuration came
  bool protect_ = true;
  int dumps_stored_ = 0;
  int dumps_dropped_ = 0;
  int requests_ = 0;
  int damaged_ = 0;
  int spoken_over_ = 0;
  Clock::time_point answer_until_{};  // when the last answer's last piece is due
  std::optional<Clock::time_point> next_tick_;  // from the first byte the model takes
  Clock::duration least_gap_ = Clock::duration::max();
  std::vector<std::uint8_t> message_;  // the System Exclusive message being received
  std::vector<Clock::time_point> times_;
  std::deque<Piece> queue_;
};

}  // namespace bank
