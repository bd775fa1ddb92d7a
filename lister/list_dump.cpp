#include "list_dump.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

#include "formats/block_codec.h"
#include "formats/header.h"
#include "formats/message_layout.h"
#include "formats/written_form.h"

namespace bank {
namespace {

// Writes out what the listing holds, when it has somewhere to go.
bool flush(Listing& listing) {
  bool ok = true;
  if (listing.out != nullptr && !listing.text.empty()) {
    ok = std::fwrite(listing.text.data(), 1, listing.text.size(), listing.out) ==
         listing.text.size();
    listing.text.clear();
  }
  if (listing.err != nullptr && !listing.warnings.empty()) {
    std::fwrite(listing.warnings.data(), 1, listing.warnings.size(), listing.err);
    listing.warnings.clear();
  }
  return ok;
}

// The lines of block `index` (0: the bank name, 1-48: voice `index`), from
// data that holds at least the bytes a listing shows.
void print_block(std::string& text, int index, std::span<const std::uint8_t> data) {
  if (index == 0)
    print_bank_name(text, data.first<kListedBankNameBytes>());
  else
    print_voice(text, data.first<kListedVoiceBytes>(), index);
}

std::size_t listed_bytes(int index) {
  return index == 0 ? kListedBankNameBytes : kListedVoiceBytes;
}

ListStatus check_dump_header(InputStream& in) {
  std::array<std::uint8_t, kHeaderSize> header{};
  if (read_bytes(in, header) != header.size())
    return in.failed ? ListStatus::read_error : ListStatus::not_bulk_dump;
  return is_bulk_dump_header(header) ? ListStatus::ok : ListStatus::not_bulk_dump;
}

ListStatus block_status(BlockFault fault) {
  switch (fault) {
    case BlockFault::none: return ListStatus::ok;
    case BlockFault::checksum: return ListStatus::checksum_error;
    case BlockFault::read_error: return ListStatus::read_error;
    case BlockFault::truncated:
    case BlockFault::status_byte: break;
  }
  return ListStatus::unexpected_end;
}

void append_hex(std::string& out, std::uint8_t byte) {
  constexpr std::string_view kDigits = "0123456789ABCDEF";
  out += "0x";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0x0F];
}

// "bank name" or "voice N": which block of a message a warning is about.
std::string block_name(int index) {
  return index == 0 ? std::string("bank name") : "voice " + std::to_string(index);
}

// "# Message N at byte B: <form and numbers>"
void append_message_line(std::string& out, std::int64_t number, std::uint64_t offset,
                         const MessageHeader& header) {
  out += "# Message ";
  out += std::to_string(number);
  out += " at byte ";
  out += std::to_string(offset);
  switch (header.form) {
    case MessageForm::bank_dump: out += ": bank dump, system "; break;
    case MessageForm::voice_ram_dump: out += ": voice RAM dump, system "; break;
    case MessageForm::single_voice: out += ": single voice, system "; break;
  }
  out += std::to_string(header.system_number);
  if (header.form == MessageForm::bank_dump) out += ", bank ";
  if (header.form == MessageForm::single_voice) out += ", instrument ";
  if (header.form != MessageForm::voice_ram_dump) out += std::to_string(header.number);
  out += '\n';
}

void append_skipped_line(std::string& out, std::uint64_t count, std::uint64_t offset) {
  out += "# Skipped ";
  out += std::to_string(count);
  out += " bytes at byte ";
  out += std::to_string(offset);
  out += '\n';
}

// "Warning: message N<about>\n", counted.
void warn(Listing& listing, ScanSummary& summary, std::int64_t message, const std::string& about) {
  listing.warnings += "Warning: message " + std::to_string(message) + about + "\n";
  ++summary.warnings;
}

// Lists one message whose header has been read. A block is listed even when
// damaged; the message ends early at the end of the data or before a byte
// from 0x80 up. Returns false on a read or write error.
bool list_message(InputStream& in, Listing& listing, ScanSummary& summary,
                  const MessageHeader& header, Block& block) {
  const std::int64_t number = summary.messages;
  const bool single = header.form == MessageForm::single_voice;
  BlockRules rules;
  rules.status_byte_ends = true;
  rules.count_if_zero = single ? 2 * kVoiceDataSize : 0;
  const int blocks = block_count(header.form);
  for (int b = 0; b < blocks; ++b) {
    const int index = single ? 1 : b;  // a single voice is listed as voice 1
    const BlockFault fault = read_block(in, block, rules);
    if (fault == BlockFault::read_error) {
      summary.status = ListStatus::read_error;
      return false;
    }
    if (fault == BlockFault::truncated || fault == BlockFault::status_byte) {
      warn(listing, summary, number,
           " ends after " + (b == 0 ? std::string("the header") : block_name(index - 1)));
      break;
    }
    if (fault == BlockFault::checksum) {
      std::string about = ", " + block_name(index) + ": checksum is ";
      append_hex(about, block.checksum);
      about += ", should be ";
      append_hex(about, block.expected);
      warn(listing, summary, number, about);
    }
    if (block.data.size() < listed_bytes(index)) {
      warn(listing, summary, number, ", " + block_name(index) + ": block too small");
      block.data.resize(listed_bytes(index), 0);  // the missing bytes are taken as zero
    }
    print_block(listing.text, index, block.data);
    if (!flush(listing)) {
      summary.status = ListStatus::write_error;
      return false;
    }
  }
  if (peek_byte(in) == kSysExEnd) next_byte(in);
  return true;
}

// Passes over bytes up to the next F0, a buffer at a time.
void skip_to_sysex_start(InputStream& in) {
  while (peek_byte(in) >= 0) {
    const auto* found = static_cast<const std::uint8_t*>(
        std::memchr(in.window.data(), kSysExStart, in.window.size()));
    if (found != nullptr) {
      in.window = in.window.subspan(static_cast<std::size_t>(found - in.window.data()));
      return;
    }
    in.window = in.window.subspan(in.window.size());
  }
}

}  // namespace

ListStatus list_dump(InputStream& in, Listing& listing) {
  ListStatus status = check_dump_header(in);
  Block block;
  for (int i = 0; status == ListStatus::ok && i < kBlockCount; ++i) {
    status = block_status(read_block(in, block));
    if (status != ListStatus::ok) break;
    if (block.data.size() < listed_bytes(i)) {
      status = ListStatus::block_size_error;
      break;
    }
    print_block(listing.text, i, block.data);
    if (!flush(listing)) status = ListStatus::write_error;
  }
  return status;
}

ScanSummary list_all(InputStream& in, Listing& listing) {
  ScanSummary summary;
  Block block;
  std::uint64_t skipped = 0;
  std::uint64_t skipped_from = 0;
  while (peek_byte(in) >= 0) {
    const std::uint64_t start = position(in);
    std::optional<MessageHeader> header;
    if (peek_byte(in) == kSysExStart)
      header = read_message_header(in);
    else
      skip_to_sysex_start(in);
    if (!header) {
      if (skipped == 0) skipped_from = start;
      skipped += position(in) - start;
      continue;
    }
    if (skipped > 0) append_skipped_line(listing.text, skipped, skipped_from);
    skipped = 0;
    append_message_line(listing.text, ++summary.messages, start, *header);
    if (!list_message(in, listing, summary, *header, block)) return summary;
  }
  if (in.failed) summary.status = ListStatus::read_error;
  if (skipped > 0) append_skipped_line(listing.text, skipped, skipped_from);
  if (!flush(listing) && summary.status == ListStatus::ok) summary.status = ListStatus::write_error;
  return summary;
}

}  // namespace bank
