// The cancel of POSIX systems: a flag and a pipe. The signal handler sets
// the flag and writes a byte into the pipe; every wait polls the pipe's
// reading end beside what it waits for, so an interrupt that comes just
// before a wait begins still ends it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <iterator>

#include "cancel.h"

namespace bank {
namespace {

std::atomic<Cancel*> g_cancel{nullptr};

// What the interrupts did before they set the cancel.
constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_before[std::size(kInterrupts)];

extern "C" void on_interrupt(int /*signal*/) {
  const int saved = errno;
  if (Cancel* cancel = g_cancel.load()) cancel->cancel();
  errno = saved;
}

}  // namespace

Cancel::Cancel() {
  int fds[2] = {-1, -1};
  if (::pipe(fds) == 0) {
    read_fd_ = fds[0];
    write_fd_ = fds[1];
    for (const int fd : fds) {
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
      ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
  }
}

Cancel::~Cancel() {
  Cancel* self = this;
  if (g_cancel.compare_exchange_strong(self, nullptr))
    for (std::size_t i = 0; i < std::size(kInterrupts); ++i)
      sigaction(kInterrupts[i], &g_before[i], nullptr);
  if (read_fd_ >= 0) ::close(read_fd_);
  if (write_fd_ >= 0) ::close(write_fd_);
}

void Cancel::cancel() {
  flag_.store(true);
  if (write_fd_ < 0) return;
  const char byte = 1;
  const ssize_t written = ::write(write_fd_, &byte, 1);  // a full pipe is cancelled already
  static_cast<void>(written);
}

void cancel_on_interrupts(Cancel& cancel) {
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a blocked call returns EINTR
  if (g_cancel.exchange(&cancel) == nullptr)
    for (std::size_t i = 0; i < std::size(kInterrupts); ++i)
      sigaction(kInterrupts[i], &action, &g_before[i]);
}

bool SystemTimekeeper::wait_until(Clock::time_point deadline) {
  for (;;) {
    if (cancel_.cancelled()) return false;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return true;
    const int limit = cancel_.wake_fd() >= 0 ? 1000 : kCancelLookMs;
    pollfd p{cancel_.wake_fd(), POLLIN, 0};
    ::poll(&p, 1, static_cast<int>(std::min<std::int64_t>(left.count(), limit)));
  }
}

}  // namespace bank
