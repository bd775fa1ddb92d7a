// The MIDI ports of this system: a character device named by its path (a
// raw MIDI device, a serial port, a pseudo-terminal) or by ALSA's hw:C,D,S.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cancel.h"
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
  std::string words;  // cannot_open: the system's words for why
  bool busy = false;  // cannot_open: another program holds the port
};

// Opens a port for writing, and for reading too with `with_input`; its
// waits end at `cancel`, which must outlive it. A terminal is put in raw
// mode (no echo, no translation, its speed kept) until the port is closed,
// when its settings are restored.
PortOpening open_port(const std::string& name, bool with_input, const Cancel& cancel);

// The raw MIDI ports of this system, as "hw:C,D,S" and the card's and the
// subdevice's names.
struct PortInfo {
  std::string id;    // hw:C,D,S
  std::string name;  // "card name: subdevice name"
};
std::vector<PortInfo> list_ports();

}  // namespace bank
