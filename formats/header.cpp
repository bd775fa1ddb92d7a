#include "header.h"

namespace bank {
namespace {

// Consumes the next byte when it lies in [low, high]; -1 otherwise.
// Real-time bytes before it are passed over when the rules say so.
int accept(InputStream& in, int low, int high, bool real_time_passed) {
  int byte = peek_byte(in);
  while (real_time_passed && is_real_time(byte)) {
    next_byte(in);
    byte = peek_byte(in);
  }
  if (byte < low || byte > high) return -1;
  next_byte(in);
  return byte;
}

}  // namespace

std::optional<MessageHeader> read_message_header(InputStream& in, const HeaderRules& rules) {
  // The rules' real-time bytes count from the byte after F0.
  const auto accept = [&in, &rules](int low, int high) {
    return bank::accept(in, low, high, rules.real_time_passed);
  };
  if (bank::accept(in, kSysExStart, kSysExStart, false) < 0 ||
      accept(kManufacturerId, kManufacturerId) < 0)
    return std::nullopt;
  MessageHeader header;
  const int third = rules.every_form ? accept(0x00, 0x7F) : accept(kBulkDumpId, kBulkDumpId);
  if (third < 0) return std::nullopt;
  if (third < kSystemNumberCount) {
    header.form = MessageForm::voice_ram_dump;
    header.system_number = third;
    if (accept(kVoiceRamDumpId, kVoiceRamDumpId) < 0) return std::nullopt;
    return header;
  }
  if (third != kBulkDumpId) return std::nullopt;
  header.system_number = accept(0x00, rules.numbers_are_data ? kSystemNumberCount - 1 : 0xFF);
  if (header.system_number < 0) return std::nullopt;
  const int last_kind = rules.every_form ? kSingleVoiceBase + kInstrumentCount - 1 : 0x00;
  const int kind = accept(0x00, last_kind);
  if (kind < 0 || (kind != 0x00 && kind < kSingleVoiceBase) || accept(0x00, 0x00) < 0)
    return std::nullopt;
  if (kind == 0x00) {
    header.form = MessageForm::bank_dump;
    header.number = accept(0x00, rules.numbers_are_data ? 0x7F : 0xFF);
    if (header.number < 0) return std::nullopt;
  } else {
    header.form = MessageForm::single_voice;
    header.number = kind - kSingleVoiceBase;
    if (accept(0x00, 0x00) < 0) return std::nullopt;
  }
  return header;
}

}  // namespace bank
