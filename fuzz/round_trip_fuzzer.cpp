// Any accepted bank text, built, listed and read again, builds the same
// message. The listing shows CNT above 4 as 4 and PBR above 12 as 12, and a
// voice name loses leading spaces when read: banks outside those limits are
// not expected to come back unchanged and are passed over.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>

#include "compiler/bank_text_reader.h"
#include "compiler/dump_builder.h"
#include "formats/field_layout.h"
#include "formats/input_stream.h"
#include "lister/list_dump.h"

namespace {

bool within_listed_limits(const bank::BankState& state) {
  for (int i = 0; i < bank::kVoiceCount; ++i) {
    const bank::VoiceParams& v = state.voices[static_cast<std::size_t>(i)];
    if ((v.cnt & 7) > 4 || (v.pbr & 15) > 12) return false;
    const std::string name(v.name.data(), bank::kNameLength);
    if (name[0] == ' ' && name.find_first_not_of(' ') != std::string::npos) return false;
  }
  return true;
}

std::int64_t read(std::span<const std::uint8_t> text, bank::BankState& state) {
  bank::InputStream in = bank::memory_input(text);
  return bank::read_bank_text(in, state);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto first = std::make_unique<bank::BankState>();
  if (read(std::span(data, size), *first) != 0) return 0;
  bank::build_bulk_dump(*first);  // names are cleaned here
  if (!within_listed_limits(*first)) return 0;

  bank::InputStream in = bank::memory_input(first->message);
  std::string listing;
  if (bank::list_dump(in, listing) != bank::ListStatus::ok) std::abort();

  auto second = std::make_unique<bank::BankState>();
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(listing.data());
  if (read(std::span(bytes, listing.size()), *second) != 0) std::abort();
  if (second->definition_count != 48 * 8) std::abort();
  bank::build_bulk_dump(*second);
  if (first->message != second->message) std::abort();
  return 0;
}
