// zelk4-inspect image: decodes a picture file from disk through the engine's image dispatcher
// (PNG, TGA, PCX, PKM, then JPEG), or with --texture as a texture load does (the D3DX call, one
// level, the picture's own size), and reports its size and a sha256 of its pixels.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <openssl/evp.h>

#include "command.h"
#include "image/image.h"
#include "kit/image_writers.h"
#include "platform/d3d8/d3d8.h"
#include "platform/d3dx/d3dx8.h"
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

// Level 0 of the texture a texture load makes of the file, as 0xAARRGGBB words; false (with a
// message) when the call fails.
bool DecodeAsTexture(const std::vector<uint8_t>& file, const std::string& name, uint32_t* width,
                     uint32_t* height, std::vector<uint32_t>* pixels) {
  zelk4::d3d8::PresentToNothing();
  IDirect3D8* direct3d = Direct3DCreate8(D3D_SDK_VERSION);
  D3DPRESENT_PARAMETERS pp{};
  pp.BackBufferWidth = 8;
  pp.BackBufferHeight = 8;
  pp.BackBufferFormat = D3DFMT_A8R8G8B8;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  IDirect3DDevice8* device = nullptr;
  IDirect3DTexture8* texture = nullptr;
  HRESULT result = direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                          D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device);
  if (SUCCEEDED(result)) {
    result = D3DXCreateTextureFromFileInMemoryEx(
        device, file.data(), static_cast<UINT>(file.size()), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
        D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &texture);
  }
  if (SUCCEEDED(result)) {
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    D3DLOCKED_RECT locked{};
    texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
    *width = desc.Width;
    *height = desc.Height;
    pixels->resize(static_cast<size_t>(desc.Width) * desc.Height);
    for (UINT y = 0; y < desc.Height; ++y) {
      std::memcpy(pixels->data() + static_cast<size_t>(y) * desc.Width,
                  static_cast<const uint8_t*>(locked.pBits) + static_cast<size_t>(y) * locked.Pitch,
                  static_cast<size_t>(desc.Width) * 4);
    }
    texture->UnlockRect(0);
    texture->Release();
  } else {
    std::fprintf(stderr, "zelk4-inspect image: %s: the texture call fails (0x%08x%s)\n", name.c_str(),
                 static_cast<unsigned>(result), result == D3DXERR_INVALIDDATA ? ", D3DXERR_INVALIDDATA" : "");
  }
  if (device != nullptr) device->Release();
  direct3d->Release();
  return SUCCEEDED(result);
}

}  // namespace

int zelk4::inspect::RunImage(int argc, char** argv) {
  CLI::App app{"Decode an image file from disk as the engine does (PNG, TGA, PCX, PKM, then JPEG).\n"
               "Prints \"WIDTH HEIGHT\" and the sha256 of the pixel words (little-endian 0xAARRGGBB,\n"
               "top row first). A file no loader takes ends as the engine ends: a fatal error.\n"
               "With --texture, decodes it as a texture load does instead (PNG, JPEG, BMP, DDS, TGA\n"
               "as the format defines them; PCX and PKM by the engine's loaders).",
               "zelk4-inspect image"};
  std::string input, rgbaPath, pngPath;
  bool force = false, asTexture = false;
  app.add_flag("--texture", asTexture, "decode through the texture call (D3DX) instead");
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
  std::vector<uint32_t> pixels;
  if (asTexture) {
    if (!DecodeAsTexture(file, input, &width, &height, &pixels)) return 1;
  } else {
    uint32_t* raw = nullptr;
    if (!DecodeImageFile(file.data(), file.size(), &width, &height, &raw)) {
      std::fprintf(stderr, "zelk4-inspect image: %s: out of memory for the pixels\n", input.c_str());
      return 1;
    }
    pixels.assign(raw, raw + static_cast<size_t>(width) * height);
    delete[] raw;
  }
  const std::vector<uint8_t> bytes = PixelBytes(pixels.data(), pixels.size());

  std::printf("%u %u\n%s\n", width, height, Sha256Hex(bytes).c_str());
  if (!rgbaPath.empty() && !WriteRgba(rgbaPath, bytes)) {
    std::fprintf(stderr, "zelk4-inspect image: cannot write %s\n", rgbaPath.c_str());
    return 1;
  }
  std::string error;
  if (!pngPath.empty() &&
      !zelk4::kit::WritePngFile(pngPath, width, height, pixels.data(), /*withAlpha=*/true, &error)) {
    std::fprintf(stderr, "zelk4-inspect image: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
