// The MIDI ports of this system: a character device named by its path (a
// raw MIDI device, a serial port, a pseudo-terminal) or by ALSA's hw:C,D,S.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "port.h"

namespace bank {

enum class PortFault {
  none,
  not_a_port,   // the path names something that is no character device
  cannot_open,  // the system refused; `error` says why
  no_hw_names,  // hw: names on a system without raw MIDI devices
};

struct PortOpening {
  std::unique_ptr<Port> port;
  PortFault fault = PortFault::none;
  int error = 0;  // errno, with cannot_open
};

// Opens a port for writing, and for reading too with `with_input`. A
// terminal is put in raw mode (no echo, no translation, its speed kept)
// until the port is closed, when its settings are restored.
PortOpening open_port(const std::string& name, bool with_input);

// The raw MIDI ports of this system, as "hw:C,D,S" and the card's and the
// subdevice's names.
struct PortInfo {
  std::string id;    // hw:C,D,S
  std::string name;  // "card name: subdevice name"
};
std::vector<PortInfo> list_ports();

}  // namespace bank
