// The RAR 2.0 decoder over streams written here, each named after what it reaches: every kind of
// match, table changes inside an entry, solid continuation, audio mode, the window's wrap, and
// streams that lie about their size.
#include <gtest/gtest.h>

#include <cmath>

#include "archive/archive_tool.h"
#include "archive/rar_test_writer.h"

using namespace zelk4::archive_test;

namespace {

// What the decoder must produce, built beside the stream from the plain meaning of each symbol.
struct Expected {
  Bytes out;
  void Literals(StreamWriter& w, const Bytes& bytes) {
    for (uint8_t b : bytes) {
      w.Literal(b);
      out.push_back(b);
    }
  }
  void Copy(uint32_t length, uint32_t distance) {
    for (uint32_t i = 0; i < length; ++i) out.push_back(out[out.size() - distance]);
  }
};

Lookup DecodeOne(const Bytes& stream, const Bytes& expected, uint32_t unpackedSize) {
  Entry e = Compressed("e", stream, expected);
  e.unpackedSize = unpackedSize;
  return GetFromMemory(BuildArchive({e}), "e");
}

Lookup DecodeOne(const Bytes& stream, const Bytes& expected) {
  return DecodeOne(stream, expected, static_cast<uint32_t>(expected.size()));
}

// Interleaved channels of slow waves, each its own frequency and level.
Bytes Waves(size_t size, uint32_t channels) {
  Bytes b(size);
  for (size_t i = 0; i < size; ++i) {
    const double c = static_cast<double>(i % channels), t = static_cast<double>(i / channels);
    b[i] = static_cast<uint8_t>(128 + (30 + 20 * c) * std::sin(t * (0.05 + 0.03 * c)) + (i % 7));
  }
  return b;
}

}  // namespace

TEST(ArchiveDecoder, EveryMatchKindAndTheRecentDistances) {
  StreamWriter w;
  Expected x;
  w.LZTables();
  x.Literals(w, Noise(0x50000 + 64, 11));
  w.Match(10, 1);  // distance 1 repeats the last byte
  x.Copy(10, 1);
  w.ShortMatch(5);
  x.Copy(2, 5);
  w.Match(40, 0x2100);  // distance >= 0x2000: coded one shorter
  x.Copy(40, 0x2100);
  w.RepeatLast();  // the last match again
  x.Copy(40, 0x2100);
  // Recent distances, newest first: 0x2100, 0x2100, 5, 1.
  w.RecentMatch(2, 7);  // third newest: 5, coded length as is
  x.Copy(7, 5);
  w.RecentMatch(1, 30);  // newest first now: 5, 0x2100, 0x2100, 5 -> 0x2100 adds 2 to the length
  x.Copy(32, 0x2100);
  w.Match(260, 0x50000);  // the longest match, at a distance >= 0x40000
  x.Copy(260, 0x50000);
  w.ShortMatch(256);
  x.Copy(2, 256);
  x.Literals(w, {1, 2, 3});
  const Lookup r = DecodeOne(w.Finish(), x.out);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.data, x.out);
}

TEST(ArchiveDecoder, RepeatAtTheStartCopiesNothing) {
  StreamWriter w;
  w.LZTables();
  w.RepeatLast();
  Expected x;
  x.Literals(w, {'a', 'b'});
  EXPECT_EQ(DecodeOne(w.Finish(), x.out).data, x.out);
}

// New tables inside one entry: LZ to LZ, LZ to audio, and audio back to LZ with a match that
// reaches into the audio bytes.
TEST(ArchiveDecoder, TablesChangeInsideAnEntry) {
  StreamWriter w;
  Expected x;
  w.LZTables();
  x.Literals(w, Noise(100, 2));
  w.NewTablesSymbol();
  w.LZTables();
  x.Literals(w, Noise(50, 3));
  w.NewTablesSymbol();
  const Bytes audio = Waves(999, 4);
  EncodeAudio(w, audio, 4);
  x.out.insert(x.out.end(), audio.begin(), audio.end());
  w.AudioSymbol(256);
  w.LZTables();
  w.Match(100, 500);
  x.Copy(100, 500);
  const Lookup r = DecodeOne(w.Finish(), x.out);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.data, x.out);
}

// Bytes go to channels 0, 1, 2, 3, 0, ... and each channel adapts its own weights every 32 of
// its bytes; sizes that are not a multiple of the channel count end mid-round.
TEST(ArchiveDecoder, AudioModeWithOneToFourChannels) {
  for (uint32_t channels = 1; channels <= 4; ++channels) {
    const Bytes data = Waves(6000 + channels, channels);
    StreamWriter w;
    EncodeAudio(w, data, channels);
    const Lookup r = DecodeOne(w.Finish(), data);
    ASSERT_TRUE(r.ok) << channels << " channels";
    EXPECT_EQ(r.data, data) << channels << " channels";
  }
}

// A solid archive: each entry continues the previous one's window, distances and tables (read at
// the end of the previous entry). The third entry copies from the first two.
TEST(ArchiveDecoder, SolidArchiveThirdEntry) {
  Expected x;
  StreamWriter w1, w2, w3;
  w1.LZTables();
  x.Literals(w1, Noise(3000, 21));
  const size_t end1 = x.out.size();
  w1.NewTablesSymbol();
  w1.LZTables();

  w2.Match(200, 2500);  // into the first entry
  x.Copy(200, 2500);
  x.Literals(w2, Noise(500, 22));
  const size_t end2 = x.out.size();
  w2.NewTablesSymbol();
  w2.LZTables();

  w3.Match(100, 3600);  // into the first entry
  x.Copy(100, 3600);
  w3.RecentMatch(1, 50);  // the second entry's distance, carried over (>= 0x101: one longer)
  x.Copy(51, 2500);
  x.Literals(w3, Noise(10, 23));

  const Bytes b1(x.out.begin(), x.out.begin() + end1), b2(x.out.begin() + end1, x.out.begin() + end2),
      b3(x.out.begin() + end2, x.out.end());
  std::vector<Entry> entries = {Compressed("first", w1.Finish(), b1), Compressed("second", w2.Finish(), b2),
                                Compressed("third", w3.Finish(), b3)};
  entries[1].flags |= 0x0010;
  entries[2].flags |= 0x0010;
  const Bytes solid = BuildArchive(entries, 0x0008);
  EXPECT_EQ(GetFromMemory(solid, "third").data, b3);
  EXPECT_EQ(GetFromMemory(solid, "second").data, b2);
  EXPECT_EQ(GetFromMemory(solid, "first").data, b1);
  // Without the archive's solid flag the first two are skipped, and the third cannot be rebuilt.
  EXPECT_FALSE(GetFromMemory(BuildArchive(entries, 0), "third").ok);
}

// An entry longer than the 1 MiB window: flushes keep the output right across the wrap, a match
// crosses the window's end, and a match of the whole window's distance reads the oldest byte.
TEST(ArchiveDecoder, WindowWrapPastOneMiB) {
  StreamWriter w;
  Expected x;
  w.LZTables();
  x.Literals(w, Noise((1u << 20) - 100, 31));
  w.Match(200, 5000);
  x.Copy(200, 5000);
  x.Literals(w, Noise(1000, 32));
  w.Match(260, 1u << 20);
  x.Copy(260, 1u << 20);
  w.RepeatLast();
  x.Copy(260, 1u << 20);
  const Lookup r = DecodeOne(w.Finish(), x.out);
  ASSERT_TRUE(r.ok);
  ASSERT_EQ(r.size, x.out.size());
  EXPECT_TRUE(r.data == x.out);
}

// Short matches of every small distance, before the window first fills (where copies may run
// past a match's end) and after it has wrapped, each there followed by a match from almost a whole
// window back: that one reads the bytes just ahead of the position, which must still be history.
TEST(ArchiveDecoder, ShortCopiesBeforeAndAfterTheWindowWraps) {
  constexpr uint32_t kWindow = 1u << 20;
  StreamWriter w;
  Expected x;
  w.LZTables();
  x.Literals(w, Noise(64, 41));
  auto shortCopies = [&](bool thenFar) {
    for (uint32_t distance = 1; distance <= 40; ++distance) {
      for (uint32_t length : {3u, 7u, 8u, 9u, 15u, 16u, 17u, 33u}) {
        w.Match(length, distance);
        x.Copy(length, distance);
        if (thenFar) {
          const uint32_t far = kWindow - 1 - (distance + length) % 16;
          w.Match(5, far);
          x.Copy(5, far);
        }
        x.Literals(w, {static_cast<uint8_t>(distance * 7 + length)});
      }
    }
  };
  shortCopies(false);
  x.Literals(w, Noise(kWindow + 5000 - x.out.size(), 42));
  shortCopies(true);
  const Lookup r = DecodeOne(w.Finish(), x.out);
  ASSERT_TRUE(r.ok);
  EXPECT_TRUE(r.data == x.out);
}

TEST(ArchiveDecoder, SizesThatDoNotFitTheStream) {
  // A zero-size entry: tables are read, nothing is decoded.
  StreamWriter empty;
  empty.LZTables();
  const Lookup zero = DecodeOne(empty.Finish(), {});
  EXPECT_TRUE(zero.ok);
  EXPECT_EQ(zero.size, 0u);

  // A final match running past the size loses the last flush: CRC failure.
  StreamWriter over;
  Expected x;
  over.LZTables();
  x.Literals(over, {'a', 'b', 'c', 'd', 'e'});
  over.Match(10, 1);
  x.Copy(10, 1);
  EXPECT_FALSE(DecodeOne(over.Finish(), Bytes(x.out.begin(), x.out.begin() + 10), 10).ok);

  // A size far beyond what the packed bytes hold: decoding stops once they are used up.
  StreamWriter few;
  Expected y;
  few.LZTables();
  y.Literals(few, {'a', 'b', 'c', 'd', 'e'});
  const Bytes stream = few.Finish();
  EXPECT_FALSE(DecodeOne(stream, y.out, 400000).ok);
  ArchiveSetCrcCheck(0);
  const Lookup salvage = DecodeOne(stream, y.out, 400000);
  ArchiveSetCrcCheck(1);
  ASSERT_TRUE(salvage.ok);
  ASSERT_GE(salvage.size, 5u);
  EXPECT_LE(salvage.size, 6u);  // at most one more symbol from the last byte's padding
  EXPECT_EQ(Bytes(salvage.data.begin(), salvage.data.begin() + 5), y.out);

  // The same lie on an earlier entry of a solid archive (decoded into the window only, so no
  // allocation bounds it) ends just as quickly, and the wanted entry after it is found.
  Entry liar = Compressed("liar", stream, y.out);
  liar.unpackedSize = 0x7FFFFFFF;
  EXPECT_EQ(GetFromMemory(BuildArchive({liar, Stored("next", {'n'})}, 0x0008), "next").data, Bytes{'n'});
}
