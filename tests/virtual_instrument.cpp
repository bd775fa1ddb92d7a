#include "virtual_instrument.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "dump_fixtures.h"
#include "formats/header.h"
#include "formats/message_layout.h"
#include "port/answer.h"

namespace testing_support {

bank::BankData sample_bank(int n) {
  bank::BankData data;
  data.bank_number = n;
  const std::string name = "Bank " + std::to_string(n) + " ";
  std::copy(name.begin(), name.end(), data.name_block.begin());
  data.name_block[7] = ' ';
  for (int v = 0; v < bank::kVoiceCount; ++v)
    data.voices[static_cast<std::size_t>(v)] =
        sample_voice("V" + std::to_string(n) + "-" + std::to_string(v + 1), n * 50 + v);
  // Voices as owners' banks hold them: an operator off and the output bits
  // clear; a user code and a bit that no value holds.
  data.voices[0][11] = 0x70;
  data.voices[0][12] &= 0x3F;
  data.voices[1][7] = 0x20;
  data.voices[1][16] |= 0x80;
  return data;
}

VirtualInstrument::VirtualInstrument(const InstrumentSettings& settings) : settings_(settings) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
    throw std::runtime_error("no pseudo-terminal");
  port_ = ::ptsname(master_);
  slave_ = ::open(port_.c_str(), O_RDWR | O_NOCTTY);
  if (slave_ < 0) throw std::runtime_error("cannot open the pseudo-terminal's slave");
  for (int n = 0; n < 7; ++n) banks_[static_cast<std::size_t>(n)] = sample_bank(n);
  thread_ = std::thread([this] { run(); });
}

VirtualInstrument::~VirtualInstrument() {
  stop_ = true;
  thread_.join();
  ::close(slave_);
  ::close(master_);
}

std::vector<VirtualInstrument::Arrival> VirtualInstrument::arrivals() {
  const std::lock_guard lock(mutex_);
  return arrivals_;
}

std::vector<std::uint8_t> VirtualInstrument::received() {
  std::vector<std::uint8_t> all;
  for (const Arrival& a : arrivals()) all.insert(all.end(), a.bytes.begin(), a.bytes.end());
  return all;
}

bank::BankData VirtualInstrument::bank(int n) {
  const std::lock_guard lock(mutex_);
  return banks_[static_cast<std::size_t>(n)];
}

int VirtualInstrument::dumps_stored() {
  const std::lock_guard lock(mutex_);
  return dumps_stored_;
}

int VirtualInstrument::wait_for_dumps(int count, std::chrono::milliseconds limit) {
  const Clock::time_point until = Clock::now() + limit;
  while (dumps_stored() < count && Clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return dumps_stored();
}

int VirtualInstrument::requests() {
  const std::lock_guard lock(mutex_);
  return requests_;
}

void VirtualInstrument::run() {
  std::vector<std::uint8_t> buffer(4096);
  while (!stop_) {
    pollfd p{master_, POLLIN, 0};
    ::poll(&p, 1, 2);
    const ssize_t n = ::read(master_, buffer.data(), buffer.size());
    if (n <= 0) continue;
    const std::vector<std::uint8_t> bytes(buffer.begin(), buffer.begin() + n);
    const Clock::time_point at = Clock::now();
    {
      const std::lock_guard lock(mutex_);
      arrivals_.push_back({at, bytes});
    }
    if (settings_.echo) send(bytes);
    take(bytes, at);
  }
}

// Gathers System Exclusive messages; real-time bytes are not part of them.
void VirtualInstrument::take(const std::vector<std::uint8_t>& bytes, Clock::time_point at) {
  for (const std::uint8_t byte : bytes) {
    if (bank::is_real_time(byte)) continue;
    if (byte == bank::kSysExStart) {
      message_.clear();
      times_.clear();
    }
    if (message_.empty() && byte != bank::kSysExStart) continue;
    message_.push_back(byte);
    times_.push_back(at);
    if (byte == bank::kSysExEnd) {
      heard(message_, times_);
      message_.clear();
      times_.clear();
    }
  }
}

void VirtualInstrument::heard(const std::vector<std::uint8_t>& m,
                              const std::vector<Clock::time_point>& times) {
  if (m.size() < 8 || m[1] != bank::kManufacturerId || m[2] != bank::kBankDumpId ||
      m[3] != settings_.system_number)
    return;
  if (m.size() == 8 && m[4] == 0x10 && m[5] == 0x21 && m[6] == 0x00) {
    const std::lock_guard lock(mutex_);
    protect_ = false;
    return;
  }
  if (m.size() == 8 && m[4] == 0x20 && m[5] == 0x00) {
    {
      const std::lock_guard lock(mutex_);
      ++requests_;
    }
    answer(m[6]);
    return;
  }
  if (m.size() != bank::kMessageSize || m[4] != 0 || m[5] != 0 || m[6] > 1) return;
  // Each block must begin at least min_block_gap after the last one ended.
  for (int v = 1; v <= bank::kVoiceCount; ++v) {
    const std::size_t begins = bank::voice_block_offset(v);
    if (times[begins] - times[begins - 1] < settings_.min_block_gap) return;  // overrun
  }
  bank::InputStream in = bank::memory_input(m);
  const bank::Answer dump = bank::read_answer(in);
  const std::lock_guard lock(mutex_);
  if (protect_ || dump.kind != bank::AnswerKind::bank) return;
  if (dumps_dropped_ < settings_.dropped_dumps) {
    ++dumps_dropped_;
    return;
  }
  bank::BankData& kept = banks_[m[6]];
  std::copy_n(dump.bank.name_block.begin(), bank::kNameLength, kept.name_block.begin());
  kept.voices = dump.bank.voices;
  ++dumps_stored_;
}

void VirtualInstrument::answer(int bank_number) {
  if (settings_.silent) return;
  std::vector<std::uint8_t> bytes;
  if (settings_.status_code || bank_number > 6) {
    bytes = {0xF0, 0x43, 0x60, static_cast<std::uint8_t>(settings_.status_code.value_or(1)), 0xF7};
  } else {
    bank::BankData data = bank(bank_number);
    data.system_number = settings_.system_number;
    data.bank_number = bank_number;
    std::array<std::uint8_t, bank::kMessageSize> dump{};
    bank::encode_bank_dump(data, dump);
    if (damaged_ < settings_.damaged_answers) {
      ++damaged_;
      dump[bank::voice_block_offset(5) + 130] ^= 0x01;  // voice 5's checksum
    }
    for (std::size_t i = 0; i < dump.size(); ++i) {
      if (settings_.active_sensing && i % 500 == 250) bytes.push_back(0xFE);
      bytes.push_back(dump[i]);
    }
  }
  // Paced in pieces, as a cable at the given rate would bring them.
  constexpr std::size_t kPiece = 64;
  const Clock::time_point start = Clock::now();
  for (std::size_t at = 0; at < bytes.size() && !stop_; at += kPiece) {
    if (settings_.bytes_per_second > 0)
      std::this_thread::sleep_until(
          start + std::chrono::microseconds(static_cast<std::int64_t>(
                      1e6 * static_cast<double>(at) / settings_.bytes_per_second)));
    send({bytes.begin() + static_cast<std::ptrdiff_t>(at),
          bytes.begin() + static_cast<std::ptrdiff_t>(std::min(at + kPiece, bytes.size()))});
  }
}

void VirtualInstrument::send(const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size() && !stop_) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else {
      pollfd p{master_, POLLOUT, 0};
      ::poll(&p, 1, 2);
    }
  }
}

}  // namespace testing_support
