// Text -> message -> listing -> message: a listing compiles back to the very
// bytes it was listed from. Random bank texts in every accepted form are
// compiled, listed with the lister's decoding, read again and rebuilt; and
// dumps whose voice data is random to the bit are listed and compiled back.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "bank_text.h"
#include "text/bank_text_reader.h"
#include "compiler/dump_builder.h"
#include "text/reader_warnings.h"
#include "dump_fixtures.h"
#include "formats/field_layout.h"
#include "system/input_stream.h"

namespace {

using bank::BankState;

class TextMaker {
 public:
  explicit TextMaker(unsigned seed) : rng_(seed) {}

  std::string bank_text() {
    std::string text;
    if (chance(4)) text += comment();
    if (!chance(10)) text += spaces() + "FB-01:" + name(true) + eol();
    const int headers = pick(0, 70);
    for (int i = 0; i < headers; ++i) {
      text += voice_header();
      const int lines = pick(0, 8);
      for (int j = 0; j < lines; ++j) text += parameter_line();
      if (chance(5)) text += comment();
    }
    return text;
  }

 private:
  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool chance(int one_in) { return pick(1, one_in) == 1; }

  std::string eol() { return chance(6) ? "\r\n" : "\n"; }
  std::string spaces() {
    return std::string(static_cast<std::size_t>(chance(3) ? pick(1, 4) : 0), ' ');
  }
  std::string gap() {
    static const char* const kGaps[] = {" ", "  ", "\t", " \t ", "   "};
    return kGaps[pick(0, 4)];
  }
  std::string comment() { return "# " + name(true) + " comment" + eol(); }

  // 1 to 10 printable characters; a voice name may not begin with a space,
  // which the reader skips.
  std::string name(bool may_begin_with_space) {
    std::string s;
    const int length = pick(1, 10);
    for (int i = 0; i < length; ++i) {
      char ch = static_cast<char>(pick(0x20, 0x7E));
      if (i == 0 && !may_begin_with_space && ch == ' ') ch = 'Q';
      s += ch;
    }
    return s;
  }

  // `value` written in one of the accepted ways: leading zeros, a sign.
  std::string number(long long value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (chance(4)) digits = std::string(static_cast<std::size_t>(pick(1, 3)), '0') + digits;
    if (value < 0) return "-" + digits;
    return (chance(8) ? "+" : "") + digits;
  }

  // A value for a field `bits` wide; sometimes wider or negative, in which
  // case only its low bits count. `limit` caps the low bits (CNT, PBR).
  std::string value(int bits, int limit = -1) {
    const int max = (1 << bits) - 1;
    int low = pick(0, limit >= 0 ? limit : max);
    long long v = low;
    if (chance(6)) v += static_cast<long long>(pick(-3, 3)) * (max + 1);
    return number(v);
  }

  std::string values(std::initializer_list<int> widths) {
    std::string s;
    for (int w : widths) s += gap() + value(w);
    return s;
  }

  std::string voice_header() {
    const int n = chance(12) ? pick(49, 300) : pick(-2, 48);
    if (n >= 1 && n <= 48 && chance(6)) {  // as listed: the name may begin with spaces
      const std::string digits = (n < 10 ? "0" : "") + std::to_string(n);
      return spaces() + "@" + digits + ": " + name(true) + eol();
    }
    std::string line = spaces() + "@" + (chance(5) ? " " : "") + number(n) + ":";
    if (chance(15)) return line + eol();  // a blank name
    return line + (chance(2) ? gap() : "") + name(false) + eol();
  }

  std::string parameter_line() {
    switch (pick(0, 5)) {
      case 4: return spaces() + "EXT:" + values({1, 1, 1, 1, 2, 8}) + eol();
      case 5: {
        std::string line = spaces() + "RAW:";
        for (int pairs = pick(1, 4); pairs > 0; --pairs)
          line += gap() + number(pick(0, 63)) + gap() + value(8);
        return line + eol();
      }
      case 0: return spaces() + "LFO:" + values({1, 8, 7, 7, 2, 3, 2, 1}) + eol();
      case 1: return spaces() + "VOI:" + values({3, 3, 8}) + eol();
      case 2: {
        const int op = chance(10) ? pick(-1, 9) : pick(1, 4);
        return spaces() + "OP" + std::to_string(op) + ":" +
               values({4, 7, 5, 5, 4, 5, 4, 3, 2, 2, 4, 2, 3, 4, 2, 1}) +
               (chance(4) ? " trailing words" : "") + eol();
      }
      default:
        return spaces() + "FNC:" + gap() + value(1) + gap() + value(7) + gap() +
               value(3, listed_max(bank::VoiceField::CNT)) + gap() +
               value(4, listed_max(bank::VoiceField::PBR)) + eol();
    }
  }

  static int listed_max(bank::VoiceField field) {
    return bank::voice_field_layout(field).listed_max;
  }

  std::mt19937 rng_;
};

TEST(RoundTrip, ListedBanksCompileBackToTheSameBytes) {
  for (unsigned seed = 1; seed <= 400; ++seed) {
    TextMaker maker(seed);
    const std::string text = maker.bank_text();
    BankState first;
    first.system_number = static_cast<int>(seed % 16);
    first.bank_number = static_cast<int>(seed % 2);
    ASSERT_EQ(testing_support::read_text(text, first), 0) << "seed " << seed << "\n" << text;
    bank::build_bulk_dump(first);

    const std::string listing = testing_support::list_message(first.message);
    ASSERT_FALSE(listing.empty()) << "seed " << seed;

    BankState second;
    second.system_number = first.system_number;
    second.bank_number = first.bank_number;
    ASSERT_EQ(testing_support::read_text(listing, second), 0) << "seed " << seed;
    // Header, LFO, VOI, four operators, FNC, and the EXT and RAW lines the
    // listing wrote.
    std::int64_t extra = 0;
    for (const char* keyword : {"\nEXT:", "\nRAW:"})
      for (auto at = listing.find(keyword); at != std::string::npos;
           at = listing.find(keyword, at + 1))
        ++extra;
    EXPECT_EQ(second.definition_count, 48 * 8 + extra);
    bank::build_bulk_dump(second);
    ASSERT_EQ(first.message, second.message) << "seed " << seed << "\n" << text;
    EXPECT_EQ(testing_support::list_message(second.message), listing);
  }
}

TEST(RoundTrip, VoiceDataRandomToTheBitListsAndCompilesBackWithoutAWarning) {
  // Every bit random but for what the listing does not carry: CNT above 4
  // and PBR above 12, and name bytes sent as spaces.
  std::mt19937 rng(24);
  for (int round = 0; round < 40; ++round) {
    std::array<testing_support::VoiceData, bank::kVoiceCount> voices{};
    for (testing_support::VoiceData& voice : voices) {
      for (std::uint8_t& byte : voice) byte = static_cast<std::uint8_t>(rng());
      for (std::size_t i = 0; i < bank::kNameLength; ++i)
        voice[i] = static_cast<std::uint8_t>(0x20 + rng() % 0x60);
      for (const bank::VoiceField field : {bank::VoiceField::CNT, bank::VoiceField::PBR}) {
        const bank::FieldLayout& layout = bank::voice_field_layout(field);
        bank::pack_field(voice, layout, static_cast<int>(rng() % static_cast<unsigned>(layout.listed_max + 1)));
      }
    }
    const std::vector<std::uint8_t> dump =
        testing_support::make_dump("Random1", voices, round % 16, round % 2);
    const std::string listing = testing_support::list_message(dump);
    BankState state;
    state.system_number = round % 16;
    state.bank_number = round % 2;
    bank::ReaderWarnings warnings;
    bank::InputStream in = bank::memory_input(
        std::span(reinterpret_cast<const std::uint8_t*>(listing.data()), listing.size()));
    ASSERT_EQ(bank::read_bank_text(in, state, &warnings), 0) << "round " << round;
    EXPECT_EQ(bank::warnings_text(warnings, true), "") << "round " << round;
    bank::build_bulk_dump(state);
    ASSERT_TRUE(std::equal(dump.begin(), dump.end(), state.message.begin())) << "round " << round;
  }
}

TEST(RoundTrip, ValuesBeyondWhatTheListingShowsAreTheDocumentedExceptions) {
  // CNT above 4 and PBR above 12 are shown at the limit: they change on the
  // way back, nothing else; a name that begins with a space keeps it.
  BankState first;
  ASSERT_EQ(testing_support::read_text("@2: Y\nFNC: 1 2 7 15\n", first), 0);
  first.voices[0].name = {' ', 'X', 'y', 'z', ' ', ' ', ' ', 0};
  bank::build_bulk_dump(first);
  BankState second;
  ASSERT_EQ(testing_support::read_text(testing_support::list_message(first.message), second), 0);
  bank::build_bulk_dump(second);
  std::vector<std::size_t> differing;
  for (std::size_t i = 0; i < first.message.size(); ++i)
    if (first.message[i] != second.message[i]) differing.push_back(i);
  // Voice 2: byte 59 (CNT, PBR) and the checksum.
  const std::size_t v2 = bank::voice_block_offset(2) + 2;
  EXPECT_EQ(differing, (std::vector<std::size_t>{v2 + 2 * 59, v2 + 2 * 59 + 1, v2 + 128}));
}

}  // namespace
