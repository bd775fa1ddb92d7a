// The format library: nibble pairs, block framing and checksums, the input
// stream over a byte source, the packet schedule, the bit layout of voice
// and operator data, and the written form of the bank text.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "dump_fixtures.h"
#include "formats/block_codec.h"
#include "formats/field_layout.h"
#include "formats/header.h"
#include "system/input_stream.h"
#include "formats/packet_schedule.h"
#include "text/written_form.h"

namespace {

using bank::OperatorField;
using bank::VoiceField;
using testing_support::VoiceData;

TEST(NibblePairs, EncodeLowNibbleFirstAndReturnTheirSum) {
  std::array<std::uint8_t, 6> buffer{};
  std::span<std::uint8_t> cursor(buffer);
  EXPECT_EQ(bank::put_nibbles(cursor, 0xA5), 0x5 + 0xA);
  // Only the low 8 bits of a value are sent: 0x1FF and -1 both send 0xFF.
  EXPECT_EQ(bank::put_nibbles(cursor, 0x1FF), 30);
  EXPECT_EQ(bank::put_nibbles(cursor, -1), 30);
  EXPECT_TRUE(cursor.empty());
  EXPECT_EQ(buffer, (std::array<std::uint8_t, 6>{0x05, 0x0A, 0x0F, 0x0F, 0x0F, 0x0F}));

  EXPECT_EQ(bank::decode_nibble_pair(0x05, 0x0A), 0xA5);
  // Bytes beyond a nibble in a damaged file still decode to 8 bits.
  EXPECT_EQ(bank::decode_nibble_pair(0x10, 0x10), 0x10);
}

TEST(BlockChecksum, MakesNibblesAndChecksumAMultipleOf128) {
  EXPECT_EQ(bank::block_checksum(0), 0x00);
  EXPECT_EQ(bank::block_checksum(1), 0x7F);
  EXPECT_EQ(bank::block_checksum(128), 0x00);
  for (std::uint32_t sum : {5U, 127U, 129U, 1920U, 3840U})
    EXPECT_EQ((sum + bank::block_checksum(sum)) % 128, 0U) << sum;
}

TEST(BlockFraming, AllZeroBlocksCarryCountsAndAZeroChecksum) {
  std::array<std::uint8_t, bank::kBankNameBlockSize + bank::kVoiceBlockSize> out{};
  out.fill(0xEE);
  std::span<std::uint8_t> cursor(out);
  bank::write_block(cursor, std::array<std::uint8_t, bank::kBankNameDataSize>{});
  bank::write_block(cursor, std::array<std::uint8_t, bank::kVoiceDataSize>{});
  EXPECT_TRUE(cursor.empty());
  EXPECT_EQ(out[0], 0x00);
  EXPECT_EQ(out[1], 0x40);
  EXPECT_EQ(out[66], 0x00);  // checksum of the bank-name block
  EXPECT_EQ(out[67], 0x01);
  EXPECT_EQ(out[68], 0x00);
  EXPECT_EQ(out[67 + 130], 0x00);
  for (std::size_t i = 2; i < 66; ++i) EXPECT_EQ(out[i], 0) << i;
}

TEST(BlockFraming, ReadBlockDecodesWhatWriteBlockWrote) {
  std::vector<std::uint8_t> data(bank::kVoiceDataSize);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 37 + 1);
  std::vector<std::uint8_t> wire(bank::kVoiceBlockSize);
  std::span<std::uint8_t> cursor(wire);
  bank::write_block(cursor, data);

  bank::InputStream in = bank::memory_input(wire);
  bank::Block block;
  EXPECT_EQ(bank::read_block(in, block), bank::BlockFault::none);
  EXPECT_EQ(block.data, data);
  EXPECT_EQ(bank::next_byte(in), -1);
}

TEST(BlockFraming, ReadBlockTellsChecksumFromTruncation) {
  std::vector<std::uint8_t> data{0x12, 0x34, 0x56};
  std::vector<std::uint8_t> wire(2 * data.size() + 3);
  std::span<std::uint8_t> cursor(wire);
  bank::write_block(cursor, data);

  // Any change to one nibble byte breaks the checksum; the stream still
  // moves past the whole block.
  for (std::size_t i = 2; i + 1 < wire.size(); ++i) {
    std::vector<std::uint8_t> bad = wire;
    bad[i] = static_cast<std::uint8_t>((bad[i] + 1) & 0x0F);
    bad.push_back(0x99);
    bank::InputStream in = bank::memory_input(bad);
    bank::Block block;
    EXPECT_EQ(bank::read_block(in, block), bank::BlockFault::checksum) << i;
    EXPECT_EQ(block.checksum, wire.back()) << i;  // the byte as it stands
    EXPECT_NE(block.expected, wire.back()) << i;
    EXPECT_EQ(bank::next_byte(in), 0x99) << i;
  }
  // Every proper prefix is a truncated block, never a read past the end.
  for (std::size_t n = 0; n < wire.size(); ++n) {
    bank::InputStream in = bank::memory_input(std::span(wire).first(n));
    bank::Block block;
    EXPECT_EQ(bank::read_block(in, block), bank::BlockFault::truncated) << n;
  }
}

TEST(BlockFraming, CountIsTakenAsItStands) {
  // Count 0x01 0x01 = 129 nibble bytes: 64 data bytes, and the 129th byte
  // of the block is read as its checksum.
  std::vector<std::uint8_t> wire{0x01, 0x01};
  for (int i = 0; i < 128; ++i) wire.push_back(0x01);
  wire.push_back(0x00);  // 128 + 0: checksum of a sum of 128 is 0
  bank::InputStream in = bank::memory_input(wire);
  bank::Block block;
  ASSERT_EQ(bank::read_block(in, block), bank::BlockFault::none);
  EXPECT_EQ(block.data.size(), 64U);
  EXPECT_EQ(block.data[0], 0x11);
}

TEST(BlockFraming, EachRuleHoldsOnItsOwn) {
  // A block of two data bytes with a real-time byte and a status byte in it.
  const std::vector<std::uint8_t> wire{0x00, 0x04, 0x01, 0xF8, 0x02, 0x90, 0x04, 0x7C};
  struct Case {
    bank::BlockRules rules;
    bank::BlockFault fault;
    std::size_t left;  // bytes of `wire` not read
  };
  const Case cases[] = {
      // As it stands: F8 and 90 are nibble bytes; 7C is not the checksum.
      {{}, bank::BlockFault::checksum, 1},
      // Real-time passed alone: F8 is not there, 90 is a nibble byte.
      {{.real_time_passed = true}, bank::BlockFault::checksum, 0},
      // A status byte ends it; F8 is such a byte unless passed over.
      {{.status_byte_ends = true}, bank::BlockFault::status_byte, 5},
      {{.status_byte_ends = true, .real_time_passed = true}, bank::BlockFault::status_byte, 3},
  };
  for (const Case& c : cases) {
    bank::InputStream in = bank::memory_input(wire);
    bank::Block block;
    EXPECT_EQ(bank::read_block(in, block, c.rules), c.fault);
    EXPECT_EQ(bank::available(in).size(), c.left);
  }
}

// A source that hands over its bytes one read at a time, with "nothing
// yet" before each, and counts the reads it is asked for.
class TrickleSource final : public bank::ByteSource {
 public:
  explicit TrickleSource(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  bank::SourceRead read(std::span<std::uint8_t> room) override {
    ++reads;
    if (at_ == bytes_.size()) return {bank::SourceState::end};
    if ((waited_ = !waited_)) return {bank::SourceState::nothing_yet};
    room[0] = bytes_[at_++];
    return {bank::SourceState::bytes, 1};
  }
  int reads = 0;

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t at_ = 0;
  bool waited_ = false;
};

TEST(InputStream, WaitsOutNothingYetAndRemembersTheEnd) {
  TrickleSource source({'a', 'b'});
  bank::InputStream in = bank::source_input(source, 4);
  EXPECT_EQ(bank::next_byte(in), -1);  // nothing yet
  EXPECT_EQ(bank::next_byte(in), 'a');
  EXPECT_EQ(bank::next_byte(in), -1);
  EXPECT_EQ(bank::next_byte(in), 'b');
  EXPECT_EQ(source.reads, 4);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(bank::next_byte(in), -1);
  EXPECT_FALSE(bank::skip_to_byte(in, 0xF0));
  EXPECT_EQ(source.reads, 5);  // the end is asked for once
  EXPECT_EQ(bank::position(in), 2U);
}

TEST(PacketSchedule, ProtectOffThenTheDumpOnItsTimes) {
  const std::vector<std::uint8_t> dump = testing_support::make_dump("Sched", {}, 9, 1);
  for (const std::uint32_t gap : {160U, 40U}) {
    const auto packets =
        bank::bank_dump_packets(std::span<const std::uint8_t, bank::kMessageSize>(dump), 9, gap);
    ASSERT_EQ(packets.size(), 50U);
    EXPECT_EQ(packets[0].time_ms, 0U);
    EXPECT_EQ(packets[0].bytes,
              (std::vector<std::uint8_t>{0xF0, 0x43, 0x75, 0x09, 0x10, 0x21, 0x00, 0xF7}));
    std::vector<std::uint8_t> sent;
    for (std::size_t p = 1; p < packets.size(); ++p) {
      EXPECT_EQ(packets[p].time_ms, p == 1 ? 300U : 300U + gap * (p - 1)) << p;
      EXPECT_EQ(packets[p].bytes.size(), p == 1 ? 74U : p == 49 ? 132U : 131U) << p;
      sent.insert(sent.end(), packets[p].bytes.begin(), packets[p].bytes.end());
    }
    EXPECT_EQ(sent, dump);
  }
}

// The header a reading under `rules` finds in `bytes`, as "form/system/number".
std::string header_of(std::vector<std::uint8_t> bytes, const bank::HeaderRules& rules) {
  bank::InputStream in = bank::memory_input(bytes);
  const auto header = bank::read_message_header(in, rules);
  if (!header) return "none";
  return std::to_string(static_cast<int>(header->form)) + "/" +
         std::to_string(header->system_number) + "/" + std::to_string(header->number);
}

TEST(Header, TheTwoStrictnesses) {
  EXPECT_EQ(bank::make_header(15, 1),
            (std::array<std::uint8_t, 7>{0xF0, 0x43, 0x75, 0x0F, 0x00, 0x00, 0x01}));
  struct Case {
    std::vector<std::uint8_t> bytes;
    std::string as_it_stands;  // the plain listing
    std::string any_message;   // a file scanned for every message
  };
  const Case cases[] = {
      {{0xF0, 0x43, 0x75, 0x0F, 0x00, 0x00, 0x01}, "0/15/1", "0/15/1"},
      {{0xF0, 0x43, 0x75, 0x7F, 0x00, 0x00, 0x09}, "0/127/9", "none"},
      {{0xF0, 0x43, 0x75, 0x90, 0x00, 0x00, 0xC0}, "0/144/192", "none"},
      {{0xF0, 0x43, 0x75, 0x00, 0x00, 0x00, 0x80}, "0/0/128", "none"},
      {{0xF1, 0x43, 0x75, 0x00, 0x00, 0x00, 0x00}, "none", "none"},
      {{0xF0, 0x42, 0x75, 0x00, 0x00, 0x00, 0x00}, "none", "none"},
      {{0xF0, 0x43, 0x74, 0x00, 0x00, 0x00, 0x00}, "none", "none"},
      {{0xF0, 0x43, 0x75, 0x00, 0x01, 0x00, 0x00}, "none", "none"},
      {{0xF0, 0x43, 0x75, 0x00, 0x00, 0x01, 0x00}, "none", "3/0/-1"},  // configurations
      {{0xF0, 0x43, 0x75, 0x05, 0x00, 0x02, 0x13}, "none", "3/5/19"},
      {{0xF0, 0x43, 0x75, 0x05, 0x00, 0x02, 0x14}, "none", "none"},
      {{0xF0, 0x43, 0x75, 0x05, 0x00, 0x01, 0x01}, "none", "none"},
      {{0xF0, 0x43, 0x75, 0x05, 0x08, 0x01, 0x00}, "none", "none"},
      {{0xF0, 0x43, 0x75, 0x00, 0x00, 0x00}, "none", "none"},
      {{0xF0, 0x43, 0x03, 0x0C}, "none", "1/3/0"},
      {{0xF0, 0x43, 0x75, 0x02, 0x0D, 0x00, 0x00}, "none", "2/2/5"},
      {{0xF0, 0x43, 0x75, 0x02, 0x07, 0x00, 0x00}, "none", "none"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(header_of(c.bytes, bank::kBankDumpAsItStands), c.as_it_stands);
    EXPECT_EQ(header_of(c.bytes, bank::kAnyVoiceMessage), c.any_message);
  }
}

// The union of the bits that the fields own, each found by packing all ones
// into that field alone; no bit may belong to two fields.
template <typename Field>
std::vector<std::uint8_t> union_of_fields(std::size_t size, std::size_t count,
                                          const bank::FieldLayout& (*layout_of)(Field)) {
  std::vector<std::uint8_t> all(size);
  for (std::size_t f = 0; f < count; ++f) {
    const bank::FieldLayout& layout = layout_of(static_cast<Field>(f));
    std::vector<std::uint8_t> bits(size);
    bank::pack_field(bits, layout, -1);
    for (std::size_t i = 0; i < size; ++i) {
      EXPECT_EQ(all[i] & bits[i], 0) << layout.label << " overlaps at byte " << i;
      all[i] = static_cast<std::uint8_t>(all[i] | bits[i]);
    }
  }
  return all;
}

TEST(FieldLayout, FieldsAreDisjointAndCoverExactlyTheParameterBits) {
  std::vector<std::uint8_t> expected_voice(bank::kVoiceDataSize);
  expected_voice[7] = 0xFF;  // USR
  expected_voice[8] = 0xFF;
  expected_voice[9] = 0xFF;
  expected_voice[10] = 0xFF;
  expected_voice[11] = 0x78;  // ON1-ON4
  expected_voice[12] = 0xFF;  // OUT, FB, ALG
  expected_voice[13] = 0x73;
  expected_voice[14] = 0x60;
  expected_voice[15] = 0xFF;
  expected_voice[58] = 0xFF;
  expected_voice[59] = 0x7F;
  EXPECT_EQ(
      union_of_fields(bank::kVoiceDataSize, bank::kVoiceFieldCount, &bank::voice_field_layout),
      expected_voice);
  const std::vector<std::uint8_t> op_bits{0x7F, 0xF0, 0xFF, 0xFF, 0xDF, 0xFF, 0xDF, 0xFF};
  EXPECT_EQ(union_of_fields(bank::kOperatorDataSize, bank::kOperatorFieldCount,
                            &bank::operator_field_layout),
            op_bits);
  // What no field holds is free, the RAW line's: name bytes are held whole.
  for (std::size_t i = 0; i < bank::kVoiceDataSize; ++i) {
    const bool op = i >= 16 && i < 48;
    const int held = i < 7 ? 0xFF : op ? op_bits[i % 8] : expected_voice[i];
    EXPECT_EQ(bank::free_voice_bits(i), 0xFF & ~held) << "byte " << i;
  }
}

TEST(FieldLayout, WideValuesKeepTheirLowBitsAndSpareTheNeighbours) {
  VoiceData voice{};
  auto op = bank::operator_data(voice, 2);
  bank::pack_field(op, bank::operator_field_layout(OperatorField::TL), 200);
  EXPECT_EQ(op[0], 200 & 0x7F);
  EXPECT_EQ(bank::unpack_field(op, bank::operator_field_layout(OperatorField::TL)), 72);

  bank::pack_field(voice, bank::voice_field_layout(VoiceField::EN), 1);
  bank::pack_field(voice, bank::voice_field_layout(VoiceField::AMD), 200);
  EXPECT_EQ(voice[9], 0x80 | (200 & 0x7F));
  bank::pack_field(voice, bank::voice_field_layout(VoiceField::AMD), 0);
  EXPECT_EQ(voice[9], 0x80);

  bank::pack_field(voice, bank::voice_field_layout(VoiceField::TRANS), -1);
  EXPECT_EQ(voice[15], 0xFF);
  EXPECT_EQ(bank::unpack_field(voice, bank::voice_field_layout(VoiceField::TRANS)), 255);
  bank::pack_field(voice, bank::voice_field_layout(VoiceField::TRANS), -24);
  EXPECT_EQ(bank::unpack_field(voice, bank::voice_field_layout(VoiceField::TRANS)), 232);
}

TEST(FieldLayout, KstBitsLieInTwoBytes) {
  const auto& kst = bank::operator_field_layout(OperatorField::KST);
  std::array<std::uint8_t, 8> op{};
  op.fill(0x7F);  // every other bit of bytes 1 and 3 set: they must stay
  bank::pack_field(op, kst, 2);
  EXPECT_EQ(op[1], 0x7F);
  EXPECT_EQ(op[3], 0xFF);
  EXPECT_EQ(bank::unpack_field(op, kst), 2);
  bank::pack_field(op, kst, 1);
  EXPECT_EQ(op[1], 0xFF);
  EXPECT_EQ(op[3], 0x7F);
  EXPECT_EQ(bank::unpack_field(op, kst), 1);
  bank::pack_field(op, kst, 7);  // only two bits are kept
  EXPECT_EQ(bank::unpack_field(op, kst), 3);
}

TEST(FieldLayout, AllZeroVoiceStillCarriesItsFixedBits) {
  VoiceData voice{};
  bank::set_preset_voice_bits(voice);
  EXPECT_EQ(voice[11], 0x78);
  EXPECT_EQ(voice[12], 0xC0);
  // The fixed bits are data like any other: the checksum counts them.
  std::array<std::uint8_t, bank::kVoiceBlockSize> wire{};
  std::span<std::uint8_t> cursor(wire);
  bank::write_block(cursor, voice);
  EXPECT_EQ(wire[130], bank::block_checksum(0x8 + 0x7 + 0x0 + 0xC));
  EXPECT_NE(wire[130], 0);
}

TEST(WrittenForm, PrintsEveryLineInItsExactForm) {
  VoiceData voice{};
  const std::string name = "Horns";
  std::copy(name.begin(), name.end(), voice.begin());
  const auto set = [&voice](VoiceField f, int v) {
    bank::pack_field(voice, bank::voice_field_layout(f), v);
  };
  set(VoiceField::EN, 1);
  set(VoiceField::SPD, 190);
  set(VoiceField::PMD, 50);
  set(VoiceField::PMS, 3);
  set(VoiceField::FORM, 2);
  set(VoiceField::SYNC, 1);
  set(VoiceField::ALG, 5);
  set(VoiceField::FB, 7);
  set(VoiceField::TRANS, -12);
  set(VoiceField::MON, 1);
  set(VoiceField::POR, 99);
  set(VoiceField::CNT, 7);   // shown as 4
  set(VoiceField::PBR, 15);  // shown as 12
  for (int op = 0; op < 4; ++op)
    for (std::size_t f = 0; f < bank::kOperatorFieldCount; ++f)
      bank::pack_field(bank::operator_data(voice, op),
                       bank::operator_field_layout(static_cast<OperatorField>(f)),
                       static_cast<int>(f) + op);
  bank::set_preset_voice_bits(voice);

  std::string text;
  bank::append_voice(text, voice, 7);
  EXPECT_EQ(text,
            "@07: Horns\n"
            "# A compile of this text does not give back: name bytes outside 0x20-0x7E, CNT 7 "
            "(as 4), PBR 15 (as 12)\n"
            "#     EN SPD AMD PMD AMS PMS FORM SYNC\n"
            "LFO: 001 190 000 050 000 003  002  001\n"
            "#    ALG  FB TRANS\n"
            "VOI: 005 007  244\n"
            "#    MUL  TL  AR  DR  SL  SR  RR DT1 DT2 KST KSL KSR VST ADJ VSA  MC\n"
            "OP1: 000 001 002 003 004 005 006 007 000 001 010 003 004 013 002 001\n"
            "OP2: 001 002 003 004 005 006 007 000 001 002 011 000 005 014 003 000\n"
            "OP3: 002 003 004 005 006 007 008 001 002 003 012 001 006 015 000 001\n"
            "OP4: 003 004 005 006 007 008 009 002 003 000 013 002 007 000 001 000\n"
            "#    MON POR CNT PBR\n"
            "FNC: 001 099 004 012\n"
            "\n");
}

TEST(WrittenForm, ExtAndRawLinesOnlyWhereTheVoiceNeedsThem) {
  struct Row {
    std::vector<std::pair<std::size_t, std::uint8_t>> bytes;  // set in a preset voice
    std::string lines;                                        // after the FNC line
  };
  const std::string ext = "#    ON1 ON2 ON3 ON4 OUT USR\nEXT: ";
  const std::string raw = "#    bits that no value above holds: byte, value\nRAW:";
  const Row rows[] = {
      {{}, ""},
      {{{11, 0x70}}, ext + "000 001 001 001 003 000\n"},
      {{{11, 0x38}, {12, 0x05}}, ext + "001 001 001 000 000 000\n"},
      {{{7, 0x20}}, ext + "001 001 001 001 003 032\n"},
      {{{16, 0x80}}, raw + " 016 128\n"},
      {{{11, 0xF9}, {63, 5}}, raw + " 011 129 063 005\n"},
      {{{11, 0x00}, {13, 0x8C}, {59, 0x80}},
       ext + "000 000 000 000 003 000\n" + raw + " 013 140 059 128\n"},
  };
  for (const Row& row : rows) {
    VoiceData voice{};
    bank::set_preset_voice_bits(voice);
    for (const auto& [offset, value] : row.bytes) voice[offset] = value;
    std::string text;
    bank::append_voice(text, voice, 1);
    const std::size_t fnc = text.find("FNC: ");
    ASSERT_NE(fnc, std::string::npos);
    EXPECT_EQ(text.substr(text.find('\n', fnc) + 1), row.lines + "\n");
  }
}

// Names stop at their first zero byte; what a compile would not give back
// (bytes outside printable ASCII, the bank-name block past the name but for
// the instrument's own pad, CNT and PBR above the instrument's) is named
// under the name, and only where it applies.
TEST(WrittenForm, NamesAndWhatACompileDoesNotGiveBack) {
  const std::string note = "# A compile of this text does not give back: ";
  const std::string name = "name bytes outside 0x20-0x7E";
  const std::string pad = "bank-name bytes 7-31";
  struct BankRow {
    std::array<std::uint8_t, 8> start;  // the rest of the 32 bytes zero
    std::size_t set_at = 0;             // a byte past the name set to 1, where not 0
    std::string listed;
  };
  const BankRow banks[] = {
      {{'u', 's', 'e', 'r', ' ', '1', ' ', ' '}, 0, "FB-01:user 1 \n\n"},  // the own pad
      {{'u', 's', 'e', 'r', ' ', '1', ' ', 0}, 0, "FB-01:user 1 \n\n"},
      {{'u', 's', 'e', 'r', ' ', '1', ' ', 'X'}, 0, "FB-01:user 1 \n" + note + pad + "\n\n"},
      {{'u', 's', 'e', 'r', ' ', '1', ' ', ' '}, 31, "FB-01:user 1 \n" + note + pad + "\n\n"},
      {{'A', 'B', 0, 'D', 'E', 'F', 'G', ' '}, 0, "FB-01:AB\n" + note + name + "\n\n"},
      {{'A', 0xE9, 'C', 'D', 'E', 'F', 'G', 'H'}, 0,
       "FB-01:A\xE9" "CDEFG\n" + note + name + ", " + pad + "\n\n"},
  };
  for (const BankRow& row : banks) {
    std::array<std::uint8_t, bank::kBankNameDataSize> block{};
    std::copy(row.start.begin(), row.start.end(), block.begin());
    if (row.set_at != 0) block[row.set_at] = 1;
    std::string text;
    bank::print_bank_name(text, block);
    EXPECT_EQ(text, row.listed) << row.listed;
  }
  struct VoiceRow {
    std::array<std::uint8_t, 7> name;
    int cnt;
    int pbr;
    std::string header;  // up to the LFO label line
  };
  const VoiceRow voices[] = {
      {{'P', 'i', 'a', 'n', 'o', ' ', ' '}, 4, 12, "@48: Piano  \n"},
      {{}, 0, 0, "@48: \n" + note + name + "\n"},
      {{'P', 'i', 'a', 'n', 'o', ' ', ' '}, 7, 15,
       "@48: Piano  \n" + note + "CNT 7 (as 4), PBR 15 (as 12)\n"},
      {{'P', 0x7F, 'a', 'n', 'o', ' ', ' '}, 5, 0,
       "@48: P\x7F" "ano  \n" + note + name + ", CNT 5 (as 4)\n"},
  };
  for (const VoiceRow& row : voices) {
    VoiceData voice{};
    std::copy(row.name.begin(), row.name.end(), voice.begin());
    bank::pack_field(voice, bank::voice_field_layout(bank::VoiceField::CNT), row.cnt);
    bank::pack_field(voice, bank::voice_field_layout(bank::VoiceField::PBR), row.pbr);
    std::string text;
    bank::append_voice(text, voice, 48);
    EXPECT_EQ(text.substr(0, text.find("#  ")), row.header) << row.header;
  }
}

}  // namespace
