// The round trip both ways. A configuration whose 160 bytes are the
// input's, listed and compiled back, gives the same bytes, whatever they
// hold. Any accepted bank text, built, listed and read
// again, builds the same message; written as a MIDI file (text2syx -m), it
// lists the same text. And a dump whose voice data are the input's bytes,
// every bit as it comes, listed and compiled back, gives the same 48 voice
// blocks. The listing shows CNT above 4 as 4 and PBR above 12 as 12, and
// the builder sends control bytes and bytes from 0x80 up in names as
// spaces: banks outside those limits are not expected to come back
// unchanged, so texts that build them are passed over and dumps are made
// within them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "text/bank_text_reader.h"
#include "compiler/dump_builder.h"
#include "formats/bank_data.h"
#include "system/chunked_source.h"
#include "formats/field_layout.h"
#include "system/input_stream.h"
#include "formats/midi_writer.h"
#include "lister/list_dump.h"
#include "text/config_text.h"

namespace {

constexpr bank::VoiceField kListedLimits[] = {bank::VoiceField::CNT, bank::VoiceField::PBR};

bool within_listed_limits(const bank::BankState& state) {
  for (int i = 0; i < bank::kVoiceCount; ++i) {
    const bank::VoiceParams& v = state.voices[static_cast<std::size_t>(i)];
    for (const bank::VoiceField field : kListedLimits) {
      const bank::FieldLayout& layout = bank::voice_field_layout(field);
      const int stored = bank::voice_value(v, field) & bank::field_max(bank::field_width(layout));
      if (bank::listed_value(layout, stored) != stored) return false;
    }
  }
  return true;
}

std::int64_t read(std::span<const std::uint8_t> text, bank::BankState& state) {
  bank::InputStream in = bank::memory_input(text);
  return bank::read_bank_text(in, state);
}

// The definitions a listing holds: 8 lines a voice, and its EXT and RAW lines.
std::int64_t listed_definitions(const std::string& listing) {
  std::int64_t count = bank::kVoiceCount * 8;
  for (const char* keyword : {"\nEXT:", "\nRAW:"})
    for (auto at = listing.find(keyword); at != std::string::npos;
         at = listing.find(keyword, at + 1))
      ++count;
  return count;
}

}  // namespace

#include "fuzz_check.h"

namespace {

void text_round_trip(const std::uint8_t* data, std::size_t size) {
  auto first = std::make_unique<bank::BankState>();
  if (read(std::span(data, size), *first) != 0) return;
  bank::build_bulk_dump(*first);  // names are cleaned here
  if (!within_listed_limits(*first)) return;

  bank::InputStream in = bank::memory_input(first->message);
  bank::Listing listing;
  check(bank::list_dump(in, listing) == bank::ListStatus::ok, "a built message does not list");

  auto second = std::make_unique<bank::BankState>();
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(listing.text.data());
  check(read(std::span(bytes, listing.text.size()), *second) == 0, "a listing does not read back");
  check(second->definition_count == listed_definitions(listing.text),
        "a listing without 8 lines a voice and its EXT and RAW lines");
  bank::build_bulk_dump(*second);
  check(first->message == second->message, "the listing compiles to another message");

  const std::vector<std::uint8_t> midi = bank::midi_file(first->message, first->system_number);
  bank::InputStream midi_in = bank::chunked_input(midi, 1 + size % 97);
  bank::Listing midi_listing;
  check(bank::list_file(midi_in, midi_listing, false).status == bank::ListStatus::ok &&
            midi_listing.text == listing.text,
        "the MIDI file lists another text");
}

void dump_round_trip(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return;
  bank::BankData bank;
  std::size_t next = 0;
  for (auto& voice : bank.voices) {
    for (std::uint8_t& byte : voice) byte = data[next++ % size];
    for (std::size_t i = 0; i < bank::kNameLength; ++i)
      if (bank::name_byte_sent_as_space(voice[i])) voice[i] = ' ';
    for (const bank::VoiceField field : kListedLimits) {
      const bank::FieldLayout& layout = bank::voice_field_layout(field);
      bank::pack_field(voice, layout, bank::unpack_field(voice, layout) % (layout.listed_max + 1));
    }
  }
  std::array<std::uint8_t, bank::kMessageSize> dump{};
  bank::encode_bank_dump(bank, dump);

  bank::InputStream in = bank::memory_input(dump);
  bank::Listing listing;
  check(bank::list_dump(in, listing) == bank::ListStatus::ok, "a random dump does not list");
  auto state = std::make_unique<bank::BankState>();
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(listing.text.data());
  bank::InputStream text =
      bank::chunked_input(std::span(bytes, listing.text.size()), 1 + size % 61);
  check(bank::read_bank_text(text, *state) == 0, "the listing of a random dump does not read back");
  bank::build_bulk_dump(*state);
  const auto voices_at = static_cast<std::ptrdiff_t>(bank::kFirstVoiceBlockOffset);
  check(std::equal(dump.begin() + voices_at, dump.end(), state->message.begin() + voices_at),
        "a random dump's voices compile back to other bytes");
}

void config_round_trip(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return;
  bank::ConfigData config;
  for (std::size_t i = 0; i < config.bytes.size(); ++i)
    config.bytes[i] = static_cast<std::uint8_t>(data[i % size] & 0x7F);
  const std::string text = bank::config_text(config);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  bank::InputStream in = bank::chunked_input(std::span(bytes, text.size()), 1 + size % 53);
  const bank::ConfigReading reading = bank::read_config_text(in, config, true);
  check(reading.accepted(), "the listing of a configuration does not read back");
  check(reading.config.bytes == config.bytes, "a configuration compiles back to other bytes");
  const bank::ConfigDump dump = bank::encode_config_dump(config);
  const std::optional<bank::ConfigData> decoded = bank::config_of_dump(dump);
  check(decoded && decoded->bytes == config.bytes, "a configuration dump decodes otherwise");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  config_round_trip(data, size);
  text_round_trip(data, size);
  dump_round_trip(data, size);
  return 0;
}
