#include "backend.h"

namespace bank {

PortOpening open_port(const std::string& name, bool with_input, const Cancel& cancel) {
  for (const PortBackend& backend : port_backends()) {
    const std::string_view prefix = backend.prefix;
    if (prefix.empty())
      return backend.open(name, with_input, cancel);
    if (name.size() > prefix.size() && name.starts_with(prefix) && name[prefix.size()] == ':')
      return backend.open(std::string_view(name).substr(prefix.size() + 1), with_input, cancel);
  }
  PortOpening none;
  none.fault = PortFault::not_a_port;
  return none;
}

std::vector<PortInfo> list_ports() {
  // The system's own first, as they always were, then the others in the
  // table's order.
  std::vector<PortInfo> ports = list_device_ports();
  for (const PortBackend& backend : port_backends()) {
    if (backend.prefix.empty()) continue;
    std::vector<PortInfo> found = backend.list();
    ports.insert(ports.end(), found.begin(), found.end());
  }
  return ports;
}

}  // namespace bank
