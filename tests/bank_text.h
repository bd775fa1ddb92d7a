// In-process helpers for the compiler's reader and builder.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "text/bank_state.h"

namespace testing_support {

// Reads `text` into `state` as a bank text; returns what the reader returned.
std::int64_t read_text(std::string_view text, bank::BankState& state);

// Lists a message with the lister's decoding; the text is empty unless every
// block was good.
std::string list_message(std::span<const std::uint8_t> message);

}  // namespace testing_support
