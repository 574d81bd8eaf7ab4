// The coder's parts where a fault would still decode somewhere: code lengths a strict decoder
// refuses, table runs some decoders reject, WAV files read wrongly, and codes never reached.
#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

#include "rarpack/audio_model.h"
#include "rarpack/huffman.h"
#include "rarpack/table_writer.h"
#include "test_data.h"

namespace {

using namespace zelk4::rarpack;
using zelk4::rarpack_test::Bytes;

// Sum of 2^(15 - length) over the used symbols: 2^15 for a complete code.
uint64_t KraftSum(const uint8_t* lengths, uint32_t count) {
  uint64_t sum = 0;
  for (uint32_t s = 0; s < count; ++s)
    if (lengths[s]) sum += uint64_t(1) << (15 - lengths[s]);
  return sum;
}

TEST(RarpackHuffman, LengthsStayWithinFifteenBitsAndTheCodeStaysComplete) {
  // Fibonacci frequencies make an unlimited Huffman code as deep as the alphabet is long.
  uint32_t freq[40];
  freq[0] = freq[1] = 1;
  for (int i = 2; i < 40; ++i) freq[i] = freq[i - 1] + freq[i - 2];
  uint8_t lengths[40];
  BuildCodeLengths(freq, 40, 15, lengths);
  EXPECT_EQ(*std::max_element(lengths, lengths + 40), 15);
  EXPECT_EQ(KraftSum(lengths, 40), 1u << 15);
  // The commonest symbols keep the shortest codes.
  EXPECT_LE(lengths[39], lengths[20]);
  EXPECT_LE(lengths[20], lengths[0]);

  // Canonical codes: no code is the start of another.
  uint16_t codes[40];
  CanonicalCodes(lengths, 40, codes);
  for (int a = 0; a < 40; ++a) {
    for (int b = 0; b < 40; ++b) {
      if (a != b && lengths[a] <= lengths[b]) {
        EXPECT_NE(codes[b] >> (lengths[b] - lengths[a]), codes[a]) << a << " starts " << b;
      }
    }
  }

  // A flat alphabet of 298 and two used symbols among many unused.
  uint32_t flat[298];
  std::fill(flat, flat + 298, 7);
  uint8_t flatLengths[298];
  BuildCodeLengths(flat, 298, 15, flatLengths);
  EXPECT_EQ(KraftSum(flatLengths, 298), 1u << 15);
  uint32_t two[19] = {};
  two[3] = 100;
  two[17] = 1;
  uint8_t twoLengths[19];
  BuildCodeLengths(two, 19, 15, twoLengths);
  EXPECT_EQ(twoLengths[3], 1);
  EXPECT_EQ(twoLengths[17], 1);
  EXPECT_EQ(KraftSum(twoLengths, 19), 1u << 15);
}

TEST(RarpackTables, ChangesAgainstOldLengthsAndRunsThatEveryDecoderTakes) {
  uint8_t lengths[kLZLengths];
  for (uint32_t i = 0; i < kLZLengths; ++i) lengths[i] = static_cast<uint8_t>(i < 200 ? 6 + i % 3 : i < 300 ? 0 : 5);
  // The same lengths again cost little as changes (all zero) and more when sent afresh.
  const TablePlan again = PlanTables(lengths, kLZLengths, lengths, false);
  const TablePlan fresh = PlanTables(lengths, kLZLengths, nullptr, false);
  EXPECT_TRUE(again.keepOld);
  EXPECT_FALSE(fresh.keepOld);
  EXPECT_LT(again.bits, fresh.bits);

  // A table that starts with a run of equal lengths: "repeat the previous" must not come first
  // (there is no previous length, and some decoders refuse the table), and the runs cover
  // exactly the table.
  std::fill(lengths, lengths + kLZLengths, 4);
  std::fill(lengths + 100, lengths + 250, 0);
  const TablePlan runs = PlanTables(lengths, kLZLengths, nullptr, false);
  ASSERT_FALSE(runs.symbols.empty());
  EXPECT_NE(runs.symbols.front().symbol, 16);
  uint32_t covered = 0;
  bool usedRuns = false;
  for (const Item& s : runs.symbols) {
    const uint32_t n = s.symbol == 16 || s.symbol == 17 ? s.extra + 3 : s.symbol == 18 ? s.extra + 11 : 1;
    usedRuns |= s.symbol >= 16;
    covered += n;
  }
  EXPECT_TRUE(usedRuns);
  EXPECT_EQ(covered, kLZLengths);
}

Bytes WavHeader(uint32_t format, uint32_t channels, uint32_t bits, uint32_t dataSize, bool listChunk) {
  Bytes out;
  auto u16 = [&](uint32_t v) { out.push_back(v & 0xFF), out.push_back((v >> 8) & 0xFF); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  auto tag = [&](const char* t) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(t[k]));
  };
  tag("RIFF"), u32(0), tag("WAVE"), tag("fmt "), u32(16), u16(format), u16(channels), u32(8000);
  u32(8000 * channels * bits / 8), u16(channels * bits / 8), u16(bits);
  if (listChunk) tag("LIST"), u32(5), tag("INFO"), out.push_back('x'), out.push_back(0);  // odd size, padded
  tag("data"), u32(dataSize);
  return out;
}

TEST(RarpackWav, FindsPcmSoundAndLeavesEverythingElseToLZ) {
  PcmRegion r;
  Bytes wav = WavHeader(1, 2, 16, 400, true);
  const uint32_t dataStart = static_cast<uint32_t>(wav.size());
  wav.resize(wav.size() + 400, 0x11);
  ASSERT_TRUE(FindPcmRegion(wav, &r));
  EXPECT_EQ(r.begin, dataStart);  // past the padded odd-sized chunk
  EXPECT_EQ(r.end, dataStart + 400);
  EXPECT_EQ(r.frameBytes, 4u);

  // A data chunk that claims more than the file holds is cut at the end of the file.
  Bytes cut = WavHeader(1, 3, 8, 1000000, false);
  cut.resize(cut.size() + 50);
  ASSERT_TRUE(FindPcmRegion(cut, &r));
  EXPECT_EQ(r.end, cut.size());
  EXPECT_EQ(r.frameBytes, 3u);

  // Frames audio mode cannot follow, other formats, and broken files.
  Bytes wide = WavHeader(1, 3, 16, 60, false);  // 6 bytes per frame
  wide.resize(wide.size() + 60);
  EXPECT_FALSE(FindPcmRegion(wide, &r));
  Bytes deep = WavHeader(1, 1, 24, 60, false);
  deep.resize(deep.size() + 60);
  EXPECT_FALSE(FindPcmRegion(deep, &r));
  Bytes floats = WavHeader(3, 1, 16, 60, false);
  floats.resize(floats.size() + 60);
  EXPECT_FALSE(FindPcmRegion(floats, &r));
  Bytes truncated = WavHeader(1, 1, 8, 10, false);
  truncated.resize(30);  // inside the fmt chunk
  EXPECT_FALSE(FindPcmRegion(truncated, &r));
  const Bytes text = zelk4::rarpack_test::Text(500, 1);
  EXPECT_FALSE(FindPcmRegion(text, &r));
}

TEST(RarpackCodes, TheReferenceSetReachesEveryCodeAndTableKind) {
  StreamStats st;
  for (zelk4::rarpack_test::SetArchive a : zelk4::rarpack_test::ReferenceSet()) {
    a.options.stats = &st;
    ASSERT_TRUE(zelk4::rarpack_test::PackSetArchive(a).ok);
  }
  for (uint32_t s = 256; s < 298; ++s) EXPECT_GT(st.mainSymbols[s], 0u) << "main symbol " << s;
  for (uint32_t d : {0u, 16u, 25u, 26u, 35u, 36u, 47u}) EXPECT_GT(st.distanceSymbols[d], 0u) << "distance code " << d;
  EXPECT_GT(st.audioSymbols, 0u);
  EXPECT_GT(st.audioNewTables, 0u);
  EXPECT_GT(st.audioTableReads, 0u);
  EXPECT_GT(st.deltaTableReads, 0u);
  EXPECT_GT(st.entryEndTableReads, 0u);
}

}  // namespace
