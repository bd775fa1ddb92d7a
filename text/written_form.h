// The written form of the bank text: what a listing prints for decoded
// blocks, and exactly what the compiler reads back.
//
// Each function appends its lines to `out` (the print_ names are the
// format's own, kept). Values are printed as fields, unsigned, with at
// least three digits.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "formats/message_layout.h"

namespace bank {

// "FB-01:<name>" and an empty line; the name stops at its first zero byte.
// `block` is the bank-name block's data, kListedBankNameBytes at least;
// where a compile would not give it back, a comment line says so.
void print_bank_name(std::string& out, std::span<const std::uint8_t> block);

// A whole voice: header, four operators, functions, the EXT and RAW lines
// where the voice needs them, and an empty line.
void append_voice(std::string& out, std::span<const std::uint8_t, kVoiceDataSize> block,
                  int number);

}  // namespace bank
