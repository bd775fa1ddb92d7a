// The cancel of Windows: a manual-reset event. Ctrl-C, Ctrl-Break and the
// console's close set it, whether they come as console events or as the C
// runtime's signals; every wait waits on it beside what it waits for.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdint>

#include "cancel.h"

namespace bank {
namespace {

std::atomic<Cancel*> g_cancel{nullptr};
// Console events come on a thread of their own: the cancel is not ended
// while one of them is using it.
std::atomic<int> g_handlers_running{0};

BOOL WINAPI on_console_event(DWORD event) {
  ++g_handlers_running;
  Cancel* cancel = g_cancel.load();
  if (cancel != nullptr) cancel->cancel();
  --g_handlers_running;
  if (cancel == nullptr) return FALSE;
  // The console's close ends the process once this returns: the main flow
  // is given the time to close the open message and give the port back.
  if (event == CTRL_CLOSE_EVENT) ::Sleep(3000);
  return TRUE;
}

// The C runtime's form of Ctrl-C and Ctrl-Break, for a process whose
// console events reach it as signals.
extern "C" void on_signal(int signal) {
  if (Cancel* cancel = g_cancel.load()) {
    cancel->cancel();
    std::signal(signal, on_signal);  // the runtime puts the default back
  }
}

}  // namespace

Cancel::Cancel() : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

Cancel::~Cancel() {
  Cancel* self = this;
  if (g_cancel.compare_exchange_strong(self, nullptr)) {
    ::SetConsoleCtrlHandler(on_console_event, FALSE);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGBREAK, SIG_DFL);
    while (g_handlers_running.load() != 0) ::Sleep(1);
  }
  if (event_ != nullptr) ::CloseHandle(event_);
}

void Cancel::cancel() {
  flag_.store(true);
  if (event_ != nullptr) ::SetEvent(event_);
}

void cancel_on_interrupts(Cancel& cancel) {
  if (g_cancel.exchange(&cancel) != nullptr) return;
  std::signal(SIGINT, on_signal);
  std::signal(SIGBREAK, on_signal);
  ::SetConsoleCtrlHandler(on_console_event, TRUE);
}

bool SystemTimekeeper::wait_until(Clock::time_point deadline) {
  for (;;) {
    if (cancel_.cancelled()) return false;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return true;
    const std::int64_t limit = cancel_.wake_event() != nullptr ? 1000 : kCancelLookMs;
    if (cancel_.wake_event() != nullptr)
      ::WaitForSingleObject(cancel_.wake_event(),
                            static_cast<DWORD>(std::min<std::int64_t>(left.count(), limit)));
    else
      ::Sleep(static_cast<DWORD>(std::min<std::int64_t>(left.count(), limit)));
  }
}

}  // namespace bank
