#include "list_dump.h"

#include <array>
#include <cstdint>

#include "formats/block_codec.h"
#include "formats/header.h"
#include "formats/message_layout.h"
#include "formats/written_form.h"

namespace bank {

ListStatus check_dump_header(InputStream& in) {
  std::array<std::uint8_t, kHeaderSize> header{};
  if (read_bytes(in, header) != header.size())
    return in.failed ? ListStatus::read_error : ListStatus::not_bulk_dump;
  return is_bulk_dump_header(header) ? ListStatus::ok : ListStatus::not_bulk_dump;
}

ListStatus list_block(InputStream& in, int index, std::string& text) {
  BlockFault fault = BlockFault::none;
  const auto block = read_block(in, fault);
  if (!block) {
    switch (fault) {
      case BlockFault::checksum: return ListStatus::checksum_error;
      case BlockFault::read_error: return ListStatus::read_error;
      case BlockFault::truncated:
      case BlockFault::none: break;
    }
    return ListStatus::unexpected_end;
  }
  const std::span<const std::uint8_t> data(*block);
  if (index == 0) {
    if (data.size() < kListedBankNameBytes) return ListStatus::block_size_error;
    print_bank_name(text, data.first<kListedBankNameBytes>());
  } else {
    if (data.size() < kListedVoiceBytes) return ListStatus::block_size_error;
    print_voice(text, data.first<kListedVoiceBytes>(), index);
  }
  return ListStatus::ok;
}

ListStatus list_dump(InputStream& in, std::string& text) {
  ListStatus status = check_dump_header(in);
  for (int i = 0; status == ListStatus::ok && i < kListedBlockCount; ++i)
    status = list_block(in, i, text);
  return status;
}

}  // namespace bank
