// JPEG through the IJG library's 6b interface, reading from memory through a source manager
// of our own. Being the dispatcher's last loader it gets every file no other loader took, so
// any library error is fatal. Input is hostile: the source never hands out bytes past the
// data (at the end it offers an end-of-image marker), and the picture size is bounded by
// what the data could describe before anything is allocated.
//
// Before the fatal box the load releases the decompressor and its pixel array, so a
// fatal-error hook that returns control to its caller (tests, fuzzing) leaks nothing. Under
// OnDamage::kFail (the texture decoder) an error, or a warning about damaged or missing data,
// jumps back to the decode (setjmp/longjmp, as the library's documentation suggests), which
// releases the same way and returns false.
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t first

#include <jpeglib.h>

#include "base/fatal_error.h"
#include "image/image.h"
#include "image/image_bytes.h"

using namespace image_detail;

namespace {

// The library's source record followed by our own fields.
struct MemorySource {
  jpeg_source_mgr pub;
  const uint8_t* data;
  size_t size;
  size_t position;  // next byte to hand out
};

// The library's error manager followed by what a failure does.
struct ErrorManager {
  jpeg_error_mgr pub;
  OnDamage damage;
  std::jmp_buf failed;  // under OnDamage::kFail, where a failure goes
};

[[noreturn]] void FailJpeg(j_common_ptr cinfo);

constexpr size_t kChunkSize = 4096;
const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

// The pixel array of the load in progress, released before a fatal box.
uint32_t* loadPixels = nullptr;

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  MemorySource* src = reinterpret_cast<MemorySource*>(cinfo->src);
  const size_t left = src->size - src->position;
  if (left == 0) {
    // A whole file ends with its own end-of-image marker, so the data ran out early: damage
    // to the texture decoder.
    if (reinterpret_cast<ErrorManager*>(cinfo->err)->damage == OnDamage::kFail) {
      FailJpeg(reinterpret_cast<j_common_ptr>(cinfo));
    }
    // Past the end: a fake end-of-image marker lets the library finish what it has.
    src->pub.next_input_byte = kEndOfImage;
    src->pub.bytes_in_buffer = sizeof kEndOfImage;
    return TRUE;
  }
  const size_t chunk = left > kChunkSize ? kChunkSize : left;
  src->pub.next_input_byte = src->data + src->position;
  src->pub.bytes_in_buffer = chunk;
  src->position += chunk;
  return TRUE;
}

// A skip past the end of the data stops at the end.
void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  MemorySource* src = reinterpret_cast<MemorySource*>(cinfo->src);
  size_t n = static_cast<size_t>(count);
  if (n <= src->pub.bytes_in_buffer) {
    src->pub.next_input_byte += n;
    src->pub.bytes_in_buffer -= n;
    return;
  }
  n -= src->pub.bytes_in_buffer;
  src->pub.bytes_in_buffer = 0;
  const size_t left = src->size - src->position;
  src->position += n < left ? n : left;
}

void AttachMemorySource(j_decompress_ptr cinfo, const uint8_t* data, size_t size) {
  if (!cinfo->src) {
    cinfo->src = static_cast<jpeg_source_mgr*>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(MemorySource)));
  }
  MemorySource* src = reinterpret_cast<MemorySource*>(cinfo->src);
  src->pub.init_source = InitSource;
  src->pub.fill_input_buffer = FillInputBuffer;
  src->pub.skip_input_data = SkipInputData;
  src->pub.resync_to_restart = jpeg_resync_to_restart;
  src->pub.term_source = TermSource;
  src->pub.next_input_byte = nullptr;
  src->pub.bytes_in_buffer = 0;
  src->data = data;
  src->size = size;
  src->position = 0;
}

[[noreturn]] void FailJpeg(j_common_ptr cinfo) {
  ErrorManager* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
  if (errors->damage == OnDamage::kFail) std::longjmp(errors->failed, 1);
  jpeg_destroy(cinfo);
  delete[] loadPixels;
  loadPixels = nullptr;
  FatalError("Error in jpeg reader", "Fatal error");
}

void OnJpegError(j_common_ptr cinfo) { FailJpeg(cinfo); }

// Warnings (level -1) tell of damaged data the library decodes around, such as a file ending
// early; the engine's loader lets them pass silently, the texture decoder refuses the file.
void OnJpegMessage(j_common_ptr cinfo, int level) {
  if (level < 0 && reinterpret_cast<ErrorManager*>(cinfo->err)->damage == OnDamage::kFail) {
    FailJpeg(cinfo);
  }
}

// The smallest progressive scans spend about a bit per 8x8 block; a quarter of that is
// still far more than any real file holds.
constexpr uint64_t kMaxPixelsPerByte = 512;

// Four output components: CMYK, or YCCK turned into CMYK by the library. Adobe files store
// the inks inverted (255 = no ink).
void ConvertCmykRow(const JSAMPLE* s, uint32_t* row, uint32_t width, bool inverted) {
  for (uint32_t x = 0; x < width; ++x, s += 4) {
    uint32_t c = s[0], m = s[1], y = s[2], k = s[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    const uint32_t r = c * k / 255, g = m * k / 255, b = y * k / 255;
    row[x] = r << 16 | g << 8 | b;
  }
}

// The decode proper; cinfo is set up with its error manager and released by the caller.
bool DecodeBody(jpeg_decompress_struct& cinfo, const uint8_t* data, size_t size, uint32_t* width,
                uint32_t* height, uint32_t** pixels) {
  jpeg_CreateDecompress(&cinfo, JPEG_LIB_VERSION, sizeof cinfo);
  AttachMemorySource(&cinfo, data, size);
  jpeg_read_header(&cinfo, TRUE);
  if (!PictureSizeIsPlausible(cinfo.image_width, cinfo.image_height, size * kMaxPixelsPerByte)) {
    FailJpeg(reinterpret_cast<j_common_ptr>(&cinfo));
  }
  jpeg_start_decompress(&cinfo);

  const uint32_t w = cinfo.output_width;
  const uint32_t h = cinfo.output_height;
  loadPixels = AllocatePixels(static_cast<uint64_t>(w) * h);
  if (!loadPixels) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }

  const int components = cinfo.output_components;
  JSAMPARRAY line = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                               w * static_cast<JDIMENSION>(components), 1);
  while (cinfo.output_scanline < h) {
    if (jpeg_read_scanlines(&cinfo, line, 1) != 1) break;
    uint32_t* row = loadPixels + static_cast<size_t>(cinfo.output_scanline - 1) * w;
    const JSAMPLE* s = line[0];
    if (components == 3) {
      for (uint32_t x = 0; x < w; ++x) row[x] = static_cast<uint32_t>(s[3 * x] << 16 | s[3 * x + 1] << 8 | s[3 * x + 2]);
    } else if (components == 1) {
      for (uint32_t x = 0; x < w; ++x) row[x] = s[x] * 0x010101u;
    } else if (components == 4) {
      ConvertCmykRow(s, row, w, cinfo.saw_Adobe_marker);
    }
    // Any other count leaves the row black.
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  SetOpaqueAlpha(loadPixels, w, h);
  *width = w;
  *height = h;
  *pixels = loadPixels;
  loadPixels = nullptr;
  return true;
}

}  // namespace

bool DecodeJpeg(const uint8_t* data, size_t size, OnDamage damage, uint32_t* width,
                uint32_t* height, uint32_t** pixels) {
  *width = 0;
  *height = 0;
  *pixels = nullptr;

  jpeg_decompress_struct cinfo{};
  ErrorManager errors;
  cinfo.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = OnJpegError;
  errors.damage = damage;
  if (damage == OnDamage::kFail) errors.pub.emit_message = OnJpegMessage;
  if (setjmp(errors.failed) != 0) {
    jpeg_destroy_decompress(&cinfo);
    delete[] loadPixels;
    loadPixels = nullptr;
    *width = 0;
    *height = 0;
    return false;
  }
  return DecodeBody(cinfo, data, size, width, height, pixels);
}

bool DecodeJpegImage(const uint8_t* data, size_t size, uint32_t* width, uint32_t* height,
                     uint32_t** pixels) {
  return DecodeJpeg(data, size, OnDamage::kFatal, width, height, pixels);
}
