// Loading images from "Data.rar" in the working directory: the dispatcher's order, its cost
// in archive lookups, and the fatal box for a file that is not there. Each test works in its
// own folder holding a Data.rar written by the stored-entry writer.
#include <filesystem>

#include <gtest/gtest.h>

#include "archive/archive.h"
#include "base/fatal_error.h"
#include "image_test_support.h"
#include "kit/rar_store_writer.h"
#include "platform/win/win.h"
#include "support/corpus.h"

// Every archive lookup the image loaders make passes through here (linked with
// --wrap for ArchiveGetFile), so the tests can count them.
namespace {
int lookups = 0;
}
extern "C" int __real__Z14ArchiveGetFilePPhPjPKcS3_S3_(uint8_t**, uint32_t*, const char*, const char*, const char*);
extern "C" int __wrap__Z14ArchiveGetFilePPhPjPKcS3_S3_(uint8_t** data, uint32_t* size, const char* name,
                                                        const char* archivePath, const char* password) {
  ++lookups;
  return __real__Z14ArchiveGetFilePPhPjPKcS3_S3_(data, size, name, archivePath, password);
}

namespace zelk4::test {
namespace {

class ImageArchive : public ::testing::Test {
 protected:
  void SetUp() override {
    win::SetMessageBoxesEnabled(false);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = TestOutputDir() / "image-archive" / info->name();
    std::filesystem::create_directories(folder_);
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(folder_);
    lookups = 0;
  }
  void TearDown() override { std::filesystem::current_path(previous_); }

  void WriteArchive(const std::vector<kit::ArchiveEntry>& entries) {
    ASSERT_TRUE(WriteFileBytes(folder_ / "Data.rar", kit::WriteStoredRar(entries)));
  }

  static Decoded Load(const char* name) {
    Decoded d;
    uint32_t* pixels = nullptr;
    d.ok = LoadImageFile(name, &d.width, &d.height, &pixels);
    d.pixels.reset(pixels);
    return d;
  }

  std::filesystem::path folder_;
  std::filesystem::path previous_;
};

TEST_F(ImageArchive, NameDoesNotChooseTheFormat) {
  const auto png = MakePng(2, 1, 8, 0, {0, 0x10, 0x20});
  WriteArchive({{"graphics\\photo.jpg", png}});
  const Decoded d = Load("graphics\\photo.jpg");
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.Words(), (std::vector<uint32_t>{0xFF101010u, 0xFF202020u}));
  EXPECT_EQ(lookups, 1);
}

TEST_F(ImageArchive, EachFormatTriedFetchesTheFileAnew) {
  ZELK4_REQUIRE_CORPUS("jpeg");
  const auto jpeg = ReadFileBytes(CorpusPath("jpeg") / "testorig.jpg");
  WriteArchive({{"a.png", MakePng(1, 1, 8, 0, {0, 1})},
                {"b.tga", MakeTga(3, 1, 1, 8, {1})},
                {"c.pcx", MakePcx(1, 1, {1})},
                {"d.pkm", MakePkm(1, 2, 1, 1, {}, {1})},
                {"e.jpg", jpeg}});
  const std::pair<const char*, int> expectedLookups[] = {{"a.png", 1}, {"b.tga", 2}, {"c.pcx", 3}, {"d.pkm", 4}, {"e.jpg", 5}};
  for (const auto& [name, count] : expectedLookups) {
    lookups = 0;
    EXPECT_TRUE(Load(name).ok) << name;
    EXPECT_EQ(lookups, count) << name;
  }
  const Decoded viaArchive = Load("e.jpg");
  const Decoded direct = Decode(DecodeJpegImage, jpeg);
  EXPECT_EQ(viaArchive.Words(), direct.Words());
}

TEST_F(ImageArchive, ExtractImageFileHandsOverTheBytesAndSize) {
  WriteArchive({{"graphics\\x.bin", {1, 2, 3}}});
  uint32_t size = 0;
  uint8_t* bytes = ExtractImageFile("graphics\\x.bin", &size);
  ASSERT_EQ(size, 3u);
  EXPECT_EQ(bytes[2], 3);
  std::free(bytes);
  std::free(ExtractImageFile("graphics\\x.bin", nullptr));
}

TEST_F(ImageArchive, MissingFileOrArchiveIsFatal) {
  WriteArchive({{"graphics\\there.png", MakePng(1, 1, 8, 0, {0, 1})}});
  EXPECT_EXIT(Load("graphics\\absent.png"), ::testing::ExitedWithCode(1),
              "Image load error: Unable to extract image file \\(from data file\\): graphics.absent\\.png");
  std::filesystem::remove(folder_ / "Data.rar");
  EXPECT_EXIT(Load("graphics\\there.png"), ::testing::ExitedWithCode(1),
              "Image load error: Unable to extract image file \\(from data file\\): graphics.there\\.png");
}

TEST_F(ImageArchive, ANonImageEndsInTheJpegReader) {
  WriteArchive({{"notes.txt", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'}}});
  EXPECT_EXIT(Load("notes.txt"), ::testing::ExitedWithCode(1), "Fatal error: Error in jpeg reader");
}

}  // namespace
}  // namespace zelk4::test
