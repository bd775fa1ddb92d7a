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
    "Warning: the bank read back is damaged (%s); sending it again\n";
constexpr std::string_view kSendingAgainDiffers =
    "Warning: the bank read back differs from the bank sent in %s; sending it again\n";
constexpr std::string_view kRequestingAgain =
    "Warning: the bank from the instrument is damaged (%s); requesting it again\n";

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

// Sends the packets, each no earlier than its time on the schedule and no
// earlier than the schedule's silence after the packet before it actually
// left: a packet that leaves late delays the rest, and every gap the
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

// The port's bytes as they are read, counted on the progress line.
class CountedSource final : public ByteSource {
 public:
  CountedSource(PortSource& source, TransferStatus& status) : source_(source), status_(status) {}
  SourceRead read(std::span<std::uint8_t> room) override {
    const SourceRead read = source_.read(room);
    if (read.state == SourceState::bytes)
      status_.bytes_received(source_.received(), static_cast<int>(kMessageSize));
    return read;
  }

 private:
  PortSource& source_;
  TransferStatus& status_;
};

// Sends the bank request and says what the answer means: done (with the
// bank in `bank`), damaged (worth asking again, once the instrument is
// silent), or an outcome that ends the transfer.
TransferResult read_back(Port& port, Timekeeper& time, int bank_number,
                         const TransferSettings& settings, BankData& bank, int sends,
                         TransferStatus& status) {
  const PortResult discarded = port.discard_input();
  if (discarded.state != PortState::ok) return port_outcome(discarded, sends);
  const auto request = bank_request_message(settings.system_number, bank_number);
  const PortResult requested = port.send(request);
  if (requested.state != PortState::ok) return port_outcome(requested, sends);
  PortSource source(port, time, settings.timeout);
  CountedSource counted(source, status);
  InputStream in = source_input(counted, 1024);
  status.bytes_received(0, static_cast<int>(kMessageSize));
  const Answer answer = read_answer(in, settings.system_number, bank_number);
  status.step_done();
  if (source.ended().state == PortState::cancelled || source.ended().state == PortState::failed)
    return port_outcome(source.ended(), sends);
  TransferResult result = result_of(Outcome::done, sends);
  switch (answer.kind) {
    case AnswerKind::none: result.outcome = Outcome::no_answer; break;
    case AnswerKind::read_error: return port_outcome(source.ended(), sends);
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
    case AnswerKind::bank: bank = answer.bank; break;
  }
  return result;
}

void warn(TransferStatus& status, std::string_view text, const std::string& arg) {
  status.warning(filled_text(text, {arg}));
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

TransferResult send_bank(Port& port, Timekeeper& time, const BankData& bank,
                         const TransferSettings& settings, TransferStatus& status) {
  std::array<std::uint8_t, kMessageSize> dump{};
  encode_bank_dump(bank, dump);
  const std::vector<TimedPacket> packets =
      bank_dump_packets(dump, settings.system_number, settings.gap_ms);
  // A port that can give nothing back (one that reports its end at once)
  // fails before the dump is sent, not after the whole schedule.
  if (settings.verify) {
    const PortResult discarded = port.discard_input();
    if (discarded.state != PortState::ok) return port_outcome(discarded, 0);
  }
  const int tries = std::max(settings.tries, 1);
  TransferResult last;
  for (int send = 1; send <= tries; ++send) {
    const PortResult sent = send_packets(port, time, packets, status);
    if (sent.state != PortState::ok) return port_outcome(sent, send);
    if (!settings.verify) return result_of(Outcome::done, send);
    if (!time.wait_until(time.now() + settings.settle))
      return result_of(Outcome::interrupted, send);
    BankData back;
    last = read_back(port, time, bank.bank_number, settings, back, send, status);
    const bool again = send < tries;
    if (last.outcome == Outcome::damaged) {
      if (again) warn(status, kSendingAgainDamaged, fault_words(last.fault));
      continue;
    }
    if (last.outcome != Outcome::done) return last;
    last.differences = bank_differences(bank, back);
    if (last.differences.empty()) return last;
    last.outcome = Outcome::differs;
    if (again) warn(status, kSendingAgainDiffers, last.differences);
  }
  return last;
}

TransferResult receive_bank(Port& port, Timekeeper& time, int bank_number,
                            const TransferSettings& settings, BankData& bank,
                            TransferStatus& status) {
  const int tries = std::max(settings.tries, 1);
  TransferResult last;
  for (int request = 1; request <= tries; ++request) {
    last = read_back(port, time, bank_number, settings, bank, request, status);
    if (last.outcome != Outcome::damaged) return last;
    if (request < tries) warn(status, kRequestingAgain, fault_words(last.fault));
  }
  return last;
}

}  // namespace bank
