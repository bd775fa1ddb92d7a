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

BOOL WINAPI on_console_event(DWORD event) {
  Cancel* cancel = g_cancel.load();
  if (cancel == nullptr) return FALSE;
  cancel->cancel();
  // The console's close ends the process once this returns: the main flow
  // is given the time to close the open message and give the port back.
  if (event == CTRL_CLOSE_EVENT) ::Sleep(3000);
  return TRUE;
}

// The C runtime's form of Ctrl-C and Ctrl-Break, for a process whose
// console events reach it as signals.
extern "C" void on_signal(int signal) {
  if (Cancel* cancel = g_cancel.load()) cancel->cancel();
  std::signal(signal, on_signal);  // the runtime puts the default back
}

}  // namespace

Cancel::Cancel() : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

Cancel::~Cancel() {
  Cancel* self = this;
  g_cancel.compare_exchange_strong(self, nullptr);
  if (event_ != nullptr) ::CloseHandle(event_);
}

void Cancel::cancel() { ::SetEvent(event_); }

bool Cancel::cancelled() const { return ::WaitForSingleObject(event_, 0) == WAIT_OBJECT_0; }

void cancel_on_interrupts(Cancel& cancel) {
  g_cancel.store(&cancel);
  std::signal(SIGINT, on_signal);
  std::signal(SIGBREAK, on_signal);
  ::SetConsoleCtrlHandler(on_console_event, TRUE);
}

bool SystemTimekeeper::wait_until(Clock::time_point deadline) {
  for (;;) {
    if (cancel_.cancelled()) return false;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return true;
    ::WaitForSingleObject(cancel_.wake_event(),
                          static_cast<DWORD>(std::min<std::int64_t>(left.count(), 1000)));
  }
}

}  // namespace bank
