// Lists arbitrary bytes as syx2text does, as a bulk dump and scanned for
// every message of voice data (a Standard MIDI File for its System
// Exclusive bytes). Whatever the bytes, both must end in a status without reading
// past the data; a complete listing has 48 voices; the account of the
// whole file reads back as bank text without a fault; and both listings
// through a buffer of a few bytes are what they are from memory.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "text/bank_text_reader.h"
#include "system/chunked_source.h"
#include "system/input_stream.h"
#include "formats/message_layout.h"
#include "fuzz_check.h"
#include "lister/list_dump.h"

namespace {

std::size_t count_of(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  bank::InputStream in = bank::memory_input(std::span(data, size));
  bank::Listing listing;
  const bank::ListStatus status = bank::list_file(in, listing, false).status;
  check(status != bank::ListStatus::read_error && status != bank::ListStatus::write_error,
        "memory cannot fail to read, nor a string to be written");
  if (status == bank::ListStatus::ok)
    check(count_of(listing.text, "\n@") == bank::kVoiceCount &&
              listing.text.rfind("\n@48: ") != std::string::npos,
          "a complete listing without 48 voices");

  bank::InputStream scan = bank::memory_input(std::span(data, size));
  bank::Listing all;
  const bank::ScanSummary summary = bank::list_file(scan, all, true);
  check(summary.status == bank::ListStatus::ok, "a scan of memory failed");
  check(count_of(all.text, "# Message ") == static_cast<std::size_t>(summary.messages),
        "a message without its comment line");
  check(std::count(all.warnings.begin(), all.warnings.end(), '\n') == summary.warnings,
        "warnings miscounted");
  const std::size_t buffer = 1 + size % 11;
  bank::InputStream small = bank::chunked_input(std::span(data, size), buffer);
  bank::Listing small_listing;
  check(bank::list_file(small, small_listing, false).status == status &&
            small_listing.text == listing.text,
        "a small buffer lists a dump otherwise");
  bank::InputStream small_scan = bank::chunked_input(std::span(data, size), buffer);
  bank::Listing small_all;
  const bank::ScanSummary small_summary = bank::list_file(small_scan, small_all, true);
  check(small_summary.messages == summary.messages && small_summary.warnings == summary.warnings &&
            small_summary.status == summary.status && small_all.text == all.text &&
            small_all.warnings == all.warnings,
        "a small buffer scans a file otherwise");

  auto state = std::make_unique<bank::BankState>();
  bank::InputStream text = bank::memory_input(
      std::span(reinterpret_cast<const std::uint8_t*>(all.text.data()), all.text.size()));
  // With a configuration in it, the account is a configuration text and a
  // bank's together, which text2syx compiles apart.
  if (all.text.find("configuration") == std::string::npos)
    check(bank::read_bank_text(text, *state) == 0, "the account of a file does not read back");
  return 0;
}
