#include "header.h"

#include <algorithm>

namespace bank {
namespace {

// Consumes the next byte when it lies in [low, high] and returns it; -1
// otherwise, with the byte left unread. Real-time bytes before it are
// passed over when the rules say so.
int take_byte_in(InputStream& in, int low, int high, bool real_time_passed) {
  if (real_time_passed) skip_real_time(in);
  const int byte = peek_byte(in);
  if (byte < low || byte > high) return -1;
  next_byte(in);
  return byte;
}

}  // namespace

std::optional<MessageHeader> read_message_header(InputStream& in, const HeaderRules& rules) {
  // The rules' real-time bytes count from the byte after F0.
  const auto take = [&in, &rules](int low, int high) {
    return take_byte_in(in, low, high, rules.real_time_passed);
  };
  if (take_byte_in(in, kSysExStart, kSysExStart, false) < 0 ||
      take(kManufacturerId, kManufacturerId) < 0)
    return std::nullopt;
  MessageHeader header;
  // The byte after the manufacturer: a system number (0-15) begins a voice
  // RAM dump, 75 every other form.
  const int form_byte = rules.every_form ? take(0x00, 0x7F) : take(kBankDumpId, kBankDumpId);
  if (form_byte < 0) return std::nullopt;
  if (form_byte < kSystemNumberCount) {
    header.form = MessageForm::voice_ram_dump;
    header.system_number = form_byte;
    if (take(kVoiceRamDumpId, kVoiceRamDumpId) < 0) return std::nullopt;
    return header;
  }
  if (form_byte != kBankDumpId) return std::nullopt;
  header.system_number = take(0x00, rules.numbers_are_data ? kSystemNumberCount - 1 : 0xFF);
  if (header.system_number < 0) return std::nullopt;
  // Byte 4: 00 for a bank dump, 08 + instrument for a single voice.
  const int last_content = rules.every_form ? kSingleVoiceBase + kInstrumentCount - 1 : 0x00;
  const int content = take(0x00, last_content);
  if (content < 0 || (content != 0x00 && content < kSingleVoiceBase)) return std::nullopt;
  // Byte 5: 00, or for a configuration 01 (current) or 02 (a memory).
  const int kind = take(0x00, rules.every_form && content == 0x00 ? 0x02 : 0x00);
  if (kind < 0) return std::nullopt;
  if (kind == 0x01 || kind == 0x02) {
    header.form = MessageForm::configuration;
    const int number = take(0x00, kind == 0x01 ? 0x00 : kConfigMemoryCount - 1);
    if (number < 0) return std::nullopt;
    header.number = kind == 0x01 ? kCurrentConfig : number;
  } else if (content == 0x00) {
    header.form = MessageForm::bank_dump;
    header.number = take(0x00, rules.numbers_are_data ? 0x7F : 0xFF);
    if (header.number < 0) return std::nullopt;
  } else {
    header.form = MessageForm::single_voice;
    header.number = content - kSingleVoiceBase;
    if (take(0x00, 0x00) < 0) return std::nullopt;
  }
  return header;
}

bool at_bank_dump_header(InputStream& in) {
  const std::span<const std::uint8_t> bytes = peek_bytes(in, kHeaderSize);
  InputStream header = memory_input(bytes.first(std::min(bytes.size(), kHeaderSize)));
  const std::optional<MessageHeader> read = read_message_header(header, kBankDumpAsItStands);
  return read && read->form == MessageForm::bank_dump;
}

bool skip_to_bank_dump(InputStream& in, bool& voice_data_passed) {
  while (skip_to_byte(in, kSysExStart)) {
    if (at_bank_dump_header(in)) return true;
    // Any other header, read as a scan of the whole file reads one. It
    // consumes its F0 and data bytes only, so the F0 of a later bank dump
    // is never passed.
    const std::optional<MessageHeader> header = read_message_header(in, kAnyVoiceMessage);
    if (header && header->form != MessageForm::configuration) voice_data_passed = true;
  }
  return false;
}

}  // namespace bank
