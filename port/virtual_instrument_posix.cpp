// The virtual instrument on POSIX systems: the master side of a
// pseudo-terminal carries the bytes between the model and the program that
// opens the slave side as its port. The slave side is held open here too,
// so that a program that closes the port does not hang the terminal up.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "instrument/instrument_model.h"
#include "virtual_instrument.h"

namespace bank {
namespace {

std::string system_words() { return std::strerror(errno); }

// Writes all of `bytes` to the master side, giving up at `cancel`.
bool write_all(int fd, std::span<const std::uint8_t> bytes, const Cancel& cancel) {
  while (!bytes.empty() && !cancel.cancelled()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n > 0) {
      bytes = bytes.subspan(static_cast<std::size_t>(n));
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      return false;
    } else {
      pollfd p[2] = {{fd, POLLOUT, 0}, {cancel.wake_fd(), POLLIN, 0}};
      ::poll(p, 2, kCancelLookMs);
    }
  }
  return true;
}

}  // namespace

bool play_virtual_instrument(const Cancel& cancel,
                             const std::function<void(const std::string&)>& opened,
                             std::string& error) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    error = system_words();
    if (master >= 0) ::close(master);
    return false;
  }
  const std::string port = ::ptsname(master);
  const int slave = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) {
    error = system_words();
    ::close(master);
    return false;
  }
  InstrumentModel model(InstrumentSettings{});
  opened(port);
  std::vector<std::uint8_t> buffer(4096);
  bool ok = true;
  while (ok && !cancel.cancelled()) {
    // Woken by the port's bytes, by the cancel, or when the model's next
    // bytes are due.
    int wait_ms = 1000;
    if (const auto next = model.next_due())
      wait_ms = static_cast<int>(std::clamp<std::int64_t>(
          std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now()).count(), 0, 1000));
    pollfd p[2] = {{master, POLLIN, 0}, {cancel.wake_fd(), POLLIN, 0}};
    ::poll(p, 2, cancel.wake_fd() >= 0 ? wait_ms : std::min(wait_ms, kCancelLookMs));
    const ssize_t n = ::read(master, buffer.data(), buffer.size());
    // EIO: no program has the port open; it waits for the next.
    if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO) {
      error = system_words();
      ok = false;
    }
    if (n > 0) model.take(std::span(buffer.data(), static_cast<std::size_t>(n)), Clock::now());
    const std::vector<std::uint8_t> answer = model.due(Clock::now());
    if (!answer.empty() && !write_all(master, answer, cancel)) {
      error = system_words();
      ok = false;
    }
  }
  ::close(slave);
  ::close(master);
  return ok;
}

}  // namespace bank
