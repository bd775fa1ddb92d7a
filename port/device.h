// The MIDI ports of this system, behind one interface, each kind chosen by
// the port's name (backend.h): on POSIX systems a character device named by
// its path (a raw MIDI device, a serial port, a pseudo-terminal) or by
// ALSA's hw:C,D,S (device_posix.cpp); on Windows a device of the system's
// MIDI interface named by its number or its name (device_win32.cpp); where
// RtMidi is built in, the ALSA sequencer's and JACK's ports, or CoreMIDI's
// (device_rtmidi.cpp).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cancel.h"
#include "port.h"

namespace bank {

enum class PortFault {
  none,
  not_a_port,    // the path names something that is no character device
  cannot_open,   // the system refused; `words` says why
  no_hw_names,   // hw: names on a system without raw MIDI devices
  no_such_port,  // no port has that number or name; `words` lists the names
  one_way,       // the port lacks a direction the transfer needs; `words` names it
  ambiguous,     // the name fits more than one port; `words` lists them
};

struct PortOpening {
  std::unique_ptr<Port> port;
  PortFault fault = PortFault::none;
  std::string words;  // the system's words, or what the fault names
  bool busy = false;  // cannot_open: another program holds the port
};

// Opens a port for writing, and for reading too with `with_input`; its
// waits end at `cancel`, which must outlive it. A terminal is put in raw
// mode (no echo, no translation, its speed kept) until the port is closed,
// when its settings are restored.
PortOpening open_port(const std::string& name, bool with_input, const Cancel& cancel);

// The MIDI ports of this system: on POSIX, "hw:C,D,S" and the card's and
// the subdevice's names; on Windows, the device's number and its name with
// its directions; then each other kind's, by the names that open them
// ("seq:20:0", "jack:fb01:in") with their host and directions.
struct PortInfo {
  std::string id;
  std::string name;
};
std::vector<PortInfo> list_ports();

}  // namespace bank
