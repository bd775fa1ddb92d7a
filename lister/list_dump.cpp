#include "list_dump.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

#include "formats/block_codec.h"
#include "formats/header.h"
#include "formats/message_format.h"
#include "formats/message_layout.h"
#include "formats/midi_file.h"
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

// The texts the scan of a whole file writes: comment lines in the listing,
// warnings on standard error.
constexpr std::string_view kBankDumpLine =
    "# Message %d at byte %d: bank dump, system %d, bank %d\n";
constexpr std::string_view kVoiceRamDumpLine =
    "# Message %d at byte %d: voice RAM dump, system %d\n";
constexpr std::string_view kSingleVoiceLine =
    "# Message %d at byte %d: single voice, system %d, instrument %d\n";
constexpr std::string_view kSkippedLine = "# Skipped %d bytes at byte %d\n";
constexpr std::string_view kBankNameBlock = "bank name";
constexpr std::string_view kVoiceBlock = "voice %d";
constexpr std::string_view kEndsAfterHeader = "Warning: message %d ends after the header\n";
constexpr std::string_view kEndsAfterBlock = "Warning: message %d ends after %s\n";
constexpr std::string_view kChecksumWarning =
    "Warning: message %d, %s: checksum is 0x%02X, should be 0x%02X\n";
constexpr std::string_view kTooSmallWarning = "Warning: message %d, %s: block too small\n";
constexpr std::string_view kMidiFileLine =
    "# Standard MIDI File; byte offsets count in its System Exclusive data\n";
constexpr std::string_view kMidiDamageWarning =
    "Warning: MIDI file damaged at byte %d; the rest is not read\n";

// "bank name" or "voice N": which block of a message a warning is about.
std::string block_name(int index) {
  return index == 0 ? std::string(kBankNameBlock) : format_message(kVoiceBlock, {index});
}

void append_message_line(std::string& out, std::int64_t number, std::uint64_t offset,
                         const MessageHeader& header) {
  switch (header.form) {
    case MessageForm::bank_dump:
      append_message(out, kBankDumpLine, {number, offset, header.system_number, header.number});
      break;
    case MessageForm::voice_ram_dump:
      append_message(out, kVoiceRamDumpLine, {number, offset, header.system_number});
      break;
    case MessageForm::single_voice:
      append_message(out, kSingleVoiceLine, {number, offset, header.system_number, header.number});
      break;
  }
}

// How the blocks of a message are read and what a fault does.
struct BlockPolicy {
  BlockRules rules;
  // A damaged block is listed for what it holds, with a warning, and a
  // message that ends early ends the message alone; otherwise the first
  // fault ends the listing with its status.
  bool list_damage = false;
};

// The plain listing reads a bank dump's blocks as they stand and stops at
// the first fault: what it prints always compiles back to the same bytes.
constexpr BlockPolicy kStopAtFault{};

ListStatus fault_status(BlockFault fault) {
  switch (fault) {
    case BlockFault::none: return ListStatus::ok;
    case BlockFault::checksum: return ListStatus::checksum_error;
    case BlockFault::read_error: return ListStatus::read_error;
    case BlockFault::truncated:
    case BlockFault::status_byte: break;
  }
  return ListStatus::unexpected_end;
}

// Lists the blocks of one message whose header has been read. Returns ok,
// or the status that ended the listing: under kStopAtFault any fault, when
// damage is listed only a read or write error. Warnings are counted in
// `warnings`.
ListStatus list_blocks(InputStream& in, Listing& listing, const MessageHeader& header,
                       const BlockPolicy& policy, std::int64_t number, std::int64_t& warnings) {
  const bool single = header.form == MessageForm::single_voice;
  const int blocks = block_count(header.form);
  Block block;
  for (int b = 0; b < blocks; ++b) {
    const int index = single ? 1 : b;  // a single voice is listed as voice 1
    const BlockFault fault = read_block(in, block, policy.rules);
    if (fault != BlockFault::none && (fault == BlockFault::read_error || !policy.list_damage))
      return fault_status(fault);
    if (fault == BlockFault::truncated || fault == BlockFault::status_byte) {
      if (b == 0)
        append_message(listing.warnings, kEndsAfterHeader, {number});
      else
        append_message(listing.warnings, kEndsAfterBlock, {number, block_name(index - 1)});
      ++warnings;
      break;
    }
    if (fault == BlockFault::checksum) {
      append_message(listing.warnings, kChecksumWarning,
                     {number, block_name(index), block.checksum, block.expected});
      ++warnings;
    }
    if (block.data.size() < listed_bytes(index)) {
      if (!policy.list_damage) return ListStatus::block_size_error;
      append_message(listing.warnings, kTooSmallWarning, {number, block_name(index)});
      ++warnings;
      block.data.resize(listed_bytes(index), 0);  // the missing bytes are taken as zero
    }
    print_block(listing.text, index, block.data);
    if (!flush(listing)) return ListStatus::write_error;
  }
  return ListStatus::ok;
}

}  // namespace

ListStatus list_dump(InputStream& in, Listing& listing) {
  const std::optional<MessageHeader> header = read_message_header(in, kBankDumpAsItStands);
  if (!header) return failed(in) ? ListStatus::read_error : ListStatus::not_bulk_dump;
  std::int64_t warnings = 0;
  return list_blocks(in, listing, *header, kStopAtFault, 1, warnings);
}

bool skip_to_bank_dump(InputStream& in) {
  constexpr std::array<std::uint8_t, 3> kStart{kSysExStart, kManufacturerId, kBulkDumpId};
  while (skip_to_byte(in, kSysExStart)) {
    const std::span<const std::uint8_t> bytes = peek_bytes(in, kHeaderSize - 1);
    if (bytes.size() < kHeaderSize - 1) return false;
    if (std::equal(kStart.begin(), kStart.end(), bytes.begin()) && bytes[4] == 0 && bytes[5] == 0)
      return true;
    consume(in, 1);
  }
  return false;
}

ScanSummary list_all(InputStream& in, Listing& listing) {
  ScanSummary summary;
  std::uint64_t skipped = 0;
  std::uint64_t skipped_from = 0;
  while (peek_byte(in) >= 0) {
    const std::uint64_t start = position(in);
    std::optional<MessageHeader> header;
    if (peek_byte(in) == kSysExStart)
      header = read_message_header(in, kAnyVoiceMessage);
    else
      skip_to_byte(in, kSysExStart);
    if (!header) {
      if (skipped == 0) skipped_from = start;
      skipped += position(in) - start;
      continue;
    }
    if (skipped > 0) append_message(listing.text, kSkippedLine, {skipped, skipped_from});
    skipped = 0;
    append_message_line(listing.text, ++summary.messages, start, *header);
    // MIDI's rules: a byte from 0x80 up ends a block and begins the next
    // message, and a single voice may be sent with a count of 0.
    BlockPolicy policy;
    policy.rules.status_byte_ends = true;
    policy.rules.real_time_passed = true;
    policy.rules.count_if_zero = header->form == MessageForm::single_voice ? 2 * kVoiceDataSize : 0;
    policy.list_damage = true;
    summary.status = list_blocks(in, listing, *header, policy, summary.messages, summary.warnings);
    if (summary.status != ListStatus::ok) return summary;
    // The closing F7, with the real-time bytes before it; without an F7
    // the message ends at its last block, and those bytes are skipped.
    const std::uint64_t after = position(in);
    std::uint64_t real_time = 0;
    while (is_real_time(peek_byte(in))) {
      next_byte(in);
      ++real_time;
    }
    if (peek_byte(in) == kSysExEnd) {
      next_byte(in);
    } else if (real_time > 0) {
      skipped_from = after;
      skipped = real_time;
    }
  }
  if (failed(in)) summary.status = ListStatus::read_error;
  if (skipped > 0) append_message(listing.text, kSkippedLine, {skipped, skipped_from});
  if (!flush(listing) && summary.status == ListStatus::ok) summary.status = ListStatus::write_error;
  return summary;
}

ScanSummary list_file(InputStream& in, Listing& listing, bool all) {
  if (!is_midi_file(in)) {
    if (all) return list_all(in, listing);
    ScanSummary summary;
    summary.status = list_dump(in, listing);
    return summary;
  }
  // A Standard MIDI File: its System Exclusive bytes are listed as the bytes
  // of a .syx file would be, the plain listing from the first bank dump
  // among them (the file text2syx -m writes begins with protect-off).
  MidiReader reader;
  reader.file = &in;
  InputStream sysex = midi_input(reader);
  ScanSummary summary;
  if (all) {
    listing.text += kMidiFileLine;
    summary = list_all(sysex, listing);
    if (reader.damaged_at && summary.status == ListStatus::ok) {
      append_message(listing.warnings, kMidiDamageWarning, {*reader.damaged_at});
      ++summary.warnings;
      if (!flush(listing)) summary.status = ListStatus::write_error;
    }
  } else if (skip_to_bank_dump(sysex)) {
    summary.status = list_dump(sysex, listing);
  } else {
    summary.status = failed(sysex) ? ListStatus::read_error : ListStatus::not_bulk_dump;
  }
  return summary;
}

}  // namespace bank
