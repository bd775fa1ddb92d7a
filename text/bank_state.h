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

constexpr int preset(VoiceField field) { return voice_field_layout(field).preset; }

// One voice as given by the text. Values are kept as written; the builder
// stores only as many low bits as each field is wide. The fields of the
// EXT line start at their presets, so that a voice whose text has no EXT
// line is built as it always was.
struct VoiceParams {
  Name name;
  int spd, en, amd, sync, pmd;
  int fb, alg, pms, ams, form, trans;
  std::array<OperatorParams, kOperatorCount> op;
  int mon, por, cnt, pbr;
  int on1 = preset(VoiceField::ON1), on2 = preset(VoiceField::ON2),
      on3 = preset(VoiceField::ON3), on4 = preset(VoiceField::ON4);
  int out = preset(VoiceField::OUT), usr = preset(VoiceField::USR);
  // The free bits of each voice data byte, as a RAW line gives them (only
  // the free bits of each byte are kept).
  std::array<std::uint8_t, kVoiceDataSize> raw{};
};

// Voices 1-48 sit at indices 0-47. Index 48 is the spare record: it takes
// the lines of a voice numbered above 48 or of a header without a name, so
// that those lines are checked and counted but reach no output.
inline constexpr int kSpareVoiceIndex = kVoiceCount;

struct BankState {
  int system_number = 0;
  int bank_number = 0;
  int reader_error = 0;               // 0-7, set when the reader stops at a fault
  std::int64_t definition_count = 0;  // voice header and parameter lines accepted
  Name bank_name{};                   // all zero until a bank name line is read
  std::array<VoiceParams, kVoiceCount + 1> voices{};
  std::array<std::uint8_t, kMessageSize> message{};
};

// The one place that ties each field to its member of the records. The rows
// stand in the order of the field enums, which the compiler checks.
struct VoiceSlot {
  VoiceField field;
  int VoiceParams::*member;
};
struct OperatorSlot {
  OperatorField field;
  int OperatorParams::*member;
};

inline constexpr std::array<VoiceSlot, kVoiceFieldCount> kVoiceSlots{{
    {VoiceField::EN, &VoiceParams::en},
    {VoiceField::SPD, &VoiceParams::spd},
    {VoiceField::AMD, &VoiceParams::amd},
    {VoiceField::PMD, &VoiceParams::pmd},
    {VoiceField::AMS, &VoiceParams::ams},
    {VoiceField::PMS, &VoiceParams::pms},
    {VoiceField::FORM, &VoiceParams::form},
    {VoiceField::SYNC, &VoiceParams::sync},
    {VoiceField::ALG, &VoiceParams::alg},
    {VoiceField::FB, &VoiceParams::fb},
    {VoiceField::TRANS, &VoiceParams::trans},
    {VoiceField::MON, &VoiceParams::mon},
    {VoiceField::POR, &VoiceParams::por},
    {VoiceField::CNT, &VoiceParams::cnt},
    {VoiceField::PBR, &VoiceParams::pbr},
    {VoiceField::ON1, &VoiceParams::on1},
    {VoiceField::ON2, &VoiceParams::on2},
    {VoiceField::ON3, &VoiceParams::on3},
    {VoiceField::ON4, &VoiceParams::on4},
    {VoiceField::OUT, &VoiceParams::out},
    {VoiceField::USR, &VoiceParams::usr},
}};

inline constexpr std::array<OperatorSlot, kOperatorFieldCount> kOperatorSlots{{
    {OperatorField::MUL, &OperatorParams::mul},
    {OperatorField::TL, &OperatorParams::tl},
    {OperatorField::AR, &OperatorParams::ar},
    {OperatorField::DR, &OperatorParams::dr},
    {OperatorField::SL, &OperatorParams::sl},
    {OperatorField::SR, &OperatorParams::sr},
    {OperatorField::RR, &OperatorParams::rr},
    {OperatorField::DT1, &OperatorParams::dt1},
    {OperatorField::DT2, &OperatorParams::dt2},
    {OperatorField::KST, &OperatorParams::kst},
    {OperatorField::KSL, &OperatorParams::ksl},
    {OperatorField::KSR, &OperatorParams::ksr},
    {OperatorField::VST, &OperatorParams::vst},
    {OperatorField::ADJ, &OperatorParams::adj},
    {OperatorField::VSA, &OperatorParams::vsa},
    {OperatorField::MC, &OperatorParams::mc},
}};

template <class Slots>
constexpr bool in_field_order(const Slots& slots) {
  for (std::size_t i = 0; i < slots.size(); ++i)
    if (static_cast<std::size_t>(slots[i].field) != i) return false;
  return true;
}
static_assert(in_field_order(kVoiceSlots));
static_assert(in_field_order(kOperatorSlots));

// The storage of each parameter inside the records.
inline int& voice_slot(VoiceParams& voice, VoiceField field) {
  return voice.*kVoiceSlots[static_cast<std::size_t>(field)].member;
}
inline int voice_value(const VoiceParams& voice, VoiceField field) {
  return voice.*kVoiceSlots[static_cast<std::size_t>(field)].member;
}
inline int& operator_slot(OperatorParams& op, OperatorField field) {
  return op.*kOperatorSlots[static_cast<std::size_t>(field)].member;
}

}  // namespace bank
