#include "bank_file.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

#include "text/bank_state.h"
#include "compiler/dump_builder.h"
#include "text/text_compile.h"
#include "system/file_services.h"
#include "system/file_source.h"
#include "system/fixed_text.h"
#include "formats/midi_file.h"
#include "formats/midi_writer.h"
#include "lister/list_dump.h"

namespace bank {
namespace {

// Whether `name` ends with `ending` (lower case) in any letter case, with
// something before it: "BANK.SYX" is a dump as "bank.syx" is.
bool ends_with(std::string_view name, std::string_view ending) {
  if (name.size() <= ending.size()) return false;
  const std::string_view tail = name.substr(name.size() - ending.size());
  return std::equal(tail.begin(), tail.end(), ending.begin(), [](char a, char b) {
    return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
  });
}

}  // namespace

BankToSend read_bank_to_send(const char* path, bool warnings, std::optional<int> system_number,
                             std::optional<int> bank_number) {
  BankToSend result;
  std::string why;
  std::FILE* file = open_file(path, "rb", &why);
  if (file == nullptr) {
    append_text(result.said, kCannotOpenText, {path});
    append_text(result.said, kSystemSaysText, {why});
    return result;
  }
  InputStream in = file_input(file);
  const std::span<const std::uint8_t> start = peek_bytes(in, 1);
  if (is_midi_file(in) || (!start.empty() && start[0] == kSysExStart)) {
    // A dump, alone or in a MIDI file: listed as syx2text lists it, and
    // sent as the bank that listing shows.
    BankData bank;
    Listing listing;
    listing.bank = &bank;
    const ListStatus status = list_file(in, listing, false).status;
    std::fclose(file);
    if (status != ListStatus::ok) {
      append_text(result.said, "Error: " + std::string(list_error_words(status)) + "\n", {path});
      return result;
    }
    if (system_number) bank.system_number = *system_number;
    if (bank_number) bank.bank_number = *bank_number;
    result.bank = bank;
    result.ok = true;
    return result;
  }
  auto state = std::make_unique<BankState>();
  state->system_number = system_number.value_or(0);
  state->bank_number = bank_number.value_or(0);
  const TextReading reading = read_text_for_dump(in, *state, warnings);
  std::fclose(file);
  result.said = reading.warnings;
  if (!reading.accepted) {
    append_text_error(result.said, reading, *state, path);
    return result;
  }
  result.bank = packed_bank(*state);
  result.ok = true;
  return result;
}

bool write_received_bank(const std::string& path, const BankData& bank, std::string& error) {
  std::array<std::uint8_t, kMessageSize> dump{};
  encode_bank_dump(bank, dump);
  std::vector<std::uint8_t> bytes;
  if (ends_with(path, ".syx")) {
    bytes.assign(dump.begin(), dump.end());
  } else if (ends_with(path, ".mid")) {
    bytes = midi_file(dump, bank.system_number);
  } else {
    InputStream in = memory_input(dump);
    Listing listing;
    list_dump(in, listing);
    bytes.assign(listing.text.begin(), listing.text.end());
  }
  if (path == "-") {
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
    if (!written) append_text(error, kCannotWriteText, {std::string_view("standard output")});
    return written;
  }
  std::string why;
  std::FILE* out = open_file(path.c_str(), "wb", &why);
  if (out == nullptr) {
    append_text(error, kCannotOpenText, {path});
    append_text(error, kSystemSaysText, {why});
    return false;
  }
  if (!write_whole_output(out, path.c_str(), bytes)) {
    append_text(error, kCannotWriteText, {path});
    return false;
  }
  return true;
}

bool can_write_received_bank(const std::string& path, std::string& error) {
  if (path == "-") return true;
  std::error_code ignored;
  const bool existed = std::filesystem::exists(path, ignored);
  // Opened to append, an existing file is left as it is.
  std::string why;
  std::FILE* out = open_file(path.c_str(), "ab", &why);
  if (out == nullptr) {
    append_text(error, kCannotOpenText, {path});
    append_text(error, kSystemSaysText, {why});
    return false;
  }
  std::fclose(out);
  if (!existed) std::filesystem::remove(path, ignored);
  return true;
}

}  // namespace bank
