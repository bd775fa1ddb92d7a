#include "message_file.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "text/bank_state.h"
#include "compiler/dump_builder.h"
#include "text/text_compile.h"
#include "system/file_services.h"
#include "system/file_source.h"
#include "system/fixed_text.h"
#include "formats/midi_file.h"
#include "formats/bank_kind.h"
#include "formats/midi_writer.h"
#include "text/config_text.h"
#include "lister/list_dump.h"

namespace bank {
namespace {

// Whether `name` ends with `ending` (lower case) in any letter case, with
// something before it: "BANK.SYX" is a dump as "bank.syx" is.
bool ends_with(std::string_view name, std::string_view ending) {
  if (name.size() <= ending.size()) return false;
  const std::string_view tail = name.substr(name.size() - ending.size());
  return std::equal(tail.begin(), tail.end(), ending.begin(), [](char a, char b) {
    return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
  });
}

// Opens `path` in `mode`, or says why not.
std::FILE* open_or_say(const char* path, const char* mode, std::string& said) {
  std::string why;
  std::FILE* file = open_file(path, mode, &why);
  if (file == nullptr) {
    append_text(said, kCannotOpenText, {path});
    append_text(said, kSystemSaysText, {why});
  }
  return file;
}

// The error of a dump in a file that fails its checks, in syx2text's words.
std::string damaged_words(BankFault fault, const char* path) {
  ListStatus status = ListStatus::read_error;
  switch (fault) {
    case BankFault::none:
    case BankFault::checksum: status = ListStatus::checksum_error; break;
    case BankFault::block_size: status = ListStatus::block_size_error; break;
    case BankFault::cut: status = ListStatus::unexpected_end; break;
    case BankFault::read_error: status = ListStatus::read_error; break;
  }
  return filled_text("Error: " + std::string(list_error_words(status)) + "\n", {path});
}

// Bytes written whole to `path`, or to standard output for "-".
bool write_bytes(const std::string& path, std::span<const std::uint8_t> bytes,
                 std::string& error) {
  if (path == "-") {
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
    if (!written) append_text(error, kCannotWriteText, {std::string_view("standard output")});
    return written;
  }
  std::FILE* out = open_or_say(path.c_str(), "wb", error);
  if (out == nullptr) return false;
  if (!write_whole_output(out, path.c_str(), bytes)) {
    append_text(error, kCannotWriteText, {path});
    return false;
  }
  return true;
}

// The System Exclusive data of a file: a MIDI file's events, or the file.
struct SysexInput {
  explicit SysexInput(std::FILE* file) : whole(file_input(file)) {
    if (is_midi_file(whole)) {
      midi.emplace(whole);
      sysex.emplace(source_input(*midi));
    }
  }
  InputStream& stream() { return sysex ? *sysex : whole; }
  InputStream whole;
  std::optional<MidiSysexSource> midi;
  std::optional<InputStream> sysex;
};

}  // namespace

std::vector<std::uint8_t> dump_of(const StoredMessage& message) {
  if (message.form == StoredMessage::Form::bank) return dump_of_bank(message.bank);
  const ConfigDump dump = encode_config_dump(message.config);
  return {dump.begin(), dump.end()};
}

StoredMessage with_dump(const StoredMessage& asked, std::span<const std::uint8_t> dump) {
  StoredMessage message = asked;
  if (asked.form == StoredMessage::Form::bank) {
    if (const auto bank = bank_of_dump(dump)) message.bank = *bank;
  } else if (const auto config = config_of_dump(dump)) {
    message.config = *config;
  }
  return message;
}

std::unique_ptr<MessageKind> kind_of(const StoredMessage& message, ConfigRoute route) {
  if (message.form == StoredMessage::Form::bank)
    return std::make_unique<BankKind>(message.bank.bank_number);
  return std::make_unique<ConfigKind>(message.config.memory, route);
}

std::string message_name(const StoredMessage& message) {
  if (message.form == StoredMessage::Form::bank)
    return filled_text("Bank %d", {message.bank.bank_number});
  if (message.config.memory == kCurrentConfig) return "The current configuration";
  return filled_text("Configuration %d", {message.config.memory + 1});
}

bool is_storable(const StoredMessage& message) {
  return message.form == StoredMessage::Form::bank ? bank_is_storable(message.bank.bank_number)
                                                   : config_is_storable(message.config.memory);
}

FileMessages read_file_messages(const char* path) {
  FileMessages result;
  std::FILE* file = open_or_say(path, "rb", result.said);
  if (file == nullptr) return result;
  SysexInput input(file);
  InputStream& in = input.stream();
  while (skip_to_byte(in, kSysExStart)) {
    StoredMessage message;
    BankFault fault = BankFault::none;
    std::optional<MessageReading> reading = begin_message(in, kVoiceMessageReceived);
    if (const auto header = reading ? config_header_of(reading->header) : std::nullopt) {
      const DecodedConfig decoded = read_config_body(in, *header);
      message.form = StoredMessage::Form::config;
      message.config = decoded.config;
      fault = decoded.fault;
    } else if (reading && reading->header.form == MessageForm::bank_dump) {
      const DecodedBank decoded = decode_received_bank(in, *reading);
      message.bank = decoded.bank;
      fault = decoded.fault;
    } else {
      continue;  // passed over from where its reading stopped, its F0 read
    }
    if (fault != BankFault::none) {
      std::fclose(file);
      result.said = damaged_words(fault, path);
      return result;
    }
    result.messages.push_back(message);
  }
  const bool read_failed = failed(in);
  std::fclose(file);
  if (read_failed) {
    append_text(result.said, kCannotReadText, {path});
    return result;
  }
  if (result.messages.empty()) {
    append_text(result.said, "Error: " + std::string(list_error_words(ListStatus::not_bank_dump)) + "\n", {path});
    return result;
  }
  result.ok = true;
  return result;
}


namespace {

MessageToSend read_config_to_send(const char* path, bool warnings,
                                  std::optional<int> system_number,
                                  std::optional<int> config_memory) {
  MessageToSend result;
  std::FILE* file = open_or_say(path, "rb", result.said);
  if (file == nullptr) return result;
  InputStream text = file_input(file);
  ConfigData preset;
  preset.system_number = system_number.value_or(0);
  preset.memory = config_memory.value_or(kCurrentConfig);
  const ConfigReading reading = read_config_text(text, preset, warnings);
  std::fclose(file);
  result.said = reading.warnings;
  if (!reading.accepted()) {
    result.said += config_text_error(reading, path);
    return result;
  }
  result.message.form = StoredMessage::Form::config;
  result.message.config = reading.config;
  result.ok = true;
  return result;
}

}  // namespace

MessageToSend read_message_to_send(const char* path, bool warnings,
                                   std::optional<int> system_number,
                                   std::optional<int> bank_number,
                                   std::optional<int> config_memory) {
  MessageToSend result;
  std::FILE* file = open_or_say(path, "rb", result.said);
  if (file == nullptr) return result;
  InputStream in = file_input(file);
  const std::span<const std::uint8_t> start = peek_bytes(in, 1);
  if (is_midi_file(in) || (!start.empty() && start[0] == kSysExStart)) {
    // A dump, alone or in a MIDI file: a bank dump listed as syx2text lists
    // it, and sent as the bank that listing shows; else a configuration.
    BankData bank;
    Listing listing;
    listing.bank = &bank;
    const ScanSummary summary = list_file(in, listing, false);
    std::fclose(file);
    if (summary.status == ListStatus::not_bank_dump && summary.config_elsewhere &&
        !summary.voice_data_elsewhere) {
      const FileMessages found = read_file_messages(path);
      const auto config = std::find_if(found.messages.begin(), found.messages.end(),
                                       [](const StoredMessage& m) {
                                         return m.form == StoredMessage::Form::config;
                                       });
      if (!found.ok || config == found.messages.end()) {
        result.said = found.said;
        return result;
      }
      result.message = *config;
      if (system_number) result.message.config.system_number = *system_number;
      if (config_memory) result.message.config.memory = *config_memory;
      result.ok = true;
      return result;
    }
    if (summary.status != ListStatus::ok) {
      append_text(result.said, "Error: " + std::string(list_error_words(summary.status)) + "\n",
                  {path});
      return result;
    }
    if (system_number) bank.system_number = *system_number;
    if (bank_number) bank.bank_number = *bank_number;
    result.message.bank = bank;
    result.ok = true;
    return result;
  }
  // A text: a bank text, or a configuration text told at its CONFIG line
  // and read again from the start.
  auto state = std::make_unique<BankState>();
  state->system_number = system_number.value_or(0);
  state->bank_number = bank_number.value_or(0);
  const TextReading reading = read_text_for_dump(in, *state, warnings);
  std::fclose(file);
  if (reading.config_text) return read_config_to_send(path, warnings, system_number, config_memory);
  result.said = reading.warnings;
  if (!reading.accepted) {
    append_text_error(result.said, reading, *state, path);
    return result;
  }
  result.message.bank = packed_bank(*state);
  result.ok = true;
  return result;
}

bool write_received(const std::string& path, const StoredMessage& message, std::string& error) {
  const std::vector<std::uint8_t> dump = dump_of(message);
  if (ends_with(path, ".syx")) return write_bytes(path, dump, error);
  if (ends_with(path, ".mid")) {
    const int system = message.form == StoredMessage::Form::bank ? message.bank.system_number
                                                                 : message.config.system_number;
    return write_bytes(path, midi_file_of_packets(kind_of(message)->packets(dump, system, kVoicePacketGapMs)), error);
  }
  std::string text;
  if (message.form == StoredMessage::Form::config) {
    text = config_text(message.config);
  } else {
    InputStream in = memory_input(dump);
    Listing listing;
    list_dump(in, listing);
    text = std::move(listing.text);
  }
  return write_bytes(path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()},
                     error);
}

bool is_backup_name(const std::string& path) {
  return ends_with(path, ".syx") || ends_with(path, ".mid");
}

bool write_backup(const std::string& path, const std::vector<StoredMessage>& messages,
                  std::string& error) {
  std::vector<std::uint8_t> bytes;
  if (ends_with(path, ".syx")) {
    for (const StoredMessage& message : messages) {
      const std::vector<std::uint8_t> dump = dump_of(message);
      bytes.insert(bytes.end(), dump.begin(), dump.end());
    }
    return write_bytes(path, bytes, error);
  }
  // Each message's packets a second after the last one of the message
  // before has left, for the instrument to store it.
  std::vector<TimedPacket> all;
  std::uint32_t from = 0;
  for (const StoredMessage& message : messages) {
    const int system = message.form == StoredMessage::Form::bank ? message.bank.system_number
                                                                 : message.config.system_number;
    const std::vector<std::uint8_t> dump = dump_of(message);
    for (TimedPacket& packet : kind_of(message)->packets(dump, system, kVoicePacketGapMs)) {
      packet.time_ms += from;
      all.push_back(std::move(packet));
    }
    const auto on_wire = std::chrono::ceil<std::chrono::milliseconds>(wire_time(all.back().bytes.size()));
    from = all.back().time_ms + static_cast<std::uint32_t>(on_wire.count()) + kConfigStoreDelayMs;
  }
  return write_bytes(path, midi_file_of_packets(all), error);
}

bool can_write_received(const std::string& path, std::string& error) {
  if (path == "-") return true;
  std::error_code ignored;
  const bool existed = std::filesystem::exists(path, ignored);
  // Opened to append, an existing file is left as it is.
  std::FILE* out = open_or_say(path.c_str(), "ab", error);
  if (out == nullptr) return false;
  std::fclose(out);
  if (!existed) std::filesystem::remove(path, ignored);
  return true;
}

}  // namespace bank
