// Reading a message of voice data: its header, its blocks one at a time,
// their faults and where the message ends. Nothing is printed: the reader
// says what it found and the caller (a listing, a transfer) decides what
// that means.
#pragma once

#include <cstdint>
#include <optional>

#include "block_codec.h"
#include "header.h"
#include "system/input_stream.h"

namespace bank {

// A message whose header has been read, and how far its blocks are.
struct MessageReading {
  MessageHeader header;
  BlockRules blocks;   // the rules for this message's blocks
  int next_block = 0;  // blocks read so far
};

// Reads a header at the stream's position under `rules`; nothing when the
// bytes there are no such header (as read_message_header).
std::optional<MessageReading> begin_message(InputStream& in, const MessageRules& rules);

// A block as read: which block it is and the fault that came with it.
struct BlockRead {
  // 0 for the bank-name block, 1-48 for a voice. A single voice is voice 1.
  int index = 0;
  // none or checksum: the block is whole (with checksum, damaged). Any
  // other fault ends the message: the block is not there.
  BlockFault fault = BlockFault::none;
};

// True once every block of the message's form has been read.
bool message_blocks_done(const MessageReading& message);

// Reads the message's next block into `block`. Call only while blocks are
// left; after a fault that ends the message, none are.
BlockRead read_next_block(InputStream& in, MessageReading& message, Block& block);

// How a message ended after its last block.
struct MessageEnd {
  bool closed = false;             // an F7 followed, and was read
  std::uint64_t real_time = 0;     // real-time bytes passed over before it
  std::uint64_t real_time_at = 0;  // offset of the first of them
};

// Reads the end of a message whose blocks are done: real-time bytes and
// the closing F7. Without an F7 the message ends at its last block; the
// real-time bytes read are then bytes of no message.
MessageEnd read_message_end(InputStream& in);

}  // namespace bank
