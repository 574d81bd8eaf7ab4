// zelk4-inspect image: decodes a picture file from disk through the engine's image dispatcher
// (PNG, TGA, PCX, PKM, then JPEG) and reports its size and a sha256 of its pixels.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <openssl/evp.h>

#include "command.h"
#include "image/image.h"
#include "kit/image_writers.h"
#include "platform/win/win.h"

namespace {

// The pixel words as little-endian bytes (blue, green, red, alpha), top row first.
std::vector<uint8_t> PixelBytes(const uint32_t* pixels, size_t count) {
  std::vector<uint8_t> bytes(count * 4);
  for (size_t i = 0; i < count; ++i) {
    for (int k = 0; k < 4; ++k) bytes[4 * i + k] = static_cast<uint8_t>(pixels[i] >> (8 * k));
  }
  return bytes;
}

std::string Sha256Hex(const std::vector<uint8_t>& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
  std::string hex;
  char two[3];
  for (unsigned int i = 0; i < length; ++i) {
    std::snprintf(two, sizeof two, "%02x", digest[i]);
    hex += two;
  }
  return hex;
}

bool WriteRgba(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int zelk4::inspect::RunImage(int argc, char** argv) {
  CLI::App app{"Decode an image file from disk as the engine does (PNG, TGA, PCX, PKM, then JPEG).\n"
               "Prints \"WIDTH HEIGHT\" and the sha256 of the pixel words (little-endian 0xAARRGGBB,\n"
               "top row first). A file no loader takes ends as the engine ends: a fatal error.",
               "zelk4-inspect image"};
  std::string input, rgbaPath, pngPath;
  bool force = false;
  app.add_option("FILE", input, "picture file to decode")->required();
  app.add_option("--rgba", rgbaPath, "write the pixel words to this file");
  app.add_option("--png", pngPath, "write a viewable PNG to this file");
  app.add_flag("-f,--force", force, "replace output files that exist");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  for (const std::string* out : {&rgbaPath, &pngPath}) {
    if (!out->empty() && !force && std::filesystem::exists(*out)) {
      std::fprintf(stderr, "zelk4-inspect image: %s exists (use --force to replace it)\n", out->c_str());
      return 1;
    }
  }

  std::ifstream in(input, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "zelk4-inspect image: cannot read %s\n", input.c_str());
    return 1;
  }
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  zelk4::win::SetMessageBoxesEnabled(false);  // a fatal decode error goes to stderr, exit status 1
  uint32_t width = 0, height = 0;
  uint32_t* raw = nullptr;
  if (!DecodeImageFile(file.data(), file.size(), &width, &height, &raw)) {
    std::fprintf(stderr, "zelk4-inspect image: %s: out of memory for the pixels\n", input.c_str());
    return 1;
  }
  std::unique_ptr<uint32_t[]> pixels(raw);
  const std::vector<uint8_t> bytes = PixelBytes(pixels.get(), static_cast<size_t>(width) * height);

  std::printf("%u %u\n%s\n", width, height, Sha256Hex(bytes).c_str());
  if (!rgbaPath.empty() && !WriteRgba(rgbaPath, bytes)) {
    std::fprintf(stderr, "zelk4-inspect image: cannot write %s\n", rgbaPath.c_str());
    return 1;
  }
  std::string error;
  if (!pngPath.empty() &&
      !zelk4::kit::WritePngFile(pngPath, width, height, pixels.get(), /*withAlpha=*/true, &error)) {
    std::fprintf(stderr, "zelk4-inspect image: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
