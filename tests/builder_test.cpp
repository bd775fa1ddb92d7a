// Packing the voice table into the message, checked byte by byte against the
// bit layout of the voice data rather than against the packing code.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "bank_text.h"
#include "compiler/dump_builder.h"
#include "formats/block_codec.h"
#include "formats/field_layout.h"
#include "system/input_stream.h"

namespace {

using bank::BankState;

// The data bytes of every block of a built message, checksums verified.
std::vector<std::vector<std::uint8_t>> decode_blocks(const BankState& state) {
  bank::InputStream in = bank::memory_input(std::span(state.message).subspan(bank::kHeaderSize));
  std::vector<std::vector<std::uint8_t>> blocks;
  for (int i = 0; i < bank::kBlockCount; ++i) {
    bank::Block block;
    EXPECT_EQ(bank::read_block(in, block), bank::BlockFault::none) << "block " << i;
    blocks.push_back(block.data);
  }
  EXPECT_EQ(bank::next_byte(in), 0xF7);
  EXPECT_EQ(bank::next_byte(in), -1);
  return blocks;
}

TEST(Builder, HeaderAndFraming) {
  BankState state;
  state.system_number = 15;
  state.bank_number = 1;
  bank::build_bulk_dump(state);
  EXPECT_EQ(std::vector<std::uint8_t>(state.message.begin(), state.message.begin() + 7),
            (std::vector<std::uint8_t>{0xF0, 0x43, 0x75, 0x0F, 0x00, 0x00, 0x01}));
  EXPECT_EQ(state.message[6362], 0xF7);
  // Each block where the layout puts it, with its count: the blocks decode
  // one after the other, the bank name at byte 7, up to the F7.
  const auto blocks = decode_blocks(state);
  ASSERT_EQ(blocks.size(), static_cast<std::size_t>(bank::kBlockCount));
  EXPECT_EQ(blocks[0].size(), 32U);
  EXPECT_EQ(blocks[48].size(), 64U);
}

TEST(Builder, UndefinedVoicesAndBankNameAreBlankButKeepFixedBits) {
  BankState state;
  ASSERT_EQ(testing_support::read_text("@1: Only\nLFO: 1 2 3 4 5 6 7 8\n", state), 0);
  bank::build_bulk_dump(state);
  const auto blocks = decode_blocks(state);
  EXPECT_EQ(std::string(blocks[0].begin(), blocks[0].begin() + 7), "       ");
  for (std::size_t i = 7; i < 32; ++i) EXPECT_EQ(blocks[0][i], 0) << i;
  EXPECT_EQ(std::string(blocks[1].begin(), blocks[1].begin() + 7), "Only   ");
  for (std::size_t v = 2; v <= 48; ++v) {
    std::array<std::uint8_t, bank::kVoiceDataSize> blank{};
    std::fill_n(blank.begin(), 7, ' ');
    bank::set_preset_voice_bits(blank);
    EXPECT_EQ(blocks[v], std::vector<std::uint8_t>(blank.begin(), blank.end())) << v;
  }
}

TEST(Builder, EveryFieldLandsInItsBits) {
  BankState state;
  const std::string text =
      "@1: Fields\n"
      "LFO: 1 171 93 85 2 5 3 1\n"  // EN SPD AMD PMD AMS PMS FORM SYNC
      "VOI: 6 5 -12\n"              // ALG FB TRANS
      "OP1: 9 100 29 17 10 19 6 5 2 2 12 3 6 11 2 1\n"
      "OP4: 15 127 31 31 15 31 15 7 3 1 15 3 7 15 3 0\n"
      "FNC: 1 77 3 11\n";  // MON POR CNT PBR
  ASSERT_EQ(testing_support::read_text(text, state), 0);
  bank::build_bulk_dump(state);
  const std::vector<std::uint8_t> v = decode_blocks(state)[1];
  EXPECT_EQ(v[7], 0x00);
  EXPECT_EQ(v[8], 171);
  EXPECT_EQ(v[9], 0x80 | 93);
  EXPECT_EQ(v[10], 0x80 | 85);
  EXPECT_EQ(v[11], 0x78);
  EXPECT_EQ(v[12], 0xC0 | 5 << 3 | 6);
  EXPECT_EQ(v[13], 5 << 4 | 2);
  EXPECT_EQ(v[14], 3 << 5);
  EXPECT_EQ(v[15], 244);
  // Operator 1: MUL TL AR DR SL SR RR DT1 DT2 KST KSL KSR VST ADJ VSA MC
  //             9   100 29 17 10 19 6  5   2   2   12  3   6   11  2   1
  EXPECT_EQ(v[16], 100);
  EXPECT_EQ(v[17], 0 << 7 | 6 << 4);       // KST bit 0, VST
  EXPECT_EQ(v[18], 12 << 4 | 11);          // KSL, ADJ
  EXPECT_EQ(v[19], 1 << 7 | 5 << 4 | 9);   // KST bit 1, DT1, MUL
  EXPECT_EQ(v[20], 3 << 6 | 29);           // KSR, AR
  EXPECT_EQ(v[21], 1 << 7 | 2 << 5 | 17);  // MC, VSA, DR
  EXPECT_EQ(v[22], 2 << 6 | 19);           // DT2, SR
  EXPECT_EQ(v[23], 10 << 4 | 6);           // SL, RR
  for (std::size_t i = 24; i < 40; ++i) EXPECT_EQ(v[i], 0) << i;
  // Operator 4 at bytes 40-47.
  EXPECT_EQ(v[40], 127);
  EXPECT_EQ(v[41], 1 << 7 | 7 << 4);
  EXPECT_EQ(v[42], 0xFF);
  EXPECT_EQ(v[43], 0 << 7 | 7 << 4 | 15);
  EXPECT_EQ(v[44], 3 << 6 | 31);
  EXPECT_EQ(v[45], 0 << 7 | 3 << 5 | 31);
  EXPECT_EQ(v[46], 3 << 6 | 31);
  EXPECT_EQ(v[47], 0xFF);
  for (std::size_t i = 48; i < 58; ++i) EXPECT_EQ(v[i], 0) << i;
  EXPECT_EQ(v[58], 0x80 | 77);
  EXPECT_EQ(v[59], 3 << 4 | 11);
  for (std::size_t i = 60; i < 64; ++i) EXPECT_EQ(v[i], 0) << i;
}

// How a field keeps a wide value's low bits is the field table's test; here
// each value reaches its own field, cut there and nowhere else.
TEST(Builder, WideValuesAreCutToTheirFields) {
  BankState state;
  ASSERT_EQ(testing_support::read_text("@1: W\nVOI: 15 9 -1\nOP1: 16 200 33 0 0 0 0 8 4 6 0 0 0 "
                                       "0 0 3\nFNC: 3 128 9 17\n",
                                       state),
            0);
  bank::build_bulk_dump(state);
  const std::vector<std::uint8_t> v = decode_blocks(state)[1];
  EXPECT_EQ(v[12], 0xC0 | 1 << 3 | 7);  // FB 9 -> 1, ALG 15 -> 7
  EXPECT_EQ(v[17], 0);                  // KST 6 -> 2: bit 0 clear
  EXPECT_EQ(v[19], 0x80 | 0 << 4 | 0);  // KST bit 1; DT1 8 -> 0; MUL 16 -> 0
  EXPECT_EQ(v[20], 1);                  // AR 33 -> 1
  EXPECT_EQ(v[21], 0x80);               // MC 3 -> 1
  EXPECT_EQ(v[58], 0x80);               // MON 3 -> 1, POR 128 -> 0
  EXPECT_EQ(v[59], 1 << 4 | 1);         // CNT 9 -> 1, PBR 17 -> 1
}

TEST(Builder, ExtAndRawLinesSetTheBitsTheyName) {
  struct Row {
    std::string lines;                                     // after "@1: X" and an OP1 line
    std::vector<std::pair<std::size_t, int>> bytes;        // voice data offset, value
  };
  const Row rows[] = {
      // No EXT line: all operators on, both output bits set, user code 0.
      {"", {{7, 0x00}, {11, 0x78}, {12, 0xC0}, {16, 5}}},
      {"EXT: 0 1 1 1 3 0\n", {{11, 0x70}}},  // OP1 off
      {"EXT: 1 1 1 0 3 0\n", {{11, 0x38}}},  // OP4 off
      {"EXT: 1 1 1 1 0 32\n", {{7, 0x20}, {11, 0x78}, {12, 0x00}}},
      {"EXT: 1 0 1 0 2 0\n", {{11, 0x28}, {12, 0x80}}},
      {"EXT: 3 2 -1 4 5 300\n", {{11, 0x28}, {12, 0x40}, {7, 300 & 0xFF}}},  // low bits
      // RAW: the free bits of a byte; a field's bits stay the field's.
      {"RAW: 16 128\n", {{16, 0x80 | 5}}},
      {"RAW: 16 255 17 15\n", {{16, 0x80 | 5}, {17, 0x0F}}},
      {"RAW: 11 135 48 1 11 1 63 200\n", {{11, 0x79}, {48, 1}, {63, 200}}},
      {"RAW: 8 255 12 255 7 255\n", {{8, 0}, {12, 0xC0}, {7, 0}}},  // no free bit there
      {"RAW: 016 128\nRAW: 16 0\n", {{16, 5}}},                    // the later line wins
  };
  for (const Row& row : rows) {
    BankState state;
    ASSERT_EQ(testing_support::read_text(
                  "@1: X\nOP1: 0 5 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n" + row.lines, state),
              0)
        << row.lines;
    bank::build_bulk_dump(state);
    const std::vector<std::uint8_t> v = decode_blocks(state)[1];
    for (const auto& [offset, value] : row.bytes)
      EXPECT_EQ(v[offset], value) << row.lines << "byte " << offset;
  }
}

TEST(Builder, NamesAreCleanedInPlace) {
  BankState state;
  state.bank_name = {'A', '\n', 0, 'B', static_cast<char>(0xE9), 0x7F, '~', 0};
  state.voices[0].name = {static_cast<char>(0x80), 0x1F, ' ', 'z',
                          static_cast<char>(0xFF), 0x7F, 'x', 0};
  state.voices[48].name = {'S', 'p', 'a', 'r', 'e', 0, 0, 0};
  bank::build_bulk_dump(state);
  EXPECT_EQ(std::string(state.bank_name.data(), 7), "A  B \x7F~");
  EXPECT_EQ(std::string(state.voices[0].name.data(), 7), "   z \x7Fx");
  // The spare record is never sent, so never cleaned either.
  EXPECT_EQ(state.voices[48].name[5], 0);
  const auto blocks = decode_blocks(state);
  EXPECT_EQ(std::string(blocks[0].begin(), blocks[0].begin() + 7), "A  B \x7F~");
  EXPECT_EQ(std::string(blocks[1].begin(), blocks[1].begin() + 7), "   z \x7Fx");
}

}  // namespace
