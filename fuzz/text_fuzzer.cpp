// Reads arbitrary text as a bank text; when it is accepted, builds the
// message and decodes it again: 6363 bytes, the right header, 49 blocks of
// the right sizes with every checksum good, and the closing F7.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

#include "compiler/bank_text_reader.h"
#include "compiler/dump_builder.h"
#include "formats/block_codec.h"
#include "formats/header.h"
#include "formats/input_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto state = std::make_unique<bank::BankState>();
  state->system_number = size % 16 == 0 ? 15 : 3;
  state->bank_number = size % 2 == 0 ? 1 : 0;
  bank::InputStream in = bank::memory_input(std::span(data, size));
  const std::int64_t line = bank::read_bank_text(in, *state);
  if (line != 0) {
    if (state->reader_error < 1 || state->reader_error > 5) std::abort();
    return 0;
  }
  bank::build_bulk_dump(*state);

  const std::span<const std::uint8_t> message(state->message);
  if (!bank::is_bulk_dump_header(message.first<bank::kHeaderSize>())) std::abort();
  if (message[3] != state->system_number || message[6] != state->bank_number) std::abort();
  bank::InputStream decoded = bank::memory_input(message.subspan(bank::kHeaderSize));
  for (int i = 0; i < 49; ++i) {
    bank::BlockFault fault = bank::BlockFault::none;
    const auto block = bank::read_block(decoded, fault);
    if (!block || block->size() != (i == 0 ? 32U : 64U)) std::abort();
    for (std::size_t k = 0; k < 7; ++k)
      if ((*block)[k] < 0x20 || (*block)[k] > 0x7F) std::abort();  // names are cleaned
  }
  if (bank::next_byte(decoded) != bank::kSysExEnd || bank::next_byte(decoded) != -1) std::abort();
  return 0;
}
