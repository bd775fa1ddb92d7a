// The configuration text: a configuration's 160 bytes in the bank text's
// style.
//
//   CONFIG:<8-character name>
//   #    CMB SPD AMD PMD WAV KCR
//   SET: <the 6 values of the whole configuration>
//   #    NTS CHN KHI KLO BNK VNO DET OCT LVL PAN LFO POR PBR MON PMC
//   IN1: <the 15 values of instrument 1>
//   ... to IN8:
//   #    bits that no value above holds: byte, value
//   RAW: <byte> <value> [<byte> <value> ...]
//
// Every value is its whole byte, "%03d", as held (DET 127 is -1). The RAW
// line, written only where it is needed, holds by offset (0-159) the bytes
// that no value holds and are not zero, and the name bytes outside
// 0x20-0x7E, which the CONFIG line shows as spaces: so a listing compiles
// back to the same 160 bytes, whatever they hold.
//
// The reader follows the bank text's rules: keywords after optional
// spaces, lines beginning with '#' or no keyword carry nothing, lines in
// any order, the last value wins, values stored as their low 7 bits. A
// text with a CONFIG line is a configuration text; SET and IN1-IN8 must
// each be given, and a line of a bank text stops it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/config_dump.h"
#include "system/input_stream.h"
#include "text_forms.h"

namespace bank {

inline constexpr std::string_view kSetKeyword = "SET:";
inline constexpr std::string_view kInstrumentKeyword = "IN";  // then 1-8 and ':'

// A field: its label, its byte (in the data, or from the instrument's 16),
// and the range the instrument gives it.
struct ConfigField {
  std::string_view label;
  std::size_t offset;
  int lowest;
  int highest;
};

inline constexpr std::array<ConfigField, 6> kSetFields{{
    {"CMB", 8, 0, 1},    // combine mode
    {"SPD", 9, 0, 127},  // LFO speed
    {"AMD", 10, 0, 127},
    {"PMD", 11, 0, 127},
    {"WAV", 12, 0, 3},  // LFO wave
    {"KCR", 13, 0, 2},  // key codes received: all, even, odd
}};

inline constexpr std::array<ConfigField, 15> kInstrumentFields{{
    {"NTS", 0, 0, 8},    // notes
    {"CHN", 1, 0, 15},   // MIDI channel
    {"KHI", 2, 0, 127},  // key limit high
    {"KLO", 3, 0, 127},  // key limit low
    {"BNK", 4, 0, 6},    // voice bank (0 = bank 1)
    {"VNO", 5, 0, 47},   // voice number
    {"DET", 6, 0, 127},  // detune, 7-bit two's complement
    {"OCT", 7, 0, 4},    // octave, 2 = none
    {"LVL", 8, 0, 127},  // output level
    {"PAN", 9, 0, 127},  // 64 = centre
    {"LFO", 10, 0, 1},   // LFO on
    {"POR", 11, 0, 127},  // portamento time
    {"PBR", 12, 0, 12},   // pitch-bend range
    {"MON", 13, 0, 1},    // mono (1) or poly
    {"PMC", 14, 0, 4},    // PMD controller
}};

// The notes the instrument has for all its instruments together.
inline constexpr int kConfigNotes = 8;

// Whether byte `offset` (0-159) holds no field: 14-31 and each
// instrument's last byte.
constexpr bool config_byte_is_free(std::size_t offset) {
  if (offset < kConfigInstrumentOffset) return offset >= kSetFields.back().offset + 1;
  return (offset - kConfigInstrumentOffset) % kConfigInstrumentSize == kConfigInstrumentSize - 1;
}

// The configuration's text, as syx2text lists it.
std::string config_text(const ConfigData& config);

enum class ConfigTextError { none, set_line, instrument_line, raw_line, missing, bank_line };

struct ConfigReading {
  ConfigData config;           // the system number and memory are the caller's
  std::int64_t bad_line = 0;   // the first malformed line; 0 for none
  ConfigTextError error = ConfigTextError::none;
  std::string missing;         // missing: "SET" or "IN3"
  bool read_failed = false;    // the input could not be read to its end
  std::string warnings;        // what -w prints: empty without it
  bool accepted() const { return error == ConfigTextError::none && !read_failed; }
};

// Reads a configuration text into `config` (whose numbers are kept).
ConfigReading read_config_text(InputStream& in, const ConfigData& config, bool with_warnings);

// The error of a text that was not accepted, as text2syx prints it;
// `input_name` names the input in a read error.
std::string config_text_error(const ConfigReading& reading, std::string_view input_name);

}  // namespace bank
