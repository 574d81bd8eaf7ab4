#include "render/render_test_support.h"

#include <png.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "app/fatal_error.h"
#include "platform/d3d8/d3d8.h"
#include "platform/win/win.h"
#include "support/corpus.h"

namespace zelk4::test {

namespace {

[[noreturn]] void ThrowFatalEnd(const char* text, const char* caption) {
  throw FatalEnd(text, caption);
}

void PutLe(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint32_t Crc32(const std::vector<uint8_t>& data) {
  uint32_t crc = 0xFFFFFFFFu;
  for (uint8_t byte : data) {
    crc ^= byte;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return ~crc;
}

void AppendPngBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

}  // namespace

CaptureFatalErrors::CaptureFatalErrors() { SetFatalErrorHook(ThrowFatalEnd); }
CaptureFatalErrors::~CaptureFatalErrors() { SetFatalErrorHook(nullptr); }

std::vector<uint8_t> StoredRar(const std::vector<ArchiveFile>& files) {
  std::vector<uint8_t> out = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};  // marker block
  // Main header: CRC (not checked by the reader), type, flags, size 13, six reserved bytes.
  PutLe(out, 0, 2);
  out.push_back(0x73);
  PutLe(out, 0, 2);
  PutLe(out, 13, 2);
  PutLe(out, 0, 6);
  for (const ArchiveFile& file : files) {
    PutLe(out, 0, 2);
    out.push_back(0x74);
    PutLe(out, 0x8000, 2);                   // data follow
    PutLe(out, 32 + file.name.size(), 2);    // header size
    PutLe(out, file.data.size(), 4);         // packed size
    PutLe(out, file.data.size(), 4);         // unpacked size
    out.push_back(2);                        // host OS
    PutLe(out, Crc32(file.data), 4);
    PutLe(out, 0, 4);                        // time
    out.push_back(20);                       // version needed
    out.push_back(0x30);                     // stored
    PutLe(out, file.name.size(), 2);
    PutLe(out, 0x20, 4);                     // attributes
    out.insert(out.end(), file.name.begin(), file.name.end());
    out.insert(out.end(), file.data.begin(), file.data.end());
  }
  return out;
}

std::vector<uint8_t> EncodePng(uint32_t width, uint32_t height,
                               const std::vector<uint32_t>& pixels) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    ADD_FAILURE() << "PNG encoding failed";
    return {};
  }
  png_set_write_fn(png, &out, AppendPngBytes, nullptr);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const uint32_t p = pixels[static_cast<size_t>(y) * width + x];
      row[4 * x + 0] = static_cast<uint8_t>(p >> 16);
      row[4 * x + 1] = static_cast<uint8_t>(p >> 8);
      row[4 * x + 2] = static_cast<uint8_t>(p);
      row[4 * x + 3] = static_cast<uint8_t>(p >> 24);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

ScopedDataArchive::ScopedDataArchive(const std::vector<ArchiveFile>& files)
    : previous_(std::filesystem::current_path()) {
  std::string pattern = (std::filesystem::temp_directory_path() / "zelk4-render-XXXXXX").string();
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
