#include "transfer.h"

#include <algorithm>
#include <array>

#include "answer.h"
#include "system/fixed_text.h"
#include "lister/list_dump.h"

namespace bank {
namespace {

// The transfers' warnings, kept word for word (see system/fixed_text.h).
constexpr std::string_view kSendingAgainDamaged =
    "Warning: the %s read back is damaged (%s); sending it again\n";
constexpr std::string_view kSendingAgainDiffers =
    "Warning: the %s read back differs from the %s sent in %s; sending it again\n";
constexpr std::string_view kRequestingAgain =
    "Warning: the %s from the instrument is damaged (%s); requesting it again\n";

TransferResult result_of(Outcome outcome, int sends) {
  TransferResult result;
  result.outcome = outcome;
  result.sends = sends;
  return result;
}

TransferResult port_outcome(const PortResult& port, int sends) {
  TransferResult result = result_of(
      port.state == PortState::cancelled ? Outcome::interrupted : Outcome::port_error, sends);
  result.port_words = port.words;
  return result;
}

}  // namespace

// Each packet no earlier than its time and than the schedule's silence
// after the packet before it actually left: a packet that leaves late delays the rest, and every gap the
// instrument needs is kept. A packet has left once the port has drained
// it; a port that takes bytes faster than the cable carries them (a device
// that cannot be drained, a driver that reports a buffer done once it has
// copied it, perhaps after holding it) has only handed them over, and they
// leave a wire time later: that does not shorten a gap either. An interrupt or a failure
// inside a message ends it with F7, the packet that opens it included.
PortResult send_packets(Port& port, Timekeeper& time, const std::vector<TimedPacket>& packets,
                        TransferStatus& status) {
  const Clock::time_point start = time.now();
  Clock::time_point earliest = start;
  bool message_open = false;
  const auto packet_count = static_cast<int>(packets.size());
  for (std::size_t p = 0; p < packets.size(); ++p) {
    const TimedPacket& packet = packets[p];
    const Clock::time_point due =
        std::max(start + std::chrono::milliseconds(packet.time_ms), earliest);
    PortResult sent = port_result(PortState::cancelled);
    Clock::time_point began{};
    const bool waited = time.wait_until(due);
    if (waited) {
      status.packet_sent(static_cast<int>(p) + 1, packet_count);
      began = time.now();
      sent = port.send(packet.bytes);
    }
    if (sent.state != PortState::ok) {
      // A packet cut short may have opened a message, or not closed it.
      if (message_open || (waited && packet.bytes.front() == kSysExStart)) {
        constexpr std::array<std::uint8_t, 1> kEnd{kSysExEnd};
        port.send(kEnd);
      }
      status.step_done();
      return sent;
    }
    message_open = packet.bytes.back() != kSysExEnd;
    if (p + 1 < packets.size()) {
      // A send that returned before the bytes could have crossed the cable
      // only handed them over: they are on the wire for their time from then.
      const Clock::time_point returned = time.now();
      const auto on_wire = wire_time(packet.bytes.size());
      const Clock::time_point left = returned < began + on_wire ? returned + on_wire : returned;
      earliest = left + silence_after(packets, p);
    }
  }
  status.step_done();
  return {};
}

namespace {

// The port's bytes as they are read, counted on the progress line.
class CountedSource final : public ByteSource {
 public:
  CountedSource(PortSource& source, TransferStatus& status, std::size_t expected)
      : source_(source), status_(status), expected_(static_cast<int>(expected)) {}
  SourceRead read(std::span<std::uint8_t> room) override {
    const SourceRead read = source_.read(room);
    if (read.state == SourceState::bytes) status_.bytes_received(source_.received(), expected_);
    return read;
  }

 private:
  PortSource& source_;
  TransferStatus& status_;
  int expected_;
};

// Sends the kind's request and says what the answer means: done (with the
// message in the result), damaged (worth asking again, once the instrument
// is silent), or an outcome that ends the transfer.
TransferResult read_back(Port& port, Timekeeper& time, const MessageKind& kind,
                         const TransferSettings& settings, int sends, TransferStatus& status) {
  const PortResult discarded = port.discard_input();
  if (discarded.state != PortState::ok) return port_outcome(discarded, sends);
  const std::vector<std::uint8_t> request = kind.request(settings.system_number);
  const PortResult requested = port.send(request);
  if (requested.state != PortState::ok) return port_outcome(requested, sends);
  PortSource source(port, time, settings.timeout);
  CountedSource counted(source, status, kind.message_size());
  InputStream in = source_input(counted, 1024);
  status.bytes_received(0, static_cast<int>(kind.message_size()));
  Answer answer = read_answer(in, settings.system_number, kind);
  status.step_done();
  if (source.ended().state == PortState::cancelled || source.ended().state == PortState::failed ||
      answer.kind == AnswerKind::read_error)
    return port_outcome(source.ended(), sends);
  TransferResult result = result_of(Outcome::done, sends);
  switch (answer.kind) {
    case AnswerKind::none: result.outcome = Outcome::no_answer; break;
    case AnswerKind::read_error: break;  // the port's failure, above
    case AnswerKind::refused:
      result.outcome = Outcome::refused;
      result.status_code = answer.status_code;
      break;
    case AnswerKind::damaged: {
      result.outcome = Outcome::damaged;
      result.fault = answer.fault;
      const PortResult quiet = wait_for_quiet(port, time, settings.quiet);
      if (quiet.state != PortState::ok) return port_outcome(quiet, sends);
      break;
    }
    case AnswerKind::whole: result.message = std::move(answer.message); break;
  }
  return result;
}

void warn(TransferStatus& status, std::string_view text, std::initializer_list<TextArg> args) {
  status.warning(filled_text(text, args));
}

}  // namespace

std::string fault_words(BankFault fault) {
  ListStatus status = ListStatus::read_error;
  switch (fault) {
    case BankFault::none: status = ListStatus::ok; break;
    case BankFault::checksum: status = ListStatus::checksum_error; break;
    case BankFault::block_size: status = ListStatus::block_size_error; break;
    case BankFault::cut: status = ListStatus::unexpected_end; break;
    case BankFault::read_error: status = ListStatus::read_error; break;
  }
  return filled_text(list_error_words(status), {std::string_view("the answer")});
}

TransferResult send_message(Port& port, Timekeeper& time, const MessageKind& kind,
                            std::span<const std::uint8_t> message,
                            const TransferSettings& settings, TransferStatus& status) {
  const std::vector<TimedPacket> packets =
      kind.packets(message, settings.system_number, settings.gap_ms);
  // A port that can give nothing back (one that reports its end at once)
  // fails before the message is sent, not after the whole schedule.
  if (settings.verify) {
    const PortResult discarded = port.discard_input();
    if (discarded.state != PortState::ok) return port_outcome(discarded, 0);
  }
  const int tries = std::max(settings.tries, 1);
  const std::string_view noun = kind.noun();
  TransferResult last;
  for (int send = 1; send <= tries; ++send) {
    const PortResult sent = send_packets(port, time, packets, status);
    if (sent.state != PortState::ok) return port_outcome(sent, send);
    if (!settings.verify) return result_of(Outcome::done, send);
    if (!time.wait_until(time.now() + settings.settle))
      return result_of(Outcome::interrupted, send);
    last = read_back(port, time, kind, settings, send, status);
    const bool again = send < tries;
    if (last.outcome == Outcome::damaged) {
      if (again) warn(status, kSendingAgainDamaged, {noun, fault_words(last.fault)});
      continue;
    }
    if (last.outcome != Outcome::done) return last;
    last.differences = kind.differences(message, last.message);
    if (last.differences.empty()) return last;
    last.outcome = Outcome::differs;
    if (again) warn(status, kSendingAgainDiffers, {noun, noun, last.differences});
  }
  return last;
}

TransferResult receive_message(Port& port, Timekeeper& time, const MessageKind& kind,
                               const TransferSettings& settings, TransferStatus& status) {
  const int tries = std::max(settings.tries, 1);
  TransferResult last;
  for (int request = 1; request <= tries; ++request) {
    last = read_back(port, time, kind, settings, request, status);
    if (last.outcome != Outcome::damaged) return last;
    if (request < tries) warn(status, kRequestingAgain, {kind.noun(), fault_words(last.fault)});
  }
  return last;
}

}  // namespace bank
