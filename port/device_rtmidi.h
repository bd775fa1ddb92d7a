// The ports of the host interfaces reached through RtMidi: the ALSA
// sequencer and JACK on Linux, CoreMIDI on macOS; each a row of the table
// of port kinds (backend_table.cpp).
#pragma once

#include "backend.h"

namespace bank {

PortOpening open_sequencer_port(std::string_view rest, bool with_input, const Cancel& cancel);
std::vector<PortInfo> list_sequencer_ports();
PortOpening open_jack_port(std::string_view rest, bool with_input, const Cancel& cancel);
std::vector<PortInfo> list_jack_ports();
PortOpening open_coremidi_port(std::string_view rest, bool with_input, const Cancel& cancel);
std::vector<PortInfo> list_coremidi_ports();

}  // namespace bank
