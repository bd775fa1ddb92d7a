// Bank dumps made for tests straight from the format library.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/message_layout.h"
#include "instrument/instrument_model.h"

namespace testing_support {

using bank::Clock;
using bank::InstrumentModel;
using bank::InstrumentSettings;
using bank::sample_bank;
using bank::sample_voice;
using bank::VoiceData;

// What the instrument gets from a verified send of `dump` to system 0:
// protect off, the dump's packets, then the request for its bank 0.
std::vector<std::uint8_t> bytes_of_a_send(const std::vector<std::uint8_t>& dump);

// A complete 6363-byte message.
std::vector<std::uint8_t> make_dump(std::string_view bank_name,
                                    const std::array<VoiceData, bank::kVoiceCount>& voices,
                                    int system_number = 0, int bank_number = 0);

// make_dump of 48 sample voices named "Voice01" to "Voice48".
std::vector<std::uint8_t> sample_dump();

// The same bank as a voice RAM dump: F0 43 <system> 0C, the 49 blocks of
// `bank_dump`, F7.
std::string voice_ram_dump(const std::vector<std::uint8_t>& bank_dump, int system_number);

// A single-voice message: F0 43 75 <system> <08 + instrument> 00 00, the
// voice block, F7.
std::string single_voice(const VoiceData& voice, int system_number, int instrument);

std::string as_string(const std::vector<std::uint8_t>& bytes);

// Lines in the listing of a whole bank: the bank name line and an empty
// line, then 13 lines a voice (header, LFO, VOI, four operators and FNC,
// five of them under a label line, and an empty line).
inline constexpr int kListedBankLines = 2 + bank::kVoiceCount * 13;

}  // namespace testing_support
