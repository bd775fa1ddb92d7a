#include "answer.h"

#include <optional>

#include "formats/message_reader.h"

namespace bank {

SourceRead PortSource::read(std::span<std::uint8_t> room) {
  if (ended_.state != PortState::ok) return {SourceState::end};
  ended_ = port_.receive(room, deadline_);
  switch (ended_.state) {
    case PortState::ok:
      received_ += ended_.count;
      deadline_ = time_.now() + silence_;
      return {SourceState::bytes, ended_.count};
    case PortState::failed: return {SourceState::read_error};
    case PortState::deadline:
    case PortState::cancelled: return {SourceState::end};
  }
  return {SourceState::end};
}

Answer read_answer(InputStream& in) {
  while (skip_to_byte(in, kSysExStart)) {
    if (const std::optional<int> code = read_status_message(in)) {
      Answer answer;
      answer.kind = AnswerKind::refused;
      answer.status_code = *code;
      return answer;
    }
    // Any other message (an echo of the request, another form of voice
    // data) is passed over from where its reading stopped, its F0 read.
    std::optional<MessageReading> message = begin_message(in, kVoiceMessageReceived);
    if (!message || message->header.form != MessageForm::bank_dump) continue;
    DecodedBank decoded = decode_received_bank(in, *message);
    Answer answer;
    if (decoded.fault == BankFault::read_error) {
      answer.kind = AnswerKind::read_error;
    } else if (decoded.fault != BankFault::none) {
      answer.kind = AnswerKind::damaged;
      answer.fault = decoded.fault;
    } else {
      answer.kind = AnswerKind::bank;
      answer.bank = decoded.bank;
    }
    return answer;
  }
  Answer answer;
  answer.kind = failed(in) ? AnswerKind::read_error : AnswerKind::none;
  return answer;
}

}  // namespace bank
