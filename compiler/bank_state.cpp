#include "bank_state.h"

namespace bank {

int& voice_slot(VoiceParams& voice, VoiceField field) {
  switch (field) {
    case VoiceField::EN: return voice.en;
    case VoiceField::SPD: return voice.spd;
    case VoiceField::AMD: return voice.amd;
    case VoiceField::PMD: return voice.pmd;
    case VoiceField::AMS: return voice.ams;
    case VoiceField::PMS: return voice.pms;
    case VoiceField::FORM: return voice.form;
    case VoiceField::SYNC: return voice.sync;
    case VoiceField::ALG: return voice.alg;
    case VoiceField::FB: return voice.fb;
    case VoiceField::TRANS: return voice.trans;
    case VoiceField::MON: return voice.mon;
    case VoiceField::POR: return voice.por;
    case VoiceField::CNT: return voice.cnt;
    case VoiceField::PBR: return voice.pbr;
  }
  return voice.en;  // not reached: every field is named above
}

int& operator_slot(OperatorParams& op, OperatorField field) {
  switch (field) {
    case OperatorField::MUL: return op.mul;
    case OperatorField::TL: return op.tl;
    case OperatorField::AR: return op.ar;
    case OperatorField::DR: return op.dr;
    case OperatorField::SL: return op.sl;
    case OperatorField::SR: return op.sr;
    case OperatorField::RR: return op.rr;
    case OperatorField::DT1: return op.dt1;
    case OperatorField::DT2: return op.dt2;
    case OperatorField::KST: return op.kst;
    case OperatorField::KSL: return op.ksl;
    case OperatorField::KSR: return op.ksr;
    case OperatorField::VST: return op.vst;
    case OperatorField::ADJ: return op.adj;
    case OperatorField::VSA: return op.vsa;
    case OperatorField::MC: return op.mc;
  }
  return op.mul;  // not reached: every field is named above
}

}  // namespace bank
