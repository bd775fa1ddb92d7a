#include "bank_text.h"

#include "text/bank_text_reader.h"
#include "system/input_stream.h"
#include "lister/list_dump.h"

namespace testing_support {

std::int64_t read_text(std::string_view text, bank::BankState& state) {
  bank::InputStream in = bank::memory_input(
      std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  return bank::read_bank_text(in, state);
}

std::string list_message(std::span<const std::uint8_t> message) {
  bank::InputStream in = bank::memory_input(message);
  bank::Listing listing;
  return bank::list_dump(in, listing) == bank::ListStatus::ok ? listing.text : std::string();
}

}  // namespace testing_support
