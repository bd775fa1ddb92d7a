// The compiler's state: option values, the bank name, the voice table as
// read from the bank text, and the message built from them.
#pragma once

#include <array>
#include <cstdint>

#include "formats/field_layout.h"
#include "formats/message_layout.h"

namespace bank {

// A name of 7 characters and a terminating zero.
using Name = std::array<char, kNameLength + 1>;

// One operator's parameters, in the order of their bits in the operator data.
struct OperatorParams {
  int tl, kst, vst, ksl, adj, dt1, mul, ksr, ar, mc, vsa, dr, dt2, sr, sl, rr;
};

// One voice as given by the text. Values are kept as written; the builder
// stores only as many low bits as each field is wide.
struct VoiceParams {
  Name name;
  int spd, en, amd, sync, pmd;
  int fb, alg, pms, ams, form, trans;
  std::array<OperatorParams, kOperatorCount> op;
  int mon, por, cnt, pbr;
};

// Voices 1-48 sit at indices 0-47. Index 48 is the spare record: it takes
// the lines of a voice numbered above 48 or of a header without a name, so
// that those lines are checked and counted but reach no output.
inline constexpr int kSpareVoiceIndex = kVoiceCount;

struct BankState {
  int system_number = 0;
  int bank_number = 0;
  int reader_error = 0;               // 0-5, set when the reader stops at a fault
  std::int64_t definition_count = 0;  // voice header and parameter lines accepted
  Name bank_name{};                   // all zero until a bank name line is read
  std::array<VoiceParams, kVoiceCount + 1> voices{};
  std::array<std::uint8_t, kMessageSize> message{};
};

// Members of the records by field, in the order of the field enums.
inline constexpr std::array<int VoiceParams::*, kVoiceFieldCount> kVoiceSlots{
    &VoiceParams::en,  &VoiceParams::spd, &VoiceParams::amd,   &VoiceParams::pmd,
    &VoiceParams::ams, &VoiceParams::pms, &VoiceParams::form,  &VoiceParams::sync,
    &VoiceParams::alg, &VoiceParams::fb,  &VoiceParams::trans, &VoiceParams::mon,
    &VoiceParams::por, &VoiceParams::cnt, &VoiceParams::pbr,
};

inline constexpr std::array<int OperatorParams::*, kOperatorFieldCount> kOperatorSlots{
    &OperatorParams::mul, &OperatorParams::tl,  &OperatorParams::ar,  &OperatorParams::dr,
    &OperatorParams::sl,  &OperatorParams::sr,  &OperatorParams::rr,  &OperatorParams::dt1,
    &OperatorParams::dt2, &OperatorParams::kst, &OperatorParams::ksl, &OperatorParams::ksr,
    &OperatorParams::vst, &OperatorParams::adj, &OperatorParams::vsa, &OperatorParams::mc,
};

// The storage of each parameter inside the records.
inline int& voice_slot(VoiceParams& voice, VoiceField field) {
  return voice.*kVoiceSlots[static_cast<std::size_t>(field)];
}
inline int voice_value(const VoiceParams& voice, VoiceField field) {
  return voice.*kVoiceSlots[static_cast<std::size_t>(field)];
}
inline int& operator_slot(OperatorParams& op, OperatorField field) {
  return op.*kOperatorSlots[static_cast<std::size_t>(field)];
}

}  // namespace bank
