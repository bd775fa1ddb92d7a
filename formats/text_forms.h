// Line forms of the bank text.
//
// A bank text is a bank name line and, for each voice, a header line and
// parameter lines:
//
//   FB-01:<7-character bank name>
//   @<voice number>: <7-character voice name>
//   LFO: EN SPD AMD PMD AMS PMS FORM SYNC
//   VOI: ALG FB TRANS
//   OP<1-4>: MUL TL AR DR SL SR RR DT1 DT2 KST KSL KSR VST ADJ VSA MC
//   FNC: MON POR CNT PBR
//
// Lines starting with '#' (comments, and the column labels that the written
// form puts above each value line), blank lines and lines that begin with no
// keyword carry nothing. Keywords are matched case-sensitively, by prefix,
// at the start of a line or after spaces (not tabs).
#pragma once

#include <array>
#include <string_view>

#include "field_layout.h"

namespace bank {

inline constexpr std::string_view kBankNameKeyword = "FB-01:";
inline constexpr std::string_view kVoiceHeaderKeyword = "@";
inline constexpr std::string_view kLfoKeyword = "LFO:";
inline constexpr std::string_view kVoiKeyword = "VOI:";
inline constexpr std::string_view kOperatorKeyword = "OP";  // then the number and ':'
inline constexpr std::string_view kFncKeyword = "FNC:";

// Columns of each parameter line, in order.
inline constexpr std::array kLfoColumns{
    VoiceField::EN,  VoiceField::SPD, VoiceField::AMD,  VoiceField::PMD,
    VoiceField::AMS, VoiceField::PMS, VoiceField::FORM, VoiceField::SYNC,
};
inline constexpr std::array kVoiColumns{VoiceField::ALG, VoiceField::FB, VoiceField::TRANS};
inline constexpr std::array kFncColumns{VoiceField::MON, VoiceField::POR, VoiceField::CNT,
                                        VoiceField::PBR};
inline constexpr std::array kOperatorColumns{
    OperatorField::MUL, OperatorField::TL,  OperatorField::AR,  OperatorField::DR,
    OperatorField::SL,  OperatorField::SR,  OperatorField::RR,  OperatorField::DT1,
    OperatorField::DT2, OperatorField::KST, OperatorField::KSL, OperatorField::KSR,
    OperatorField::VST, OperatorField::ADJ, OperatorField::VSA, OperatorField::MC,
};

// The comment lines that the written form puts above each value line, so
// that the labels sit over their columns.
inline constexpr std::string_view kLfoLabels = "#     EN SPD AMD PMD AMS PMS FORM SYNC\n";
inline constexpr std::string_view kVoiLabels = "#    ALG  FB TRANS\n";
inline constexpr std::string_view kOperatorLabels =
    "#    MUL  TL  AR  DR  SL  SR  RR DT1 DT2 KST KSL KSR VST ADJ VSA  MC\n";
inline constexpr std::string_view kFncLabels = "#    MON POR CNT PBR\n";

// In the written form each value is printed with at least three digits and
// one space before it; FORM, SYNC and TRANS get two, so that the values sit
// under their labels:
//   "LFO: %03d %03d %03d %03d %03d %03d  %03d  %03d"
//   "VOI: %03d %03d  %03d"
//   "OP%d: %03d %03d ... %03d" (16 values)
//   "FNC: %03d %03d %03d %03d"
constexpr std::size_t written_gap(VoiceField field) {
  return field == VoiceField::FORM || field == VoiceField::SYNC || field == VoiceField::TRANS ? 2
                                                                                              : 1;
}
inline constexpr std::size_t kWrittenDigits = 3;

}  // namespace bank
