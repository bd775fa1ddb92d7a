#include "config_text.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "reader_warnings.h"
#include "system/fixed_text.h"
#include "text_forms.h"
#include "text_numbers.h"

namespace bank {
namespace {

// text2syx's texts, kept word for word (see system/fixed_text.h).
constexpr std::string_view kErrorInLine = "Error in line %d: %s definition is wrong\n";
constexpr std::string_view kMissing = "Error: %s definition is missing\n";
constexpr std::string_view kBankLine =
    "Error in line %d: a bank text's line in a configuration text; compile them apart\n";
constexpr std::string_view kNotesOver =
    "Warning: the instruments have %d notes in all; the instrument has 8\n";
constexpr std::string_view kKeysCrossed =
    "Warning: instrument %d's low key limit %d is above its high one, %d\n";

constexpr std::size_t kSetKeywordSize = 4;  // "SET:" and "IN1:" alike

// The label line above SET or the IN lines: '#' under the keyword, each
// label over the three digits of its value.
template <std::size_t N>
std::string label_line(const std::array<ConfigField, N>& fields) {
  std::string line = "#";
  line.resize(kSetKeywordSize, ' ');
  for (const ConfigField& field : fields) {
    line += ' ';
    line += field.label;
  }
  return line + '\n';
}

// " %03d": a space and the value's three digits.
void append_value(std::string& out, unsigned value) {
  out += ' ';
  out += static_cast<char>('0' + value / 100 % 10);
  out += static_cast<char>('0' + value / 10 % 10);
  out += static_cast<char>('0' + value % 10);
}

bool name_byte_listed(std::uint8_t byte) { return byte >= 0x20 && byte <= 0x7E; }

template <std::size_t N>
void append_values(std::string& out, const ConfigData& config, std::size_t base,
                   const std::array<ConfigField, N>& fields) {
  for (const ConfigField& field : fields) append_value(out, config.bytes[base + field.offset]);
  out += '\n';
}

// ---- Reading ----------------------------------------------------------

struct Line {
  const std::uint8_t* p;
  const std::uint8_t* end;
};

bool starts_with(const Line& line, std::string_view keyword) {
  return static_cast<std::size_t>(line.end - line.p) >= keyword.size() &&
         std::equal(keyword.begin(), keyword.end(), line.p);
}

// Reads N values, each kept with where it was written.
template <std::size_t N>
bool read_values(Line& line, std::array<int, N>& values,
                 std::array<std::span<const std::uint8_t>, N>& written) {
  for (std::size_t i = 0; i < N; ++i) {
    bool found = false;
    const std::uint8_t* const from = line.p;
    line.p = scan_integer(line.p, line.end, values[i], found);
    if (!found) return false;
    written[i] = {from, static_cast<std::size_t>(line.p - from)};
  }
  return true;
}

struct Reader {
  ConfigReading& reading;
  ReaderWarnings* warnings;
  std::int64_t line = 0;
  bool set_seen = false;
  std::array<bool, kConfigInstrumentCount> instrument_seen{};
};

void warn(Reader& r, WarningCode code, std::vector<WarningValue> values) {
  r.warnings->lines.push_back({r.line, code, std::move(values)});
}

void warn_rest(Reader& r, Line& line) {
  while (line.p != line.end && is_line_blank(*line.p)) ++line.p;
  if (line.p != line.end) warn(r, WarningCode::text_after_values, {});
}

template <std::size_t N>
bool read_fields(Reader& r, Line& line, std::size_t base,
                 const std::array<ConfigField, N>& fields) {
  std::array<int, N> values{};
  std::array<std::span<const std::uint8_t>, N> written{};
  if (!read_values(line, values, written)) return false;
  for (std::size_t i = 0; i < N; ++i) {
    const auto stored = static_cast<std::uint8_t>(values[i] & 0x7F);
    r.reading.config.bytes[base + fields[i].offset] = stored;
    if (r.warnings != nullptr &&
        (values[i] < fields[i].lowest || values[i] > fields[i].highest ||
         !written_exactly(written[i], values[i])))
      warn(r, WarningCode::value_outside,
           {{0, std::string(fields[i].label), true},
            {0, decimal(written_number(written[i], values[i])), true},
            {fields[i].lowest, {}, false},
            {fields[i].highest, {}, false},
            {stored, {}, false}});
  }
  if (r.warnings != nullptr) warn_rest(r, line);
  return true;
}

bool read_raw(Reader& r, Line& line) {
  std::array<std::uint8_t, kConfigDataSize> bytes = r.reading.config.bytes;
  bool any = false;
  for (;;) {
    std::array<int, 2> pair{};
    std::array<std::span<const std::uint8_t>, 2> written{};
    const std::uint8_t* const from = line.p;
    bool found = false;
    scan_integer(line.p, line.end, pair[0], found);
    if (!found) break;
    line.p = from;
    if (!read_values(line, pair, written)) return false;
    if (pair[0] < 0 || pair[0] >= static_cast<int>(kConfigDataSize) ||
        !written_number(written[0], pair[0]).kept_exactly)
      return false;
    bytes[static_cast<std::size_t>(pair[0])] = static_cast<std::uint8_t>(pair[1] & 0x7F);
    any = true;
  }
  if (!any) return false;
  r.reading.config.bytes = bytes;
  if (r.warnings != nullptr) warn_rest(r, line);
  return true;
}

void read_name(Line& line, ConfigData& config) {
  for (std::size_t i = 0; i < kConfigNameLength; ++i)
    config.bytes[i] = line.p != line.end ? *line.p++ : ' ';
}

// One line; false at a fault, with its error set.
bool read_line(Reader& r, Line line) {
  while (line.p != line.end && *line.p == ' ') ++line.p;
  ConfigReading& reading = r.reading;
  if (starts_with(line, kConfigKeyword)) {
    line.p += kConfigKeyword.size();
    read_name(line, reading.config);
    return true;
  }
  // A bank's lines (a listing of a whole file holds both): their RAW lines
  // would be read as the configuration's.
  for (const std::string_view bank_keyword :
       {kBankNameKeyword, kVoiceHeaderKeyword, kLfoKeyword, kVoiKeyword, kOperatorKeyword,
        kFncKeyword, kExtKeyword}) {
    if (starts_with(line, bank_keyword)) {
      reading.error = ConfigTextError::bank_line;
      return false;
    }
  }
  if (starts_with(line, kSetKeyword)) {
    line.p += kSetKeyword.size();
    reading.error = ConfigTextError::set_line;
    if (!read_fields(r, line, 0, kSetFields)) return false;
    r.set_seen = true;
  } else if (starts_with(line, kInstrumentKeyword)) {
    line.p += kInstrumentKeyword.size();
    reading.error = ConfigTextError::instrument_line;
    int number = 0;
    bool found = false;
    const std::uint8_t* const from = line.p;
    line.p = scan_integer(line.p, line.end, number, found);
    if (!found || line.p == line.end || *line.p != ':' || number < 1 ||
        number > kConfigInstrumentCount ||
        !written_exactly({from, static_cast<std::size_t>(line.p - from)}, number))
      return false;
    ++line.p;
    const std::size_t index = static_cast<std::size_t>(number - 1);
    if (!read_fields(r, line, kConfigInstrumentOffset + index * kConfigInstrumentSize,
                     kInstrumentFields))
      return false;
    r.instrument_seen[index] = true;
  } else if (starts_with(line, kRawKeyword)) {
    line.p += kRawKeyword.size();
    reading.error = ConfigTextError::raw_line;
    if (!read_raw(r, line)) return false;
  }
  reading.error = ConfigTextError::none;
  return true;
}

// What -w says of the whole configuration: the notes it asks for, and the
// key limits of each instrument.
void check_whole(Reader& r) {
  int notes = 0;
  for (int i = 0; i < kConfigInstrumentCount; ++i) {
    const std::size_t base = kConfigInstrumentOffset + static_cast<std::size_t>(i) * kConfigInstrumentSize;
    notes += r.reading.config.bytes[base + kInstrumentFields[0].offset];
    const int high = r.reading.config.bytes[base + kInstrumentFields[2].offset];
    const int low = r.reading.config.bytes[base + kInstrumentFields[3].offset];
    if (low > high) r.reading.warnings += filled_text(kKeysCrossed, {i + 1, low, high});
  }
  if (notes > kConfigNotes) r.reading.warnings += filled_text(kNotesOver, {notes});
}

}  // namespace

std::string config_text(const ConfigData& config) {
  std::string out(kConfigKeyword);
  std::vector<std::size_t> raw;
  for (std::size_t i = 0; i < kConfigNameLength; ++i) {
    const std::uint8_t byte = config.bytes[i];
    out += name_byte_listed(byte) ? static_cast<char>(byte) : ' ';
    if (!name_byte_listed(byte)) raw.push_back(i);
  }
  out += '\n';
  out += label_line(kSetFields);
  out += kSetKeyword;
  append_values(out, config, 0, kSetFields);
  out += label_line(kInstrumentFields);
  for (int i = 0; i < kConfigInstrumentCount; ++i) {
    append_text(out, "%s%d:", {kInstrumentKeyword, i + 1});
    append_values(out, config,
                  kConfigInstrumentOffset + static_cast<std::size_t>(i) * kConfigInstrumentSize,
                  kInstrumentFields);
  }
  for (std::size_t i = kConfigNameLength; i < kConfigDataSize; ++i)
    if (config_byte_is_free(i) && config.bytes[i] != 0) raw.push_back(i);
  if (!raw.empty()) {
    out += kRawLabels;
    out += kRawKeyword;
    for (const std::size_t i : raw) {
      append_value(out, static_cast<unsigned>(i));
      append_value(out, config.bytes[i]);
    }
    out += '\n';
  }
  return out;
}

ConfigReading read_config_text(InputStream& in, const ConfigData& config, bool with_warnings) {
  ConfigReading reading;
  reading.config = config;
  reading.config.bytes.fill(0);
  std::fill_n(reading.config.bytes.begin(), kConfigNameLength, std::uint8_t{' '});
  ReaderWarnings warnings;
  Reader r{reading, with_warnings ? &warnings : nullptr};
  const std::span<const std::uint8_t> start = peek_bytes(in, 3);
  if (start.size() >= 3 && start[0] == 0xEF && start[1] == 0xBB && start[2] == 0xBF)
    consume(in, 3);
  while (const auto text = next_line(in)) {
    ++r.line;
    const LineContent content = line_content(*text);
    if (!read_line(r, {content.bytes.data(), content.bytes.data() + content.bytes.size()})) {
      reading.bad_line = r.line;
      return reading;
    }
  }
  reading.read_failed = failed(in);
  if (reading.read_failed) return reading;
  const auto missing = std::find(r.instrument_seen.begin(), r.instrument_seen.end(), false);
  if (!r.set_seen || missing != r.instrument_seen.end()) {
    reading.error = ConfigTextError::missing;
    reading.missing = !r.set_seen ? std::string("SET")
                                  : filled_text("IN%d", {missing - r.instrument_seen.begin() + 1});
    return reading;
  }
  if (with_warnings) {
    for (const ReaderWarning& w : warnings.lines) reading.warnings += format_warning(w);
    check_whole(r);
  }
  return reading;
}

std::string config_text_error(const ConfigReading& reading, std::string_view input_name) {
  switch (reading.error) {
    case ConfigTextError::none: break;
    case ConfigTextError::set_line: return filled_text(kErrorInLine, {reading.bad_line, "SET"});
    case ConfigTextError::instrument_line:
      return filled_text(kErrorInLine, {reading.bad_line, "IN"});
    case ConfigTextError::raw_line: return filled_text(kErrorInLine, {reading.bad_line, "RAW"});
    case ConfigTextError::missing: return filled_text(kMissing, {reading.missing});
    case ConfigTextError::bank_line: return filled_text(kBankLine, {reading.bad_line});
  }
  if (reading.read_failed) return filled_text(kCannotReadText, {input_name});
  return {};
}

}  // namespace bank
