#include "voice_kind.h"

#include <algorithm>

#include "block_codec.h"

namespace bank {

SingleVoice single_voice_message(std::span<const std::uint8_t, kVoiceDataSize> voice,
                                 int system_number, int instrument) {
  SingleVoice message{kSysExStart,
                      kManufacturerId,
                      kBankDumpId,
                      static_cast<std::uint8_t>(system_number & 0x0F),
                      static_cast<std::uint8_t>(kSingleVoiceBase + (instrument & 0x07)),
                      0x00,
                      0x00};
  std::span<std::uint8_t> cursor = std::span<std::uint8_t>(message).subspan(kHeaderSize);
  write_block(cursor, voice);
  cursor[0] = kSysExEnd;
  return message;
}

KindRead VoiceKind::read(InputStream& in, int /*system_number*/) const {
  next_byte(in);  // the F0 of a message that is no answer
  return {};
}

std::vector<TimedPacket> VoiceKind::packets(std::span<const std::uint8_t> message,
                                            int system_number, std::uint32_t /*gap_ms*/) const {
  // The voice data of a single-voice message: its block's nibble pairs.
  if (message.size() != kSingleVoiceSize) return {};
  std::array<std::uint8_t, kVoiceDataSize> voice{};
  const std::size_t data = kHeaderSize + 2;
  for (std::size_t i = 0; i < voice.size(); ++i)
    voice[i] = decode_nibble_pair(message[data + 2 * i], message[data + 2 * i + 1]);
  const SingleVoice sent = single_voice_message(voice, system_number, instrument_);
  return {{0, {sent.begin(), sent.end()}}};
}

}  // namespace bank
