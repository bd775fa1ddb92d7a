#include "bank_state.h"

namespace bank {
namespace {

// Members of the records by field, in the order of the field enums.
constexpr std::array<int VoiceParams::*, kVoiceFieldCount> kVoiceSlots{
    &VoiceParams::en,  &VoiceParams::spd, &VoiceParams::amd,   &VoiceParams::pmd,
    &VoiceParams::ams, &VoiceParams::pms, &VoiceParams::form,  &VoiceParams::sync,
    &VoiceParams::alg, &VoiceParams::fb,  &VoiceParams::trans, &VoiceParams::mon,
    &VoiceParams::por, &VoiceParams::cnt, &VoiceParams::pbr,
};

constexpr std::array<int OperatorParams::*, kOperatorFieldCount> kOperatorSlots{
    &OperatorParams::mul, &OperatorParams::tl,  &OperatorParams::ar,  &OperatorParams::dr,
    &OperatorParams::sl,  &OperatorParams::sr,  &OperatorParams::rr,  &OperatorParams::dt1,
    &OperatorParams::dt2, &OperatorParams::kst, &OperatorParams::ksl, &OperatorParams::ksr,
    &OperatorParams::vst, &OperatorParams::adj, &OperatorParams::vsa, &OperatorParams::mc,
};

}  // namespace

int& voice_slot(VoiceParams& voice, VoiceField field) {
  return voice.*kVoiceSlots[static_cast<std::size_t>(field)];
}

int& operator_slot(OperatorParams& op, OperatorField field) {
  return op.*kOperatorSlots[static_cast<std::size_t>(field)];
}

}  // namespace bank
