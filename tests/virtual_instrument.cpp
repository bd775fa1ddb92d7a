#include "virtual_instrument.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace testing_support {

VirtualInstrument::VirtualInstrument(const InstrumentSettings& settings) : ModelCarrier(settings) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
    throw std::runtime_error("no pseudo-terminal");
  port_ = ::ptsname(master_);
  slave_ = ::open(port_.c_str(), O_RDWR | O_NOCTTY);
  if (slave_ < 0) throw std::runtime_error("cannot open the pseudo-terminal's slave");
  thread_ = std::thread([this] { run(); });
}

VirtualInstrument::~VirtualInstrument() {
  hang_up();
  ::close(slave_);
}

void VirtualInstrument::hang_up() {
  if (!thread_.joinable()) return;
  stop_ = true;
  thread_.join();
  ::close(master_);
}

std::vector<InstrumentModel::Arrival> ModelCarrier::arrivals() {
  return look([](const InstrumentModel& m) { return m.arrivals(); });
}

std::vector<std::uint8_t> ModelCarrier::received() {
  return look([](const InstrumentModel& m) { return m.received(); });
}

bool ModelCarrier::wait_for(const std::function<bool(const InstrumentModel&)>& holds,
                                 std::chrono::milliseconds limit) {
  const Clock::time_point until = Clock::now() + limit;
  while (!look(holds)) {
    if (Clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void VirtualInstrument::inject(const std::vector<std::uint8_t>& bytes) { send(bytes); }

void VirtualInstrument::run() {
  std::vector<std::uint8_t> buffer(4096);
  while (!stop_) {
    // Woken by the port's bytes, or when the model's next bytes are due.
    int wait_ms = 20;
    {
      const std::lock_guard lock(mutex_);
      if (const auto next = model_.next_due())
        wait_ms = static_cast<int>(std::clamp<std::int64_t>(
            std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now()).count(), 0, 20));
    }
    pollfd p{master_, POLLIN, 0};
    ::poll(&p, 1, wait_ms);
    const ssize_t n = ::read(master_, buffer.data(), buffer.size());
    std::vector<std::uint8_t> answer;
    {
      const std::lock_guard lock(mutex_);
      if (n > 0) model_.take(std::span(buffer.data(), static_cast<std::size_t>(n)), Clock::now());
      answer = model_.due(Clock::now());
    }
    if (!answer.empty()) send(answer);
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
