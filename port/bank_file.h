// The files syxport sends from and writes to.
//
// A file to send is told by its first bytes, never by its name: "MThd"
// begins a MIDI file (read as syx2text reads one: the bank from the first
// bank-dump header among its System Exclusive data), F0 a bank dump (which
// must list as syx2text lists it), anything else a bank text (read and built
// as text2syx reads and builds it).
#pragma once

#include <optional>
#include <string>

#include "formats/bank_data.h"

namespace bank {

struct BankToSend {
  bool ok = false;
  std::string said;  // what text2syx or syx2text says of the file (warnings, the error)
  BankData bank;
};

// Reads `path` into a bank to send. Its system and bank numbers are
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

// Whether a received bank can be written to `path`, found before the bank
// is asked for: false, with write_received_bank's error in `error`, for a
// file that cannot be opened for writing. Nothing is left behind.
bool can_write_received_bank(const std::string& path, std::string& error);

}  // namespace bank
