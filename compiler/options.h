// The command line of text2syx: [options] infile.txt [outfile.syx]
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "text/bank_state.h"

namespace bank {

struct ParsedOptions {
  int input_index = 0;    // index of the input name; argc when there is none
  bool help = false;      // --help among the options
  bool version = false;   // --version among the options (--help goes first)
  bool warnings = false;  // -w: report what the text probably did not mean
  bool midi = false;      // -m: write a Standard MIDI File instead of the .syx file
  bool bank_given = false;  // -b among the options
  // -cN: configuration memory N - 1 (N 1-20, clamped), for a
  // configuration text; the current configuration without it.
  std::optional<int> config_memory;
  // --voice N: voice N (1-48, clamped) alone, as the single-voice message
  // for instrument -iN (1-8, clamped; 1 without it), stored 0-7.
  std::optional<int> voice;
  int instrument = 0;
};

// Scans the arguments after the program name up to the first one that does
// not begin with '-', which names the input. -sN sets the system number
// (0-15, clamped), -bN the bank number (0 or 1; anything else is 0); the value
// is the decimal number attached to the letter. -w asks for warnings, -m for
// a MIDI file, -cN a configuration memory (1-20, clamped), --voice N (the
// number is the next argument) one voice, -iN its instrument. Other
// letters are skipped; the last of each option wins. Options after the input
// name are not options.
ParsedOptions parse_options(int argc, const char* const* argv, BankState& state);

// Index of the last `ch` in `text`; the length of `text` when there is none
// or when the last one is the first character (a name like ".txt").
std::size_t find_last_char(std::string_view text, char ch);

// The input name with its extension, if any, replaced by `extension`
// (".syx" or ".mid"). Only the last path component is searched for the
// extension: "old.dir/bank" gives "old.dir/bank.syx" (on Windows also
// "old.dir\bank" and "C:bank").
std::string derive_output_name(std::string_view input, std::string_view extension = ".syx");

}  // namespace bank
