#include "list_dump.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

#include "formats/block_codec.h"
#include "formats/config_dump.h"
#include "system/fixed_text.h"
#include "formats/header.h"
#include "formats/message_layout.h"
#include "formats/message_reader.h"
#include "formats/midi_file.h"
#include "text/config_text.h"
#include "text/written_form.h"

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
// data that holds at least the bytes a listing shows. Voice data bytes that
// a short block does not carry are taken as zero, and bytes past the 64 of
// voice data are none of the voice's.
void append_block(std::string& text, int index, std::span<const std::uint8_t> data) {
  if (index == 0) {
    print_bank_name(text, data);
    return;
  }
  if (data.size() >= kVoiceDataSize) {
    append_voice(text, data.first<kVoiceDataSize>(), index);
    return;
  }
  std::array<std::uint8_t, kVoiceDataSize> voice{};
  std::copy_n(data.begin(), data.size(), voice.begin());
  append_voice(text, voice, index);
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
constexpr std::string_view kCurrentConfigLine =
    "# Message %d at byte %d: current configuration, system %d\n";
constexpr std::string_view kConfigMemoryLine =
    "# Message %d at byte %d: configuration %d, system %d\n";
constexpr std::string_view kConfigBlock = "configuration";
constexpr std::string_view kConfigSizeWarning =
    "Warning: message %d, configuration: %d data bytes, not 160\n";
constexpr std::string_view kConfigCutWarning =
    "Warning: message %d ends after %d bytes of the configuration\n";
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
  return index == 0 ? std::string(kBankNameBlock) : filled_text(kVoiceBlock, {index});
}

void append_header_line(std::string& out, std::int64_t number, std::uint64_t offset,
                        const MessageHeader& header) {
  switch (header.form) {
    case MessageForm::bank_dump:
      append_text(out, kBankDumpLine, {number, offset, header.system_number, header.number});
      break;
    case MessageForm::voice_ram_dump:
      append_text(out, kVoiceRamDumpLine, {number, offset, header.system_number});
      break;
    case MessageForm::single_voice:
      append_text(out, kSingleVoiceLine, {number, offset, header.system_number, header.number});
      break;
    case MessageForm::configuration: break;  // listed with its data
  }
}

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

void keep_block(BankData& bank, int index, std::span<const std::uint8_t> data) {
  const std::span<std::uint8_t> kept = block_data(bank, index);
  const std::size_t n = std::min(kept.size(), data.size());
  std::copy_n(data.begin(), n, kept.begin());
  std::fill(kept.begin() + static_cast<std::ptrdiff_t>(n), kept.end(), std::uint8_t{0});
}

// What a fault in a block does to a listing.
enum class DamagePolicy {
  stop,  // the first fault ends the listing with its status
  list,  // a damaged block is listed for what it holds, with a warning, and
         // a message that ends early ends that message alone
};

// Lists the blocks of one message whose header has been read. Returns ok,
// or the status that ended the listing: under DamagePolicy::stop any fault,
// under DamagePolicy::list only a read or write error. Warnings are counted
// in `warnings`.
ListStatus list_blocks(InputStream& in, Listing& listing, MessageReading& message,
                       DamagePolicy policy, std::int64_t number, std::int64_t& warnings) {
  const bool list_damage = policy == DamagePolicy::list;
  Block block;
  while (!message_blocks_done(message)) {
    const int blocks_before = message.next_block;
    const BlockRead read = read_next_block(in, message, block);
    const BlockFault fault = read.fault;
    if (fault != BlockFault::none && (fault == BlockFault::read_error || !list_damage))
      return fault_status(fault);
    if (fault == BlockFault::truncated || fault == BlockFault::status_byte) {
      if (blocks_before == 0)
        append_text(listing.warnings, kEndsAfterHeader, {number});
      else
        append_text(listing.warnings, kEndsAfterBlock, {number, block_name(read.index - 1)});
      ++warnings;
      break;
    }
    if (fault == BlockFault::checksum) {
      append_text(listing.warnings, kChecksumWarning,
                  {number, block_name(read.index), block.checksum, block.expected});
      ++warnings;
    }
    if (block.data.size() < listed_bytes(read.index)) {
      if (!list_damage) return ListStatus::block_size_error;
      append_text(listing.warnings, kTooSmallWarning, {number, block_name(read.index)});
      ++warnings;
      block.data.resize(listed_bytes(read.index), 0);  // the missing bytes are taken as zero
    }
    append_block(listing.text, read.index, block.data);
    if (listing.bank != nullptr) keep_block(*listing.bank, read.index, block.data);
    if (!flush(listing)) return ListStatus::write_error;
  }
  return ListStatus::ok;
}

}  // namespace

std::string_view list_error_words(ListStatus status) {
  // syx2text's texts, kept word for word (see system/fixed_text.h).
  switch (status) {
    case ListStatus::not_bank_dump: return "\"%s\" is not contain the FB-01 inst bulk data.";
    case ListStatus::checksum_error: return "Checksum error..";
    case ListStatus::unexpected_end: return "Unexpected end of file..";
    case ListStatus::block_size_error: return "Block size error..";
    case ListStatus::read_error: return "Cannot read %s";
    case ListStatus::write_error:
    case ListStatus::ok: break;
  }
  return "";
}

ListStatus list_dump(InputStream& in, Listing& listing) {
  // Looked at before it is read, so that a file that is no bank dump can
  // still be scanned from its start.
  std::optional<MessageReading> message;
  if (at_bank_dump_header(in)) message = begin_message(in, kBankDumpListed);
  if (!message) return failed(in) ? ListStatus::read_error : ListStatus::not_bank_dump;
  if (listing.bank != nullptr) {
    listing.bank->system_number = message->header.system_number;
    listing.bank->bank_number = message->header.number;
  }
  std::int64_t warnings = 0;
  return list_blocks(in, listing, *message, DamagePolicy::stop, 1, warnings);
}

// Lists the configuration dump at the stream's position, its header
// line first; a damaged one is listed for what it holds, with a warning.
void list_config(InputStream& in, Listing& listing, std::uint64_t start,
                 const ConfigHeader& header, ScanSummary& summary) {
  const std::int64_t number = ++summary.messages;
  if (header.memory == kCurrentConfig)
    append_text(listing.text, kCurrentConfigLine, {number, start, header.system_number});
  else
    append_text(listing.text, kConfigMemoryLine,
                {number, start, header.memory + 1, header.system_number});
  const DecodedConfig decoded = read_config_body(in, header);
  if (decoded.fault == BankFault::read_error) return;
  const bool cut = decoded.fault == BankFault::cut;
  if (cut && decoded.data_count == 0) {
    append_text(listing.warnings, kEndsAfterHeader, {number});
    ++summary.warnings;
    return;
  }
  if (cut) {
    append_text(listing.warnings, kConfigCutWarning, {number, decoded.data_count});
    ++summary.warnings;
  } else if (decoded.data_count != kConfigDataSize) {
    append_text(listing.warnings, kConfigSizeWarning, {number, decoded.data_count});
    ++summary.warnings;
  } else if (decoded.fault == BankFault::checksum) {
    append_text(listing.warnings, kChecksumWarning,
                {number, kConfigBlock, decoded.checksum, decoded.expected});
    ++summary.warnings;
  }
  listing.text += config_text(decoded.config);
}

ScanSummary list_all(InputStream& in, Listing& listing) {
  ScanSummary summary;
  std::uint64_t skipped = 0;
  std::uint64_t skipped_from = 0;
  while (peek_byte(in) >= 0) {
    const std::uint64_t start = position(in);
    std::optional<MessageReading> message;
    if (peek_byte(in) == kSysExStart)
      message = begin_message(in, kVoiceMessageReceived);
    else
      skip_to_byte(in, kSysExStart);
    if (const auto config = message ? config_header_of(message->header) : std::nullopt) {
      if (skipped > 0) append_text(listing.text, kSkippedLine, {skipped, skipped_from});
      skipped = 0;
      list_config(in, listing, start, *config, summary);
      if (failed(in)) break;
      if (!flush(listing)) {
        summary.status = ListStatus::write_error;
        return summary;
      }
      continue;
    }
    if (!message) {
      if (skipped == 0) skipped_from = start;
      skipped += position(in) - start;
      continue;
    }
    if (skipped > 0) append_text(listing.text, kSkippedLine, {skipped, skipped_from});
    skipped = 0;
    append_header_line(listing.text, ++summary.messages, start, message->header);
    summary.status =
        list_blocks(in, listing, *message, DamagePolicy::list, summary.messages, summary.warnings);
    if (summary.status != ListStatus::ok) return summary;
    const MessageEnd end = read_message_end(in);
    if (!end.closed && end.real_time > 0) {
      skipped_from = end.real_time_at;
      skipped = end.real_time;
    }
  }
  if (failed(in)) summary.status = ListStatus::read_error;
  if (skipped > 0) append_text(listing.text, kSkippedLine, {skipped, skipped_from});
  if (!flush(listing) && summary.status == ListStatus::ok) summary.status = ListStatus::write_error;
  return summary;
}

namespace {

// A plain listing that found no bank dump where it looked: whether the rest
// of the stream holds voice data that list_all would list.
// Passes over bytes up to the first bank dump, as skip_to_bank_dump, and
// notes the voice data and configurations passed over on the way.
bool find_bank_dump(InputStream& in, ScanSummary& summary) {
  while (skip_to_byte(in, kSysExStart)) {
    if (at_bank_dump_header(in)) return true;
    // Any other header consumes its F0 and data bytes only, so the F0 of a
    // later bank dump is never passed.
    const std::optional<MessageHeader> header = read_message_header(in, kAnyVoiceMessage);
    if (header && header->form == MessageForm::configuration)
      summary.config_elsewhere = true;
    else if (header)
      summary.voice_data_elsewhere = true;
  }
  return false;
}

void look_for_voice_data(InputStream& in, ScanSummary& summary) {
  if (find_bank_dump(in, summary)) summary.voice_data_elsewhere = true;
}

}  // namespace

ScanSummary list_file(InputStream& in, Listing& listing, bool all) {
  if (!is_midi_file(in)) {
    if (all) return list_all(in, listing);
    ScanSummary summary;
    summary.status = list_dump(in, listing);
    if (summary.status == ListStatus::not_bank_dump) look_for_voice_data(in, summary);
    return summary;
  }
  // A Standard MIDI File: its System Exclusive bytes are listed as the bytes
  // of a .syx file would be, the plain listing from the first bank dump
  // among them (the file text2syx -m writes begins with protect-off).
  MidiSysexSource source(in);
  InputStream sysex = source_input(source);
  ScanSummary summary;
  if (all) {
    listing.text += kMidiFileLine;
    summary = list_all(sysex, listing);
    if (source.damaged_at() && summary.status == ListStatus::ok) {
      append_text(listing.warnings, kMidiDamageWarning, {*source.damaged_at()});
      ++summary.warnings;
      if (!flush(listing)) summary.status = ListStatus::write_error;
    }
  } else if (find_bank_dump(sysex, summary)) {
    summary.status = list_dump(sysex, listing);
  } else {
    summary.status = failed(sysex) ? ListStatus::read_error : ListStatus::not_bank_dump;
  }
  return summary;
}

}  // namespace bank
