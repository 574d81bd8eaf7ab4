#include "render/render_test_support.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "base/fatal_error.h"
#include "kit/image_writers.h"
#include "kit/rar_store_writer.h"
#include "platform/d3d8/d3d8.h"
#include "platform/win/win.h"
#include "support/corpus.h"

namespace zelk4::test {

namespace {

[[noreturn]] void ThrowFatalEnd(const char* text, const char* caption) {
  throw FatalEnd(text, caption);
}

std::vector<uint8_t> StoredRar(const std::vector<ArchiveFile>& files) {
  std::vector<kit::ArchiveEntry> entries;
  for (const ArchiveFile& file : files) entries.push_back({file.name, file.data});
  return kit::WriteStoredRar(entries);
}

}  // namespace

CaptureFatalErrors::CaptureFatalErrors() { SetFatalErrorHook(ThrowFatalEnd); }
CaptureFatalErrors::~CaptureFatalErrors() { SetFatalErrorHook(nullptr); }

std::vector<uint8_t> EncodePng(uint32_t width, uint32_t height,
                               const std::vector<uint32_t>& pixels) {
  kit::Picture picture(static_cast<int>(width), static_cast<int>(height));
  picture.pixels = pixels;
  return kit::WritePng(picture, true);
}

// Folders are named "zelk4-render-<parent pid>-<pid>-XXXXXX". A death test's child ends without
// running destructors, so the parent also sweeps the folders of its own children.
ScopedDataArchive::ScopedDataArchive(const std::vector<ArchiveFile>& files)
    : previous_(std::filesystem::current_path()) {
  const std::string name = "zelk4-render-" + std::to_string(getppid()) + "-" +
                           std::to_string(getpid()) + "-XXXXXX";
  std::string pattern = (std::filesystem::temp_directory_path() / name).string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  folder_ = pattern;
  const std::vector<uint8_t> archive = StoredRar(files);
  std::ofstream(folder_ / "Data.rar", std::ios::binary)
      .write(reinterpret_cast<const char*>(archive.data()),
             static_cast<std::streamsize>(archive.size()));
  std::filesystem::current_path(folder_);
}

ScopedDataArchive::~ScopedDataArchive() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
  std::filesystem::remove_all(folder_, ignored);
  const std::string children = "zelk4-render-" + std::to_string(getpid()) + "-";
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::temp_directory_path(), ignored)) {
    if (entry.path().filename().string().rfind(children, 0) == 0) {
      std::filesystem::remove_all(entry.path(), ignored);
    }
  }
}

void RenderDeviceTest::SetUp() {
  d3d8::ResetControls();
  d3d8::PresentOffscreen();
  win::SetMessageBoxesEnabled(false);
  rd.Init(nullptr, 640, 480, 0);
}

void RenderDeviceTest::TearDown() {
  rd.Release();
  d3d8::ResetControls();
}

std::vector<uint32_t> RenderDeviceTest::PresentedPicture() {
  rd.Present();
  return d3d8::LastPresentedFrame().pixels;
}

void RenderDeviceTest::ReleaseTexture(Texture* texture) {
  if (texture->d3dTexture != nullptr) texture->d3dTexture->Release();
  texture->d3dTexture = nullptr;
}

std::vector<uint32_t> ReadLevel(IDirect3DTexture8* texture, uint32_t level, uint32_t* width,
                                uint32_t* height) {
  D3DSURFACE_DESC desc;
  std::memset(&desc, 0, sizeof desc);
  texture->GetLevelDesc(level, &desc);
  *width = desc.Width;
  *height = desc.Height;
  std::vector<uint32_t> words(static_cast<size_t>(desc.Width) * desc.Height);
  D3DLOCKED_RECT locked;
  if (FAILED(texture->LockRect(level, &locked, nullptr, 0))) {
    ADD_FAILURE() << "level " << level << " cannot be locked";
    return words;
  }
  for (uint32_t y = 0; y < desc.Height; ++y) {
    std::memcpy(&words[static_cast<size_t>(y) * desc.Width],
                static_cast<uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch,
                static_cast<size_t>(desc.Width) * 4);
  }
  texture->UnlockRect(level);
  return words;
}

std::string SavePicturePair(uint32_t width, uint32_t height, const std::vector<uint32_t>& expected,
                            const std::vector<uint32_t>& actual) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string stem = std::string(info->test_suite_name()) + "." + info->name();
  const std::filesystem::path base = TestOutputDir() / stem;
  WriteFileBytes(base.string() + "-expected.png", EncodePng(width, height, expected));
  WriteFileBytes(base.string() + "-actual.png", EncodePng(width, height, actual));
  return base.string() + "-{expected,actual}.png";
}

size_t CountDifferentPixels(const std::vector<uint32_t>& expected,
                            const std::vector<uint32_t>& actual, int tolerance) {
  if (expected.size() != actual.size()) return std::max(expected.size(), actual.size());
  size_t different = 0;
  for (size_t i = 0; i < expected.size(); ++i) {
    for (int shift = 0; shift < 24; shift += 8) {  // what the screen shows: no alpha
      const int a = static_cast<int>((expected[i] >> shift) & 255);
      const int b = static_cast<int>((actual[i] >> shift) & 255);
      if (std::abs(a - b) > tolerance) {
        ++different;
        break;
      }
    }
  }
  return different;
}

}  // namespace zelk4::test
