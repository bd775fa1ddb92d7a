#include "answer.h"

#include <algorithm>
#include <array>
#include <optional>


namespace bank {

bool PortSource::renews(std::span<const std::uint8_t> bytes) {
  bool renewed = false;
  for (const std::uint8_t byte : bytes) {
    if (is_real_time(byte)) continue;
    if (byte == kSysExStart) {
      in_message_ = true;
    } else if (byte >= 0x80) {
      // F7 ends the message as its last byte; any other status byte ends it
      // before itself.
      renewed = renewed || (in_message_ && byte == kSysExEnd);
      in_message_ = false;
      continue;
    }
    renewed = renewed || in_message_;
  }
  return renewed;
}

SourceRead PortSource::read(std::span<std::uint8_t> room) {
  if (ended_.state != PortState::ok) return {SourceState::end};
  const Clock::time_point until = std::min(deadline_, limit_);
  if (time_.now() >= until) {
    ended_ = port_result(PortState::deadline);
    return {SourceState::end};
  }
  ended_ = port_.receive(room, until);
  switch (ended_.state) {
    case PortState::ok:
      received_ += ended_.count;
      if (renews(room.first(ended_.count))) deadline_ = time_.now() + silence_;
      return {SourceState::bytes, ended_.count};
    case PortState::failed: return {SourceState::read_error};
    case PortState::deadline:
    case PortState::cancelled: return {SourceState::end};
  }
  return {SourceState::end};
}

Answer read_answer(InputStream& in, int system_number, const MessageKind& kind) {
  Answer answer;
  while (skip_to_byte(in, kSysExStart)) {
    if (const std::optional<int> code = read_status_message(in)) {
      answer.kind = AnswerKind::refused;
      answer.status_code = *code;
      return answer;
    }
    KindRead read = kind.read(in, system_number);
    switch (read.state) {
      case KindRead::State::other: continue;
      case KindRead::State::whole:
        answer.kind = AnswerKind::whole;
        answer.message = std::move(read.message);
        return answer;
      case KindRead::State::damaged:
        answer.kind = AnswerKind::damaged;
        answer.fault = read.fault;
        return answer;
      case KindRead::State::read_error: answer.kind = AnswerKind::read_error; return answer;
    }
  }
  answer.kind = failed(in) ? AnswerKind::read_error : AnswerKind::none;
  return answer;
}

PortResult wait_for_quiet(Port& port, Timekeeper& time, Clock::duration quiet) {
  PortSource source(port, time, quiet, true);
  std::array<std::uint8_t, 256> room{};
  while (source.read(room).state == SourceState::bytes) {
  }
  if (source.ended().state != PortState::deadline) return source.ended();
  return port.discard_input();
}

}  // namespace bank
