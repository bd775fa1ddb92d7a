// The files syxport sends from and writes to.
//
// A file to send is told by its first bytes, never by its name: "MThd"
// begins a MIDI file and F0 a dump (a bank dump must list as syx2text
// lists it; a configuration dump must be whole), anything else a text: a
// configuration text when it has a CONFIG line, a bank text otherwise,
// read and built as text2syx reads and builds them.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/bank_data.h"
#include "formats/config_dump.h"
#include "formats/config_kind.h"
#include "formats/message_kind.h"

namespace bank {

// A message the instrument stores: a bank or a configuration.
struct StoredMessage {
  enum class Form { bank, config };
  Form form = Form::bank;
  BankData bank;
  ConfigData config;
};

// Its dump, as its kind encodes it.
std::vector<std::uint8_t> dump_of(const StoredMessage& message);

// `asked` with the data of `dump`, a whole dump of its kind as a transfer
// received it; `asked` as it is when the dump is none.
StoredMessage with_dump(const StoredMessage& asked, std::span<const std::uint8_t> dump);

// The kind that sends it or asks for it; a configuration memory by `route`.
std::unique_ptr<MessageKind> kind_of(const StoredMessage& message,
                                     ConfigRoute route = ConfigRoute::dump);

// How the lines of syxport name it: "Bank 0", "Configuration 3",
// "The current configuration".
std::string message_name(const StoredMessage& message);

// Whether the instrument lets it be written: banks 0 and 1, the current
// configuration and memories 1-16.
bool is_storable(const StoredMessage& message);

struct MessageToSend {
  bool ok = false;
  std::string said;  // what text2syx or syx2text says of the file (warnings, the error)
  StoredMessage message;
};

// Reads `path` into a message to send. Its system number is
// `system_number` when given, and its bank (or memory) `bank_number` (or
// `config_memory`); otherwise those the file carries, and for a text
// system 0, bank 0 or the current configuration.
MessageToSend read_message_to_send(const char* path, bool warnings,
                                   std::optional<int> system_number,
                                   std::optional<int> bank_number,
                                   std::optional<int> config_memory);

struct FileMessages {
  bool ok = false;
  std::string said;  // the error
  std::vector<StoredMessage> messages;
};

// Every bank dump and configuration dump a .syx or MIDI file holds, in
// its order; each must be whole. Other messages are passed over.
FileMessages read_file_messages(const char* path);

// Writes a received message to `path`: a name ending in ".syx" gets the
// dump, ".mid" the MIDI file text2syx -m writes for it, "-" its listing on
// standard output, any other name its listing. A file is written whole or
// not at all, with the care text2syx takes. Returns false, with the error
// text in `error`, on failure.
bool write_received(const std::string& path, const StoredMessage& message, std::string& error);

// Writes the messages of a backup: into a .syx file one after the other,
// or into a MIDI file each message's packets after the one before, with a
// second between them. False, with the error, for any other name.
bool write_backup(const std::string& path, const std::vector<StoredMessage>& messages,
                  std::string& error);

// Whether a backup can be written to `path`: a .syx or .mid name.
bool is_backup_name(const std::string& path);

// Whether a received message can be written to `path`, found before it is
// asked for: false, with write_received's error in `error`, for a file that
// cannot be opened for writing. Nothing is left behind.
bool can_write_received(const std::string& path, std::string& error);

}  // namespace bank
