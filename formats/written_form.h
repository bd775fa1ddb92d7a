// The written form of the bank text: what a listing prints for decoded
// blocks, and exactly what the compiler reads back.
//
// Each function appends its lines to `out`. Values are printed as fields,
// unsigned, with at least three digits.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "message_layout.h"

namespace bank {

// "FB-01:<name>" and an empty line; the name stops at its first zero byte.
void print_bank_name(std::string& out, std::span<const std::uint8_t, kListedBankNameBytes> block);

// "@NN: <name>", then the LFO and VOI lines with their label lines.
void print_voice_header(std::string& out, std::span<const std::uint8_t, kListedVoiceBytes> block,
                        int number);

// Operator `number` (1-4); operator 1 is preceded by the label line.
void print_operator(std::string& out, std::span<const std::uint8_t, kListedVoiceBytes> block,
                    int number);

// The FNC label line and the FNC line.
void print_functions(std::string& out, std::span<const std::uint8_t, kListedVoiceBytes> block);

// A whole voice: header, four operators, functions and an empty line.
void print_voice(std::string& out, std::span<const std::uint8_t, kListedVoiceBytes> block,
                 int number);

}  // namespace bank
