#include "answer.h"

#include <algorithm>
#include <optional>

#include "formats/message_reader.h"

namespace bank {

SourceRead PortSource::read(std::span<std::uint8_t> room) {
  const std::int64_t got = port_.receive(room, deadline_);
  if (got < 0) return {SourceState::read_error};
  if (got == 0) return {SourceState::nothing_yet};
  received_ += static_cast<std::uint64_t>(got);
  return {SourceState::bytes, static_cast<std::size_t>(got)};
}

namespace {

// The instrument's status message: F0 43 60 <code> F7.
inline constexpr std::uint8_t kStatusMessageId = 0x60;
inline constexpr std::size_t kStatusMessageSize = 5;

std::optional<int> status_message_at(InputStream& in) {
  const std::span<const std::uint8_t> bytes = peek_bytes(in, kStatusMessageSize);
  if (bytes.size() < kStatusMessageSize || bytes[1] != kManufacturerId ||
      bytes[2] != kStatusMessageId || bytes[3] >= 0x80 || bytes[4] != kSysExEnd)
    return std::nullopt;
  consume(in, kStatusMessageSize);
  return bytes[3];
}

Answer damaged(ListStatus fault) {
  Answer answer;
  answer.kind = AnswerKind::damaged;
  answer.fault = fault;
  return answer;
}

// The blocks of a bank dump whose header has been read, checked as the
// plain listing checks them, and whole: the bank-name block and each voice
// carry all their data bytes, and F7 closes the message.
Answer read_dump_blocks(InputStream& in, MessageReading& message) {
  Answer answer;
  answer.bank.system_number = message.header.system_number;
  answer.bank.bank_number = message.header.number;
  Block block;
  while (!message_blocks_done(message)) {
    const BlockRead read = read_next_block(in, message, block);
    switch (read.fault) {
      case BlockFault::none: break;
      case BlockFault::checksum: return damaged(ListStatus::checksum_error);
      case BlockFault::read_error: answer.kind = AnswerKind::read_error; return answer;
      case BlockFault::truncated:
      case BlockFault::status_byte: return damaged(ListStatus::unexpected_end);
    }
    const std::span<std::uint8_t> kept = block_data(answer.bank, read.index);
    if (block.data.size() != kept.size()) return damaged(ListStatus::block_size_error);
    std::copy(block.data.begin(), block.data.end(), kept.begin());
  }
  if (!read_message_end(in).closed) return damaged(ListStatus::unexpected_end);
  answer.kind = AnswerKind::bank;
  return answer;
}

}  // namespace

Answer read_answer(InputStream& in) {
  while (skip_to_byte(in, kSysExStart)) {
    if (const std::optional<int> code = status_message_at(in)) {
      Answer answer;
      answer.kind = AnswerKind::refused;
      answer.status_code = *code;
      return answer;
    }
    // Any other message (an echo of the request, another form of voice
    // data) is passed over from where its reading stopped, its F0 read.
    std::optional<MessageReading> message = begin_message(in, kVoiceMessageReceived);
    if (message && message->header.form == MessageForm::bank_dump)
      return read_dump_blocks(in, *message);
  }
  Answer answer;
  answer.kind = failed(in) ? AnswerKind::read_error : AnswerKind::none;
  return answer;
}

}  // namespace bank
