#include <signal.h>
#include <time.h>

#include <cerrno>

#include "interrupts.h"

namespace bank {
namespace {

volatile sig_atomic_t g_interrupted = 0;

extern "C" void on_interrupt(int /*signal*/) { g_interrupted = 1; }

}  // namespace

void catch_interrupts() {
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a blocked call returns EINTR
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

bool interrupted() { return g_interrupted != 0; }

bool wait_until(Clock::time_point deadline) {
  while (!interrupted()) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return true;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    timespec span{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    nanosleep(&span, nullptr);  // EINTR: the loop looks at the flag
  }
  return false;
}

}  // namespace bank
