#include "audition.h"

#include <algorithm>
#include <array>

#include "file_watch.h"
#include "formats/config_kind.h"
#include "formats/header.h"
#include "formats/message_reader.h"
#include "message_file.h"
#include "system/file_services.h"
#include "system/file_source.h"
#include "formats/field_layout.h"
#include "formats/voice_kind.h"
#include "system/fixed_text.h"
#include "text/config_text.h"

namespace bank {
namespace {

// The lines of an audition, kept word for word (see system/fixed_text.h).
constexpr std::string_view kSentLine = "Voice %d \"%s\" sent to instrument %d (MIDI channel %s)";
constexpr std::string_view kNotAVoice = "Error: %s holds a configuration, not a voice\n";

constexpr std::uint8_t kNoteOn = 0x90;
constexpr std::uint8_t kNoteOff = 0x80;

std::string name_of(const VoiceData& voice) {
  std::string name;
  for (std::size_t i = 0; i < kNameLength; ++i)
    name += name_byte_sent_as_space(voice[i]) ? ' ' : static_cast<char>(voice[i]);
  return name;
}

}  // namespace

InstrumentPlace find_instrument(Port& port, Timekeeper& time, const AuditionSettings& settings,
                                TransferStatus& status, TransferResult& result) {
  TransferSettings asking;
  asking.system_number = settings.system_number;
  asking.tries = 1;
  asking.timeout = settings.timeout;
  result = receive_message(port, time, ConfigKind(kCurrentConfig), asking, status);
  InstrumentPlace place;
  const std::optional<ConfigData> config = config_of_dump(result.message);
  if (result.outcome != Outcome::done || !config) return place;
  const std::size_t base = kConfigInstrumentOffset +
                           static_cast<std::size_t>(settings.instrument) * kConfigInstrumentSize;
  place.known = true;
  place.notes = config->bytes[base + kInstrumentFields[0].offset];
  place.channel = config->bytes[base + kInstrumentFields[1].offset] & 0x0F;
  return place;
}

PortResult send_voice(Port& port, const VoiceData& voice, const AuditionSettings& settings) {
  return port.send(single_voice_message(voice, settings.system_number, settings.instrument));
}

PortResult play_test_note(Port& port, Timekeeper& time, const AuditionSettings& settings,
                          std::optional<int> channel, bool& sounding) {
  if (!settings.note || !channel) return {};
  const std::array<std::uint8_t, 3> on{static_cast<std::uint8_t>(kNoteOn | *channel),
                                       static_cast<std::uint8_t>(*settings.note & 0x7F),
                                       kTestVelocity};
  const PortResult sent = port.send(on);
  if (sent.state != PortState::ok) return sent;
  sounding = true;
  const bool waited = time.wait_until(time.now() + kTestNoteLength);
  const PortResult released = release_note(port, settings, *channel);
  sounding = false;
  if (!waited) return port_result(PortState::cancelled);
  return released;
}

PortResult release_note(Port& port, const AuditionSettings& settings, int channel) {
  const std::array<std::uint8_t, 3> off{static_cast<std::uint8_t>(kNoteOff | channel),
                                        static_cast<std::uint8_t>(settings.note.value_or(0) & 0x7F),
                                        0};
  return port.send(off);
}

std::vector<int> changed_voices(const BankData& before, const BankData& after) {
  std::vector<int> changed;
  for (std::size_t v = 0; v < before.voices.size(); ++v)
    if (before.voices[v] != after.voices[v]) changed.push_back(static_cast<int>(v) + 1);
  return changed;
}

std::string voice_changes(const VoiceData& before, const VoiceData& after, std::size_t most) {
  std::vector<std::string> changes;
  if (name_of(before) != name_of(after))
    changes.push_back("name \"" + name_of(before) + "\" -> \"" + name_of(after) + "\"");
  const auto compare = [&changes](std::span<const std::uint8_t> a, std::span<const std::uint8_t> b,
                                  const FieldLayout& layout, const std::string& prefix) {
    const int was = unpack_field(a, layout);
    const int now = unpack_field(b, layout);
    if (was != now)
      changes.push_back(filled_text("%s%s %d -> %d", {prefix, layout.label, was, now}));
  };
  for (std::size_t f = 0; f < kVoiceFieldCount; ++f)
    compare(before, after, voice_field_layout(static_cast<VoiceField>(f)), "");
  for (int op = 0; op < kOperatorCount; ++op)
    for (std::size_t f = 0; f < kOperatorFieldCount; ++f)
      compare(operator_data(std::span<const std::uint8_t, kVoiceDataSize>(before), op),
              operator_data(std::span<const std::uint8_t, kVoiceDataSize>(after), op),
              operator_field_layout(static_cast<OperatorField>(f)), filled_text("OP%d ", {op + 1}));
  // Bits no value holds: what the RAW line carries.
  for (std::size_t i = 0; i < kVoiceDataSize; ++i) {
    const int free = free_voice_bits(i);
    if ((before[i] & free) != (after[i] & free))
      changes.push_back(filled_text("RAW %d %d -> %d", {i, before[i] & free, after[i] & free}));
  }
  std::string text;
  for (std::size_t i = 0; i < changes.size() && i < most; ++i)
    text += (i > 0 ? ", " : "") + changes[i];
  if (changes.size() > most) text += filled_text(" and %d more", {changes.size() - most});
  return text;
}

AuditionFile read_audition_file(const char* path) {
  AuditionFile file;
  std::string why;
  std::FILE* opened = open_file(path, "rb", &why);
  if (opened != nullptr) {
    // A single voice: F0 43 75 0s 08+i 00 00 and one voice block.
    InputStream in = file_input(opened);
    std::optional<MessageReading> message;
    if (peek_byte(in) == kSysExStart) message = begin_message(in, kVoiceMessageReceived);
    Block block;
    const bool single = message && message->header.form == MessageForm::single_voice &&
                        read_next_block(in, *message, block).fault == BlockFault::none &&
                        block.data.size() == kVoiceDataSize;
    std::fclose(opened);
    if (single) {
      std::copy(block.data.begin(), block.data.end(), file.bank.voices[0].begin());
      file.single = file.ok = true;
      return file;
    }
  }
  const MessageToSend read = read_message_to_send(path, false, {}, {}, {});
  file.said = read.said;
  if (!read.ok) return file;
  if (read.message.form != StoredMessage::Form::bank) {
    file.said += filled_text(kNotAVoice, {path});
    return file;
  }
  file.bank = read.message.bank;
  file.ok = true;
  return file;
}

std::string sent_line(int number, const VoiceData& voice, const AuditionSettings& settings,
                      std::optional<int> channel, const std::string& changes,
                      const std::vector<int>& others) {
  std::string line = filled_text(
      kSentLine, {number, name_of(voice), settings.instrument + 1,
                  channel ? std::to_string(*channel + 1) : std::string("unknown")});
  if (!changes.empty()) line += ": " + changes;
  if (!others.empty()) {
    std::array<bool, kVoiceCount> flags{};
    for (const int v : others) flags[static_cast<std::size_t>(v - 1)] = true;
    int count = 0;
    const std::string runs = number_runs(flags, count);
    line += (count == 1 ? "; voice " : "; voices ") + runs + " changed too";
  }
  return line + "\n";
}

PortResult keep_auditioning(Port& port, Timekeeper& time, FileWatch& watch, const char* path,
                            std::optional<int> voice, AuditionFile last,
                            const AuditionSettings& settings, std::optional<int> channel,
                            AuditionReport& report, bool& sounding) {
  while (watch.next_save()) {
    AuditionFile now = read_audition_file(path);
    if (!now.ok) {
      report.said(now.said);
      continue;  // the last good one stays what it was
    }
    std::vector<int> changed = changed_voices(last.bank, now.bank);
    if (voice) {
      const int n = *voice;
      changed.assign(std::find(changed.begin(), changed.end(), n) != changed.end() ? 1 : 0, n);
    }
    if (changed.empty()) {
      last = now;
      continue;
    }
    const int n = changed.front();
    const auto index = static_cast<std::size_t>(n - 1);
    const PortResult sent = send_voice(port, now.bank.voices[index], settings);
    if (sent.state != PortState::ok) return sent.state == PortState::cancelled ? PortResult{} : sent;
    report.sent(sent_line(n, now.bank.voices[index], settings, channel,
                          voice_changes(last.bank.voices[index], now.bank.voices[index]),
                          {changed.begin() + 1, changed.end()}));
    last = now;
    const PortResult played = play_test_note(port, time, settings, channel, sounding);
    if (played.state != PortState::ok)
      return played.state == PortState::cancelled ? PortResult{} : played;
  }
  return {};
}

}  // namespace bank
