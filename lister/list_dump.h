// Checking and decoding voice data, one block at a time, into bank text.
//
// A dump is read as a stream: the header, then 49 blocks, each found by the
// count bytes it carries. Nothing after the 49th block is read.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "formats/bank_data.h"
#include "system/input_stream.h"

namespace bank {

enum class ListStatus {
  ok,
  not_bank_dump,     // the header is missing or wrong
  checksum_error,    // a block's checksum does not match
  unexpected_end,    // the data ends inside a block
  block_size_error,  // a block carries fewer data bytes than are listed from it
  read_error,        // the file could not be read
  write_error,       // the listing could not be written out
};

// Where a listing goes. Lines are appended to `text` and warnings to
// `warnings`; when `out` (or `err`) is set, they are written there after
// every block and cleared, so that a long listing goes out as it is made
// and memory stays flat. Without a file they accumulate.
struct Listing {
  std::string text;
  std::string warnings;
  std::FILE* out = nullptr;
  std::FILE* err = nullptr;
  // When set, the plain listing also keeps the bank it lists here: the
  // numbers of its header and the data of each block (bytes a block does
  // not carry are zero).
  BankData* bank = nullptr;
};

// What syx2text says of a status that ends a listing, in its own words
// ("Checksum error.."), without "Error: " before it or a newline after it;
// %s in it stands for the file's name. Empty for ok and write_error.
std::string_view list_error_words(ListStatus status);

// Checks the header of a bank dump and lists its 49 blocks, stopping at the
// first fault; what was listed before the fault stays listed.
ListStatus list_dump(InputStream& in, Listing& listing);

// What a scan of a whole file for voice data found.
struct ScanSummary {
  std::int64_t messages = 0;           // messages of voice data, complete or not
  std::int64_t warnings = 0;           // damaged blocks and messages that ended early
  ListStatus status = ListStatus::ok;  // ok, read_error or write_error
  // The plain listing of a file that is no bank dump: the file holds voice
  // data that list_all lists.
  bool voice_data_elsewhere = false;
  // The same, for a configuration dump.
  bool config_elsewhere = false;
};

// Lists every message of voice data in the stream, in any of its forms
// (bank dump, voice RAM dump, single voice), and every configuration dump
// (the current configuration or a memory's), with a comment line before each
// and for each run of other bytes. Damaged blocks are listed for what they
// hold, with a warning.
ScanSummary list_all(InputStream& in, Listing& listing);

// Lists a file as syx2text does: list_all when `all` is set, list_dump
// otherwise (its status in the summary). A Standard MIDI File is read for
// its System Exclusive bytes; with `all`, its damage is a warning.
ScanSummary list_file(InputStream& in, Listing& listing, bool all);

}  // namespace bank
