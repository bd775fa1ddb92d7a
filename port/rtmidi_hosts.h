// What the host interfaces reached through RtMidi (the ALSA sequencer,
// JACK, CoreMIDI) are like, apart from the library: how each names its
// ports, how a syxport port name picks the pair of them that reaches an
// instrument, and in what pieces each takes the bytes of a message.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device.h"

namespace bank {

// How a host hands a message's bytes on:
// - any: as they are given, a part of a System Exclusive message too
//   (JACK);
// - short_parts: a part that does not begin a message in no more than 3
//   bytes at a time (RtMidi's CoreMIDI refuses a longer one);
// - whole_messages: only whole messages (RtMidi's ALSA sequencer encoder
//   holds back or mangles a part of a System Exclusive message).
enum class PieceRule { any, short_parts, whole_messages };

// A host: its prefix in syxport's port names, its name in the listing and
// in messages, and what it takes.
struct RtMidiHost {
  std::string_view prefix;  // "seq", "jack", "coremidi"
  std::string_view label;   // "ALSA sequencer", "JACK", "CoreMIDI"
  PieceRule pieces;
};
inline constexpr RtMidiHost kSequencerHost{"seq", "ALSA sequencer", PieceRule::whole_messages};
inline constexpr RtMidiHost kJackHost{"jack", "JACK", PieceRule::any};
inline constexpr RtMidiHost kCoreMidiHost{"coremidi", "CoreMIDI", PieceRule::short_parts};

// A port as its host lists it, in parts: a JACK port "client:port"; an ALSA
// sequencer port "client name:port name C:P", with its numbers; a CoreMIDI
// endpoint by its name alone, as the client with no port.
struct HostPort {
  std::string listed;  // the whole name RtMidi gives
  std::string client;
  std::string port;
  std::string client_number;  // ALSA only
  std::string port_number;
};
HostPort host_port_of(const RtMidiHost& host, const std::string& listed);

// The pair of ports that `rest` (the name after "PREFIX:") names: CLIENT or
// CLIENT:PORT, each part a name or (ALSA) a number. CLIENT:PORT names one
// port, or one each way where both directions have it (an ALSA port); the
// other direction follows from the client where it has one port that way.
// CLIENT alone names the client's one port each way. The input is looked
// for only `with_input`.
struct PortChoice {
  std::optional<std::size_t> output;  // index among the outputs (the ports sent to)
  std::optional<std::size_t> input;
  PortFault fault = PortFault::none;
  std::string words;  // no_such_port: the ports there are; one_way: "input" or "output"
};
PortChoice choose_ports(const RtMidiHost& host, std::string_view rest,
                        const std::vector<HostPort>& outputs, const std::vector<HostPort>& inputs,
                        bool with_input);

// The lines of 'syxport ports' for a host's ports: each port once, by the
// name that opens it, with its directions.
std::vector<PortInfo> host_port_lines(const RtMidiHost& host, const std::vector<HostPort>& outputs,
                                      const std::vector<HostPort>& inputs);

// The pieces in which `bytes` (the next bytes of the stream a port sends,
// `in_message` when a System Exclusive message is already open) go to the
// host, none larger than `most`; nothing when the host cannot take them.
std::optional<std::vector<std::span<const std::uint8_t>>> host_pieces(
    PieceRule rule, std::span<const std::uint8_t> bytes, bool in_message, std::size_t most);

}  // namespace bank
