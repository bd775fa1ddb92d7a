// The bank as the instrument exchanges it: the request that asks for a
// bank, the bank dump that answers it (encoded by encode_bank_dump in
// bank_data.h, decoded here under the rules a received bank must meet), the
// status message the instrument answers with instead, and the comparison
// of a bank sent with the bank read back. A transfer of another kind of
// message (a single voice, a configuration) is a codec of its own beside
// this one.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bank_data.h"
#include "system/input_stream.h"
#include "message_reader.h"

namespace bank {

// Banks 0 and 1 are the user's, the only banks the instrument stores; 2 to
// 6 are its own (ROM) banks, which it only sends.
inline constexpr int kStorableBankCount = 2;
inline constexpr int kLastBankNumber = 6;
constexpr bool bank_is_storable(int bank_number) {
  return bank_number >= 0 && bank_number < kStorableBankCount;
}

// The request for bank `bank_number` (0-6): F0 43 75 0s 20 00 0b F7. The
// instrument answers with the bank dump.
std::array<std::uint8_t, 8> bank_request_message(int system_number, int bank_number);

// The instrument's status message F0 43 60 cc F7, which it sends instead of
// a bank it will not give: its code, read when the stream is at one.
std::optional<int> read_status_message(InputStream& in);

// How a received bank dump failed its rules.
enum class BankFault {
  none,
  checksum,    // a block's checksum does not match its data
  block_size,  // a block carries fewer or more data bytes than its place
  cut,         // the dump ended early, or another message began inside it
  read_error,  // the stream could not be read
};

struct DecodedBank {
  BankData bank;
  BankFault fault = BankFault::none;
};

// The blocks of a bank dump whose header `message` has read, under the
// rules a received bank must meet: unlike a listing, which shows what a
// damaged file holds, it must be whole, every block of its full size with a
// matching checksum and the F7 that closes the message.
DecodedBank decode_received_bank(InputStream& in, MessageReading& message);

// What differs between a bank sent and the bank read back, as a text names
// it: "the bank name", "voice 3", "voices 3, 17-20", or both joined by
// " and "; empty when the name and every voice byte are the same (bytes
// 7-31 of the bank-name block, where the instrument keeps its own, are not
// compared).
std::string bank_differences(const BankData& sent, const BankData& back);

// The bank of a whole bank dump that passes its checks; nothing otherwise.
std::optional<BankData> bank_of_dump(std::span<const std::uint8_t> dump);

// The bank dump of `bank`.
std::vector<std::uint8_t> dump_of_bank(const BankData& bank);

}  // namespace bank
