// The single voice: one voice into instrument i's buffer, which changes
// what that instrument plays at once and stores nothing:
//
//   F0 43 75 <system> <08 + i> 00 00, one voice block (count 01 00, the 64
//   voice bytes as 128 nibble bytes, checksum), F7: 139 bytes.
//
// It needs no protect-off. As a kind of message it is only ever sent: the
// request for a buffer's voice and the store of a buffer into memory have
// codes that sources give the other way round, and a wrong guess would
// overwrite an owner's voice, so neither is ever sent, and a voice is
// never read back.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "message_kind.h"

namespace bank {

inline constexpr std::size_t kSingleVoiceSize = kHeaderSize + kVoiceBlockSize + 1;
static_assert(kSingleVoiceSize == 139);

using SingleVoice = std::array<std::uint8_t, kSingleVoiceSize>;

// The message that puts `voice` into instrument `instrument` (0-7) of
// system `system_number`.
SingleVoice single_voice_message(std::span<const std::uint8_t, kVoiceDataSize> voice,
                                 int system_number, int instrument);

class VoiceKind final : public MessageKind {
 public:
  explicit VoiceKind(int instrument) : instrument_(instrument) {}
  std::string_view noun() const override { return "voice"; }
  // None: a voice is never asked for.
  std::vector<std::uint8_t> request(int /*system_number*/) const override { return {}; }
  std::size_t message_size() const override { return kSingleVoiceSize; }
  // Nothing is its answer: every message is passed over.
  KindRead read(InputStream& in, int system_number) const override;
  // The message alone, for this kind's instrument and `system_number`.
  std::vector<TimedPacket> packets(std::span<const std::uint8_t> message, int system_number,
                                   std::uint32_t gap_ms) const override;
  std::string differences(std::span<const std::uint8_t> /*sent*/,
                          std::span<const std::uint8_t> /*back*/) const override {
    return {};
  }

 private:
  int instrument_;
};

}  // namespace bank
