// The kinds of MIDI port syxport reaches, chosen by the port's name at run
// time: a name that begins with a row's prefix and a colon ("seq:20:0",
// "jack:fb01:in") is that row's, and any other name is the system's own
// (a path or hw:C,D[,S] on POSIX, a device's number or name on Windows).
// Each kind is one file that fills a row of one table (backend_table.cpp).
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device.h"

namespace bank {

struct PortBackend {
  std::string_view prefix;  // empty: the system's own ports
  // Opens the port named `rest`: the name after the prefix and its colon.
  PortOpening (*open)(std::string_view rest, bool with_input, const Cancel& cancel);
  std::vector<PortInfo> (*list)();
};

// Every kind this build reaches, the system's own last.
std::span<const PortBackend> port_backends();

// The system's own ports (device_posix.cpp, device_win32.cpp).
PortOpening open_device_port(std::string_view name, bool with_input, const Cancel& cancel);
std::vector<PortInfo> list_device_ports();

}  // namespace bank
