// Failure is fatal in the PNG and JPEG paths: each ends the process with its own box text and
// caption. With a fatal-error hook that returns control instead (as fuzzing does), the load
// must leave nothing allocated and the next load must work.
#include <csetjmp>

#include <gtest/gtest.h>

#include "base/fatal_error.h"
#include "image_test_support.h"
#include "platform/win/win.h"
#include "support/corpus.h"

namespace zelk4::test {
namespace {

class ImageFatal : public ::testing::Test {
 protected:
  void SetUp() override { win::SetMessageBoxesEnabled(false); }
};

void DecodeOrDie(DecodeFunction decode, const std::vector<uint8_t>& bytes) {
  Decode(decode, bytes);
  std::exit(0);  // reaching here means no fatal error
}

TEST_F(ImageFatal, PngShorterThanItsSignatureOrCutShort) {
  EXPECT_EXIT(DecodeOrDie(DecodeImageFile, {0x89, 'P', 'N'}), ::testing::ExitedWithCode(1),
              "ImageLoad fejl: Fejl i png reader");
  auto png = MakePng(16, 16, 8, 0, std::vector<uint8_t>(16 * 17, 0));
  png.resize(png.size() / 2);
  EXPECT_EXIT(DecodeOrDie(DecodePngImage, png), ::testing::ExitedWithCode(1), "ImageLoad fejl: Fejl i png reader");
}

TEST_F(ImageFatal, CorruptPngEndsInTheLibraryErrorBox) {
  auto png = MakePng(4, 4, 8, 0, std::vector<uint8_t>(4 * 5, 7));
  png[png.size() - 20] ^= 0x55;  // inside IDAT: its CRC no longer matches
  EXPECT_EXIT(DecodeOrDie(DecodePngImage, png), ::testing::ExitedWithCode(1), "Image loader: Error loading png file");
  auto badHeader = MakePng(4, 4, 7, 0, std::vector<uint8_t>(4 * 5, 7));  // depth 7 is invalid
  EXPECT_EXIT(DecodeOrDie(DecodePngImage, badHeader), ::testing::ExitedWithCode(1),
              "Image loader: Error loading png file");
}

TEST_F(ImageFatal, HeadersAskingForHugePicturesAreRefusedBeforeAllocating) {
  EXPECT_EXIT(DecodeOrDie(DecodePngImage, MakePng(30000, 30000, 8, 6, {0, 1, 2, 3, 4})), ::testing::ExitedWithCode(1),
              "Image Error: PNG-reader failed");
  ZELK4_REQUIRE_CORPUS("jpeg");
  auto jpeg = ReadFileBytes(CorpusPath("jpeg") / "testorig.jpg");
  for (size_t i = 0; i + 8 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {  // start of frame: height, width follow the precision
      jpeg[i + 5] = jpeg[i + 7] = 0xFD;
      jpeg[i + 6] = jpeg[i + 8] = 0xE8;
      break;
    }
  }
  EXPECT_EXIT(DecodeOrDie(DecodeJpegImage, jpeg), ::testing::ExitedWithCode(1), "Fatal error: Error in jpeg reader");
}

TEST_F(ImageFatal, BytesNoLoaderTakesEndInTheJpegReader) {
  const std::vector<uint8_t> text = {'h', 'e', 'l', 'l', 'o', ',', ' ', 'w', 'o', 'r', 'l', 'd'};
  EXPECT_EXIT(DecodeOrDie(DecodeImageFile, text), ::testing::ExitedWithCode(1), "Fatal error: Error in jpeg reader");
}

// ---- The hook returns control: nothing leaks (LeakSanitizer checks) and loading goes on.

std::jmp_buf fatalJump;
const char* lastFatalText = nullptr;
[[noreturn]] void JumpBack(const char* text, const char*) {
  lastFatalText = text;
  std::longjmp(fatalJump, 1);
}

// True when the decode ended in a fatal error that the hook turned into a return.
bool FailsThroughHook(DecodeFunction decode, const std::vector<uint8_t>& bytes) {
  uint32_t width = 0, height = 0;
  uint32_t* pixels = nullptr;
  SetFatalErrorHook(JumpBack);
  bool fatal = false;
  if (setjmp(fatalJump) == 0) {
    if (decode(bytes.data(), bytes.size(), &width, &height, &pixels)) delete[] pixels;
  } else {
    fatal = true;
  }
  SetFatalErrorHook(nullptr);
  return fatal;
}

TEST_F(ImageFatal, HookedFatalErrorsLeaveNothingAllocatedAndTheNextLoadWorks) {
  // Fails half-way through the rows, with the pixel array and work buffers allocated.
  std::vector<uint8_t> rows;
  for (int y = 0; y < 64; ++y) {
    rows.push_back(0);
    for (int x = 0; x < 64 * 3; ++x) rows.push_back(static_cast<uint8_t>(x ^ y));
  }
  auto png = MakePng(64, 64, 8, 2, rows);
  const auto good = png;
  png.resize(png.size() - 40 * 64 * 3 / 2);
  EXPECT_TRUE(FailsThroughHook(DecodePngImage, png));
  EXPECT_STREQ(lastFatalText, "Fejl i png reader");
  png = good;
  png[png.size() - 30] ^= 1;
  EXPECT_TRUE(FailsThroughHook(DecodePngImage, png));
  EXPECT_STREQ(lastFatalText, "Error loading png file");
  EXPECT_TRUE(FailsThroughHook(DecodeImageFile, {'n', 'o', 'p', 'e', 0, 0, 0, 0}));
  EXPECT_STREQ(lastFatalText, "Error in jpeg reader");

  const Decoded after = Decode(DecodePngImage, good);
  ASSERT_TRUE(after.ok);
  EXPECT_EQ(after.At(1, 2), 0xFF010607u);  // stored red, green, blue: 3 ^ 2, 4 ^ 2, 5 ^ 2
}

}  // namespace
}  // namespace zelk4::test
