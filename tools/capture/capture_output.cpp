// What a capture writes besides the video: PNG pictures, the contact sheet, the WAV sound and
// the frame hashes.
#include <openssl/evp.h>

#include <algorithm>
#include <cstring>

#include "capture.h"
#include "kit/image_writers.h"

namespace zelk4::capture {

bool WritePng(const std::string& path, uint32_t width, uint32_t height,
              const std::vector<uint32_t>& pixels, std::string* error) {
  if (pixels.size() != static_cast<size_t>(width) * height) {
    *error = "no picture to write to '" + path + "'";
    return false;
  }
  // Frames are written often; the quickest level keeps the capture's cost in the drawing.
  return zelk4::kit::WritePngFile(path, width, height, pixels.data(), /*withAlpha=*/false, error,
                                  /*compressionLevel=*/1);
}

ContactSheet::ContactSheet(uint64_t total, uint32_t width, uint32_t height)
    : frameWidth_(width),
      frameHeight_(height),
      sheet_(static_cast<size_t>(width / 4 * 4) * (height / 4 * 4), 0xFF000000u) {
  for (uint64_t i = 0; i < 16; ++i) slotFrame_[i] = total > 1 ? i * (total - 1) / 15 : 0;
}

bool ContactSheet::Wants(uint64_t index) const {
  return std::find(std::begin(slotFrame_), std::end(slotFrame_), index) != std::end(slotFrame_);
}

void ContactSheet::Add(uint64_t index, const std::vector<uint32_t>& pixels) {
  if (pixels.size() != static_cast<size_t>(frameWidth_) * frameHeight_) return;
  const uint32_t cellW = frameWidth_ / 4;
  const uint32_t cellH = frameHeight_ / 4;
  const uint32_t sheetW = 4 * cellW;
  for (int slot = 0; slot < 16; ++slot) {
    if (slotFrame_[slot] != index) continue;
    const uint32_t left = (slot % 4) * cellW;
    const uint32_t top = (slot / 4) * cellH;
    // Each cell pixel is the mean of a 4x4 block of the frame.
    for (uint32_t y = 0; y < cellH; ++y) {
      for (uint32_t x = 0; x < cellW; ++x) {
        uint32_t r = 0, g = 0, b = 0;
        for (uint32_t dy = 0; dy < 4; ++dy) {
          for (uint32_t dx = 0; dx < 4; ++dx) {
            const uint32_t p = pixels[static_cast<size_t>(4 * y + dy) * frameWidth_ + 4 * x + dx];
            r += (p >> 16) & 0xFF;
            g += (p >> 8) & 0xFF;
            b += p & 0xFF;
          }
        }
        sheet_[static_cast<size_t>(top + y) * sheetW + left + x] =
            0xFF000000u | (r / 16) << 16 | (g / 16) << 8 | (b / 16);
      }
    }
  }
}

bool ContactSheet::Write(const std::string& path, std::string* error) const {
  return WritePng(path, frameWidth_ / 4 * 4, frameHeight_ / 4 * 4, sheet_, error);
}

namespace {
void Put(std::FILE* file, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) std::fputc(static_cast<int>((value >> (8 * i)) & 0xFF), file);
}
void PutHeader(std::FILE* file, uint64_t frames) {
  const auto dataBytes = static_cast<uint32_t>(std::min<uint64_t>(frames * 4, 0xFFFFFFFFu - 36));
  std::fwrite("RIFF", 1, 4, file);
  Put(file, 36 + dataBytes, 4);
  std::fwrite("WAVEfmt ", 1, 8, file);
  Put(file, 16, 4);
  Put(file, 1, 2);  // PCM
  Put(file, 2, 2);  // stereo
  Put(file, kSampleRate, 4);
  Put(file, kSampleRate * 4, 4);
  Put(file, 4, 2);
  Put(file, 16, 2);
  std::fwrite("data", 1, 4, file);
  Put(file, dataBytes, 4);
}
}  // namespace

bool WavWriter::Open(const std::string& path, std::string* error) {
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) {
    *error = "cannot write '" + path + "': " + std::strerror(errno);
    return false;
  }
  PutHeader(file_, 0);
  return true;
}

void WavWriter::Append(const std::vector<int16_t>& samples) {
  if (!file_) return;
  for (int16_t s : samples) Put(file_, static_cast<uint16_t>(s), 2);
  frames_ += samples.size() / 2;
}

bool WavWriter::Finish(std::string* error) {
  if (!file_) return true;
  std::fseek(file_, 0, SEEK_SET);
  PutHeader(file_, frames_);
  const bool ok = !std::ferror(file_);
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!ok || !closed) *error = "writing the WAV sound failed";
  return ok && closed;
}

std::string PixelHash(const std::vector<uint32_t>& pixels) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(pixels.data(), pixels.size() * sizeof(uint32_t), digest, &length, EVP_sha256(),
             nullptr);
  static const char kHex[] = "0123456789abcdef";
  std::string text;
  for (unsigned int i = 0; i < length; ++i) {
    text += kHex[digest[i] >> 4];
    text += kHex[digest[i] & 15];
  }
  return text;
}

}  // namespace zelk4::capture
