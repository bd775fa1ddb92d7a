#include "bank_codec.h"

#include <algorithm>

#include "system/fixed_text.h"

namespace bank {
namespace {

inline constexpr std::uint8_t kBankRequestId = 0x20;
inline constexpr std::uint8_t kStatusMessageId = 0x60;
inline constexpr std::size_t kStatusMessageSize = 5;

DecodedBank failed(BankFault fault) {
  DecodedBank decoded;
  decoded.fault = fault;
  return decoded;
}

}  // namespace

std::array<std::uint8_t, 8> bank_request_message(int system_number, int bank_number) {
  return {kSysExStart,
          kManufacturerId,
          kBankDumpId,
          static_cast<std::uint8_t>(system_number),
          kBankRequestId,
          0x00,
          static_cast<std::uint8_t>(bank_number),
          kSysExEnd};
}

std::optional<int> read_status_message(InputStream& in) {
  const std::span<const std::uint8_t> bytes = peek_bytes(in, kStatusMessageSize);
  if (bytes.size() < kStatusMessageSize || bytes[0] != kSysExStart || bytes[1] != kManufacturerId ||
      bytes[2] != kStatusMessageId || bytes[3] >= 0x80 || bytes[4] != kSysExEnd)
    return std::nullopt;
  const int code = bytes[3];
  consume(in, kStatusMessageSize);
  return code;
}

DecodedBank decode_received_bank(InputStream& in, MessageReading& message) {
  DecodedBank decoded;
  decoded.bank.system_number = message.header.system_number;
  decoded.bank.bank_number = message.header.number;
  Block block;
  while (!message_blocks_done(message)) {
    const BlockRead read = read_next_block(in, message, block);
    switch (read.fault) {
      case BlockFault::none: break;
      case BlockFault::checksum: return failed(BankFault::checksum);
      case BlockFault::read_error: return failed(BankFault::read_error);
      case BlockFault::truncated:
      case BlockFault::status_byte: return failed(BankFault::cut);
    }
    const std::span<std::uint8_t> kept = block_data(decoded.bank, read.index);
    if (block.data.size() != kept.size()) return failed(BankFault::block_size);
    std::copy(block.data.begin(), block.data.end(), kept.begin());
  }
  if (!read_message_end(in).closed) return failed(BankFault::cut);
  return decoded;
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

std::optional<BankData> bank_of_dump(std::span<const std::uint8_t> dump) {
  InputStream in = memory_input(dump);
  std::optional<MessageReading> message = begin_message(in, kVoiceMessageReceived);
  if (!message || message->header.form != MessageForm::bank_dump) return std::nullopt;
  DecodedBank decoded = decode_received_bank(in, *message);
  if (decoded.fault != BankFault::none) return std::nullopt;
  return decoded.bank;
}

std::vector<std::uint8_t> dump_of_bank(const BankData& bank) {
  std::vector<std::uint8_t> dump(kMessageSize);
  encode_bank_dump(bank, std::span<std::uint8_t, kMessageSize>(dump));
  return dump;
}

}  // namespace bank
