// Reading a bank text into the voice table.
//
// The text is read as a stream, a line at a time, so that an input of any
// size is read in the same small memory; only a line longer than the
// stream's buffer grows the buffer, to about its length.
#pragma once

#include <cstdint>
#include <string_view>

#include "bank_state.h"
#include "system/input_stream.h"
#include "reader_warnings.h"

namespace bank {

// Reader error codes, kept in BankState::reader_error.
enum ReaderError : int {
  kReaderOk = 0,
  kBadVoiceHeader = 1,
  kBadLfoLine = 2,
  kBadVoiLine = 3,
  kBadOperatorLine = 4,
  kBadFncLine = 5,
  kBadExtLine = 6,
  kBadRawLine = 7,
  // A CONFIG line: the text is a configuration text, to be read as one.
  kConfigTextLine = 8,
};

// The message for a reader error code; each ends with a newline.
std::string_view reader_error_message(int code);

// Reads the whole input into `state`. Returns 0 when every line was read
// without fault; otherwise the number (from 1) of the first malformed line,
// with the error code in state.reader_error. Lines after a fault are not
// read. A read error of the input ends the reading as if the input had
// ended; input.failed tells it apart. When `warnings` is given, what the
// text probably did not mean is collected there; what is read is the same.
std::int64_t read_bank_text(InputStream& input, BankState& state,
                            ReaderWarnings* warnings = nullptr);

}  // namespace bank
