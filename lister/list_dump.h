// Checking and decoding a bulk dump, one block at a time, into bank text.
//
// The dump is read as a stream: the header, then 49 blocks, each found by
// the count bytes it carries. Nothing after the 49th block is read.
#pragma once

#include <string>

#include "formats/input_stream.h"

namespace bank {

enum class ListStatus {
  ok,
  not_bulk_dump,     // the header is missing or wrong
  checksum_error,    // a block's checksum does not match
  unexpected_end,    // the data ends inside a block
  block_size_error,  // a block carries fewer data bytes than are listed from it
  read_error,        // the file could not be read
};

// The bank-name block and the 48 voice blocks.
inline constexpr int kListedBlockCount = 49;

// Reads the seven header bytes and checks them.
ListStatus check_dump_header(InputStream& in);

// Reads block `index` (0: the bank name, 1-48: the voices) and appends its
// lines of bank text to `text`. Nothing is appended unless the block is good.
ListStatus list_block(InputStream& in, int index, std::string& text);

// Checks the header and lists all 49 blocks into `text`, stopping at the
// first fault; what was listed before it stays in `text`.
ListStatus list_dump(InputStream& in, std::string& text);

}  // namespace bank
