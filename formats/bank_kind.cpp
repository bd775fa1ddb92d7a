#include "bank_kind.h"

namespace bank {

std::vector<std::uint8_t> BankKind::request(int system_number) const {
  const auto request = bank_request_message(system_number, bank_number_);
  return {request.begin(), request.end()};
}

KindRead BankKind::read(InputStream& in, int system_number) const {
  KindRead read;
  // Any other message (an echo of the request, another form of voice data)
  // is passed over from where its reading stopped, its F0 read.
  std::optional<MessageReading> message = begin_message(in, kVoiceMessageReceived);
  if (!message || message->header.form != MessageForm::bank_dump) return read;
  const DecodedBank decoded = decode_received_bank(in, *message);
  if (decoded.fault == BankFault::none && (decoded.bank.system_number != system_number ||
                                           decoded.bank.bank_number != bank_number_))
    return read;  // another bank, or another instrument on the cable
  return kind_read_of(decoded.fault, decoded.fault == BankFault::none
                                         ? dump_of_bank(decoded.bank)
                                         : std::vector<std::uint8_t>{});
}

std::vector<TimedPacket> BankKind::packets(std::span<const std::uint8_t> message,
                                           int system_number, std::uint32_t gap_ms) const {
  if (message.size() != kMessageSize) return {};  // no bank dump: nothing to send
  return bank_dump_packets(message.first<kMessageSize>(), system_number, gap_ms);
}

std::string BankKind::differences(std::span<const std::uint8_t> sent,
                                  std::span<const std::uint8_t> back) const {
  const std::optional<BankData> a = bank_of_dump(sent);
  const std::optional<BankData> b = bank_of_dump(back);
  if (!a || !b) return "the bank name and voices 1-48";
  return bank_differences(*a, *b);
}

}  // namespace bank
