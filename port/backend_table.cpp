// The one table of port kinds. A kind this build lacks has no row: its
// names are then taken for the system's own and refused as such.
#include "backend.h"

#if SYXPORT_HAVE_RTMIDI
#include "device_rtmidi.h"
#endif

namespace bank {
namespace {

constexpr PortBackend kBackends[] = {
#if SYXPORT_HAVE_RTMIDI && defined(__linux__)
    {"seq", open_sequencer_port, list_sequencer_ports},
    {"jack", open_jack_port, list_jack_ports},
#endif
#if SYXPORT_HAVE_RTMIDI && defined(__APPLE__)
    {"coremidi", open_coremidi_port, list_coremidi_ports},
#endif
    // Last: it takes every name the rows before it leave.
    {"", open_device_port, list_device_ports},
};

}  // namespace

std::span<const PortBackend> port_backends() { return kBackends; }

}  // namespace bank
