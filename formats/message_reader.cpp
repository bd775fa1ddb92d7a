#include "message_reader.h"

namespace bank {

std::optional<MessageReading> begin_message(InputStream& in, const MessageRules& rules) {
  const std::optional<MessageHeader> header = read_message_header(in, rules.header);
  if (!header) return std::nullopt;
  MessageReading message{*header, rules.blocks};
  if (rules.zero_count_single_voice && header->form == MessageForm::single_voice)
    message.blocks.count_if_zero = 2 * kVoiceDataSize;
  return message;
}

bool message_blocks_done(const MessageReading& message) {
  return message.next_block >= block_count(message.header.form);
}

BlockRead read_next_block(InputStream& in, MessageReading& message, Block& block) {
  BlockRead read;
  read.index = message.header.form == MessageForm::single_voice ? 1 : message.next_block;
  read.fault = read_block(in, block, message.blocks);
  const bool whole = read.fault == BlockFault::none || read.fault == BlockFault::checksum;
  message.next_block = whole ? message.next_block + 1 : block_count(message.header.form);
  return read;
}

MessageEnd read_message_end(InputStream& in) {
  MessageEnd end;
  end.real_time_at = position(in);
  end.real_time = skip_real_time(in);
  if (peek_byte(in) == kSysExEnd) {
    next_byte(in);
    end.closed = true;
  }
  return end;
}

}  // namespace bank
