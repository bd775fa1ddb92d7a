// Any accepted bank text, built, listed and read again, builds the same
// message; written as a MIDI file (text2syx -m), it lists the same text. The listing shows CNT
// above 4 as 4 and PBR above 12 as 12, and a voice name loses leading spaces when read: banks
// outside those limits are not expected to come back unchanged and are passed over.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "compiler/bank_text_reader.h"
#include "compiler/dump_builder.h"
#include "compiler/midi_writer.h"
#include "formats/chunked_source.h"
#include "formats/field_layout.h"
#include "formats/input_stream.h"
#include "lister/list_dump.h"

namespace {

bool within_listed_limits(const bank::BankState& state) {
  for (int i = 0; i < bank::kVoiceCount; ++i) {
    const bank::VoiceParams& v = state.voices[static_cast<std::size_t>(i)];
    for (const bank::VoiceField field : {bank::VoiceField::CNT, bank::VoiceField::PBR}) {
      const bank::FieldLayout& layout = bank::voice_field_layout(field);
      const int stored = bank::voice_value(v, field) & bank::field_max(bank::field_width(layout));
      if (bank::listed_value(layout, stored) != stored) return false;
    }
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

#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto first = std::make_unique<bank::BankState>();
  if (read(std::span(data, size), *first) != 0) return 0;
  bank::build_bulk_dump(*first);  // names are cleaned here
  if (!within_listed_limits(*first)) return 0;

  bank::InputStream in = bank::memory_input(first->message);
  bank::Listing listing;
  check(bank::list_dump(in, listing) == bank::ListStatus::ok, "a built message does not list");

  auto second = std::make_unique<bank::BankState>();
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(listing.text.data());
  check(read(std::span(bytes, listing.text.size()), *second) == 0, "a listing does not read back");
  check(second->definition_count == bank::kVoiceCount * 8, "a listing without 8 lines a voice");
  bank::build_bulk_dump(*second);
  check(first->message == second->message, "the listing compiles to another message");

  const std::vector<std::uint8_t> midi = bank::midi_file(first->message, first->system_number);
  bank::InputStream midi_in = bank::chunked_input(midi, 1 + size % 97);
  bank::Listing midi_listing;
  check(bank::list_file(midi_in, midi_listing, false).status == bank::ListStatus::ok &&
            midi_listing.text == listing.text,
        "the MIDI file lists another text");
  return 0;
}
