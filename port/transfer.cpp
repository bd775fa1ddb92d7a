#include "transfer.h"

#include <algorithm>
#include <array>

#include "answer.h"
#include "formats/fixed_text.h"
#include "interrupts.h"

namespace bank {
namespace {

// The transfers' warnings and progress lines, kept word for word (see
// formats/fixed_text.h).
constexpr std::string_view kSendingAgainDamaged =
    "Warning: the bank read back is damaged (%s); sending it again\n";
constexpr std::string_view kSendingAgainDiffers =
    "Warning: the bank read back differs from the bank sent in %s; sending it again\n";
constexpr std::string_view kRequestingAgain =
    "Warning: the bank from the instrument is damaged (%s); requesting it again\n";
constexpr std::string_view kSendingProgress = "\rSending the bank: packet %d of %d ";
constexpr std::string_view kReceivingProgress = "\rReceiving the bank: %d of %d bytes ";
constexpr std::string_view kEndOfProgress = "\r                                          \r";

void warn(TransferLog& log, std::string_view text, std::initializer_list<TextArg> args) {
  std::string line;
  append_text(line, text, args);
  if (log.err != nullptr) {
    if (log.progress) std::fputs(std::string(kEndOfProgress).c_str(), log.err);
    std::fwrite(line.data(), 1, line.size(), log.err);
    std::fflush(log.err);
  } else {
    log.warnings += line;
  }
}

void progress(TransferLog& log, std::string_view text, std::initializer_list<TextArg> args) {
  if (!log.progress || log.err == nullptr) return;
  const std::string line = filled_text(text, args);
  std::fwrite(line.data(), 1, line.size(), log.err);
  std::fflush(log.err);
}

void end_progress(TransferLog& log) {
  if (log.progress && log.err != nullptr) std::fputs(std::string(kEndOfProgress).c_str(), log.err);
}

TransferResult result_of(Outcome outcome, int sends) {
  TransferResult result;
  result.outcome = outcome;
  result.sends = sends;
  return result;
}

// Sends the packets on their times, measured from one clock: each is
// written whole and drained before the clock is looked at again, so a slow
// write delays only its own packet. An interrupt inside the dump ends the
// open System Exclusive message with F7.
Outcome send_packets(Port& port, const std::vector<TimedPacket>& packets, TransferLog& log) {
  const Clock::time_point start = Clock::now();
  bool message_open = false;
  const auto packet_count = static_cast<int>(packets.size());
  for (int p = 0; p < packet_count; ++p) {
    const TimedPacket& packet = packets[static_cast<std::size_t>(p)];
    const bool on_time = wait_until(start + std::chrono::milliseconds(packet.time_ms));
    progress(log, kSendingProgress, {p + 1, packet_count});
    if (!on_time || !port.send(packet.bytes)) {
      const bool by_interrupt = interrupted();
      if (message_open) {
        constexpr std::array<std::uint8_t, 1> kEnd{kSysExEnd};
        port.send(kEnd);
      }
      end_progress(log);
      return by_interrupt ? Outcome::interrupted : Outcome::port_error;
    }
    message_open = packet.bytes.back() != kSysExEnd;
  }
  end_progress(log);
  return Outcome::done;
}

// The port's bytes as they are read, counted on the progress line.
class CountedSource final : public ByteSource {
 public:
  CountedSource(PortSource& source, TransferLog& log) : source_(source), log_(log) {}
  SourceRead read(std::span<std::uint8_t> room) override {
    const SourceRead read = source_.read(room);
    if (read.state == SourceState::bytes)
      progress(log_, kReceivingProgress, {source_.received(), kMessageSize});
    return read;
  }

 private:
  PortSource& source_;
  TransferLog& log_;
};

// Discards what the port holds, sends the bank request and reads the
// answer, which must arrive whole within the timeout.
Answer request_bank(Port& port, int bank_number, const TransferSettings& settings, TransferLog& log,
                    Outcome& outcome) {
  outcome = Outcome::done;
  port.discard_input();
  const auto request = bank_request_message(settings.system_number, bank_number);
  if (!port.send(request)) {
    outcome = interrupted() ? Outcome::interrupted : Outcome::port_error;
    return {};
  }
  PortSource source(port, Clock::now() + settings.timeout);
  CountedSource counted(source, log);
  InputStream in = source_input(counted, 1024);
  progress(log, kReceivingProgress, {0, kMessageSize});
  Answer answer = read_answer(in);
  end_progress(log);
  if (interrupted()) outcome = Outcome::interrupted;
  if (answer.kind == AnswerKind::read_error) outcome = Outcome::port_error;
  return answer;
}

// Requests the bank and says what the answer means: done (with the bank in
// `bank`), damaged (worth asking again), or an outcome that ends the
// transfer.
TransferResult read_back(Port& port, int bank_number, const TransferSettings& settings,
                         BankData& bank, int sends, TransferLog& log) {
  Outcome outcome = Outcome::done;
  const Answer answer = request_bank(port, bank_number, settings, log, outcome);
  TransferResult result = result_of(outcome, sends);
  if (outcome != Outcome::done) return result;
  switch (answer.kind) {
    case AnswerKind::none: result.outcome = Outcome::no_answer; break;
    case AnswerKind::read_error: result.outcome = Outcome::port_error; break;
    case AnswerKind::refused:
      result.outcome = Outcome::refused;
      result.status_code = answer.status_code;
      break;
    case AnswerKind::damaged:
      result.outcome = Outcome::damaged;
      result.fault = answer.fault;
      break;
    case AnswerKind::bank: bank = answer.bank; break;
  }
  return result;
}

BankData decoded(std::span<const std::uint8_t, kMessageSize> dump) {
  InputStream in = memory_input(dump);
  return read_answer(in).bank;
}

}  // namespace

std::string fault_words(ListStatus fault) {
  return filled_text(list_error_words(fault), {std::string_view("the answer")});
}

std::string bank_differences(const BankData& sent, const BankData& back) {
  const bool name = !std::equal(sent.name_block.begin(), sent.name_block.begin() + kNameLength,
                                back.name_block.begin());
  std::array<bool, kVoiceCount> voices{};
  for (std::size_t v = 0; v < voices.size(); ++v) voices[v] = sent.voices[v] != back.voices[v];
  int count = 0;
  const std::string runs = number_runs(voices, count);
  std::string text = name ? "the bank name" : "";
  if (count == 0) return text;
  if (name) text += " and ";
  text += count == 1 ? "voice " : "voices ";
  return text + runs;
}

TransferResult send_bank(Port& port, std::span<const std::uint8_t, kMessageSize> dump,
                         const TransferSettings& settings, TransferLog& log) {
  const std::vector<TimedPacket> packets =
      bank_dump_packets(dump, settings.system_number, settings.gap_ms);
  const BankData sent = decoded(dump);
  const int bank_number = dump[kBankNumberOffset];
  TransferResult last;
  for (int send = 1; send <= settings.tries; ++send) {
    const Outcome sending = send_packets(port, packets, log);
    if (sending != Outcome::done) return result_of(sending, send);
    if (!settings.verify) return result_of(Outcome::done, send);
    if (!wait_until(Clock::now() + settings.settle)) return result_of(Outcome::interrupted, send);
    BankData back;
    last = read_back(port, bank_number, settings, back, send, log);
    const bool again = send < settings.tries;
    if (last.outcome == Outcome::damaged) {
      if (again) warn(log, kSendingAgainDamaged, {fault_words(last.fault)});
      continue;
    }
    if (last.outcome != Outcome::done) return last;
    last.differences = bank_differences(sent, back);
    if (last.differences.empty()) return last;
    last.outcome = Outcome::differs;
    if (again) warn(log, kSendingAgainDiffers, {last.differences});
  }
  return last;
}

TransferResult receive_bank(Port& port, int bank_number, const TransferSettings& settings,
                            BankData& bank, TransferLog& log) {
  TransferResult last;
  for (int request = 1; request <= settings.tries; ++request) {
    last = read_back(port, bank_number, settings, bank, request, log);
    if (last.outcome != Outcome::damaged) return last;
    if (request < settings.tries) warn(log, kRequestingAgain, {fault_words(last.fault)});
  }
  return last;
}

}  // namespace bank
