// SIGINT, SIGTERM and SIGHUP during a transfer: each only sets a flag, and
// every wait of the transfer ends early once it is set, so that the program
// can end an open System Exclusive message, restore the port's settings and
// say so before it exits.
#pragma once

#include "port.h"

namespace bank {

// Installs the handlers (without restarting system calls, so that a wait in
// one ends at the signal).
void catch_interrupts();
bool interrupted();

// Waits until `deadline`; false when an interrupt ended the wait.
bool wait_until(Clock::time_point deadline);

}  // namespace bank
