#include "rtmidi_hosts.h"

#include <algorithm>

#include "formats/message_layout.h"

namespace bank {
namespace {

bool alsa(const RtMidiHost& host) { return host.prefix == kSequencerHost.prefix; }
bool named_alone(const RtMidiHost& host) { return host.prefix == kCoreMidiHost.prefix; }

// What makes two listed ports one port both ways: an ALSA port's numbers,
// any other's whole name.
std::string key_of(const RtMidiHost& host, const HostPort& p) {
  return alsa(host) && !p.client_number.empty() ? p.client_number + ":" + p.port_number
                                                : p.listed;
}

std::string id_of(const RtMidiHost& host, const HostPort& p) {
  return std::string(host.prefix) + ":" + key_of(host, p);
}

bool is_number(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(),
                                      [](char ch) { return ch >= '0' && ch <= '9'; });
}

// The indices of the ports of `list` that the parts name; no port part:
// every port of the client.
std::vector<std::size_t> named(const std::vector<HostPort>& list, std::string_view client,
                               const std::optional<std::string_view>& port) {
  std::vector<std::size_t> found;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const HostPort& p = list[i];
    const bool client_is = p.client == client || (!p.client_number.empty() && p.client_number == client);
    const bool port_is =
        !port || p.port == *port || (!p.port_number.empty() && p.port_number == *port);
    if (client_is && port_is) found.push_back(i);
  }
  return found;
}

std::string ids_of(const RtMidiHost& host, const std::vector<HostPort>& list,
                   const std::vector<std::size_t>& which) {
  std::string text;
  for (const std::size_t i : which) {
    if (!text.empty()) text += ", ";
    text += id_of(host, list[i]);
  }
  return text;
}

}  // namespace

HostPort host_port_of(const RtMidiHost& host, const std::string& listed) {
  HostPort p;
  p.listed = listed;
  p.client = listed;
  if (named_alone(host)) return p;
  std::string_view names = listed;
  if (alsa(host)) {
    // "client name:port name C:P": the numbers after the last space.
    const std::size_t space = names.rfind(' ');
    if (space != std::string_view::npos) {
      const std::string_view numbers = names.substr(space + 1);
      const std::size_t colon = numbers.find(':');
      if (colon != std::string_view::npos && is_number(numbers.substr(0, colon)) &&
          is_number(numbers.substr(colon + 1))) {
        p.client_number = numbers.substr(0, colon);
        p.port_number = numbers.substr(colon + 1);
        names = names.substr(0, space);
      }
    }
  }
  const std::size_t colon = names.find(':');
  p.client = names.substr(0, colon);
  if (colon != std::string_view::npos) p.port = names.substr(colon + 1);
  return p;
}

PortChoice choose_ports(const RtMidiHost& host, std::string_view rest,
                        const std::vector<HostPort>& outputs, const std::vector<HostPort>& inputs,
                        bool with_input) {
  std::string_view client = rest;
  std::optional<std::string_view> port;
  if (const std::size_t colon = rest.find(':');
      !named_alone(host) && colon != std::string_view::npos) {
    client = rest.substr(0, colon);
    port = rest.substr(colon + 1);
  }
  PortChoice choice;
  const std::vector<std::size_t> out_named = named(outputs, client, port);
  const std::vector<std::size_t> in_named = named(inputs, client, port);
  if (out_named.empty() && in_named.empty()) {
    choice.fault = PortFault::no_such_port;
    for (const PortInfo& line : host_port_lines(host, outputs, inputs))
      choice.words += (choice.words.empty() ? "" : ", ") + line.id;
    return choice;
  }
  // One direction: the port named, or the client's one port that way.
  const auto pick = [&](const std::vector<HostPort>& list, const std::vector<std::size_t>& exact,
                        std::string_view direction) -> std::optional<std::size_t> {
    const std::vector<std::size_t> found = exact.empty() ? named(list, client, std::nullopt) : exact;
    if (found.size() == 1) return found.front();
    if (choice.fault != PortFault::none) return std::nullopt;
    if (found.empty()) {
      choice.fault = PortFault::one_way;
      choice.words = direction;
    } else {
      choice.fault = PortFault::ambiguous;
      choice.words = ids_of(host, list, found);
    }
    return std::nullopt;
  };
  choice.output = pick(outputs, out_named, "output");
  if (with_input) choice.input = pick(inputs, in_named, "input");
  return choice;
}

std::vector<PortInfo> host_port_lines(const RtMidiHost& host, const std::vector<HostPort>& outputs,
                                      const std::vector<HostPort>& inputs) {
  std::vector<PortInfo> lines;
  const auto shown = [&](const HostPort& p, std::string_view directions) {
    const std::string name = p.port.empty() ? p.client : p.client + ":" + p.port;
    return PortInfo{id_of(host, p),
                    name + " (" + std::string(host.label) + "; " + std::string(directions) + ")"};
  };
  const auto in_list = [&](const std::vector<HostPort>& list, const HostPort& p) {
    return std::any_of(list.begin(), list.end(),
                       [&](const HostPort& q) { return key_of(host, q) == key_of(host, p); });
  };
  for (const HostPort& p : outputs)
    lines.push_back(shown(p, in_list(inputs, p) ? "input and output" : "output only"));
  for (const HostPort& p : inputs)
    if (!in_list(outputs, p)) lines.push_back(shown(p, "input only"));
  return lines;
}

std::optional<std::vector<std::span<const std::uint8_t>>> host_pieces(
    PieceRule rule, std::span<const std::uint8_t> bytes, bool in_message, std::size_t most) {
  std::vector<std::span<const std::uint8_t>> pieces;
  if (bytes.empty()) return pieces;
  if (rule == PieceRule::whole_messages) {
    const bool whole = !in_message && bytes.front() >= 0x80 && bytes.front() != kSysExEnd &&
                       (bytes.front() != kSysExStart || bytes.back() == kSysExEnd);
    if (!whole) return std::nullopt;
    pieces.push_back(bytes);
    return pieces;
  }
  bool open = in_message;
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t limit = most;
    if (!open && bytes[at] == kSysExStart) {
      open = true;
    } else if (open) {
      if (rule == PieceRule::short_parts) limit = std::min<std::size_t>(limit, 3);
    }
    std::size_t end = at + 1;
    // Outside a message each other message is a piece of its own; inside
    // one the piece ends with it.
    while (end < bytes.size() && end - at < limit) {
      if (open && bytes[end - 1] == kSysExEnd) break;
      if (!open && bytes[end] >= 0x80) break;
      if (open && bytes[end] == kSysExStart) break;
      ++end;
    }
    const std::span<const std::uint8_t> piece = bytes.subspan(at, end - at);
    if (open && std::find(piece.begin(), piece.end(), kSysExEnd) != piece.end()) open = false;
    pieces.push_back(piece);
    at = end;
  }
  return pieces;
}

}  // namespace bank
