// The files syxport sends from and writes to.
//
// A file to send is told by its first bytes, never by its name: "MThd"
// begins a MIDI file (read as syx2text reads one: the bank from the first
// bank-dump header among its System Exclusive data), F0 a bank dump (which
// must list as syx2text lists it), anything else a bank text (read and built
// as text2syx reads and builds it).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "formats/bank_data.h"
#include "formats/message_layout.h"

namespace bank {

struct BankToSend {
  bool ok = false;
  std::string messages;  // what text2syx or syx2text says of the file (warnings, the error)
  std::array<std::uint8_t, kMessageSize> dump{};
};

// Reads `path` into a dump to send. The dump's system and bank numbers are
// `system_number` and `bank_number` when given; otherwise those the file
// carries, and 0 and 0 for a text.
BankToSend read_bank_to_send(const char* path, bool warnings, std::optional<int> system_number,
                             std::optional<int> bank_number);

// Writes a received bank to `path`: a name ending in ".syx" gets the dump,
// ".mid" the MIDI file text2syx -m writes for it, "-" its listing on
// standard output, any other name its listing. A file is written whole or
// not at all, with the care text2syx takes. Returns false, with the error
// text in `error`, on failure.
bool write_received_bank(const std::string& path, const BankData& bank, std::string& error);

}  // namespace bank
