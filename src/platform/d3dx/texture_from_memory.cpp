// D3DXCreateTextureFromFileInMemory[Ex]: an image file held in memory becomes a texture.
//
// Decoding reads each format as the format defines it, as D3DX does, through the image readers
// with the texture rules (image.h): PNG with its transparency (grey+alpha, tRNS) as alpha, JPEG,
// BMP, DDS (DXT1-DXT5 decompressed) and TGA in its true colours (origin honoured, identification
// field skipped, alpha kept, colour-mapped and run-length images). The format is told by the
// file's first bytes; TGA, which has no signature, is tried last. PCX and PKM, which D3DX does
// not read, go through the engine's own loaders so that the engine's files keep working there.
// A damaged or truncated file fails the call with D3DXERR_INVALIDDATA; no decoder message
// comes out of it.
//
// Levels: level 0 is the image (resampled by point sampling if the caller asks for another
// size); each lower level is the 2x2 box average of the level above, each channel rounded to
// nearest ((sum + 2) / 4); along an axis of size 1 the average is of two texels, and an odd
// size drops its last row or column, as halving does.
#include <cstring>
#include <vector>

#include "image/image.h"
#include "platform/d3dx/d3dx8.h"

namespace {

struct Image {
  uint32_t width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

constexpr TgaRules kTextureTgaRules{.allImageTypes = true,
                                    .skipIdentificationAndMap = true,
                                    .honourOrigin = true,
                                    .exchangeRedBlue24 = false,
                                    .keepAlpha = true,
                                    .requireEveryPixel = true};
constexpr PngRules kTexturePngRules{OnDamage::kFail, true};

bool StartsWith(const uint8_t* data, size_t size, const char* signature, size_t length) {
  return size >= length && std::memcmp(data, signature, length) == 0;
}

bool DecodeAny(const uint8_t* data, size_t size, uint32_t* w, uint32_t* h, uint32_t** pixels,
               D3DXIMAGE_FILEFORMAT* format) {
  if (StartsWith(data, size, "\x89PNG", 4)) {
    *format = D3DXIFF_PNG;
    return DecodePng(data, size, kTexturePngRules, w, h, pixels);
  }
  if (StartsWith(data, size, "\xFF\xD8", 2)) {
    *format = D3DXIFF_JPG;
    return DecodeJpeg(data, size, OnDamage::kFail, w, h, pixels);
  }
  if (StartsWith(data, size, "BM", 2)) {
    *format = D3DXIFF_BMP;
    return DecodeBmpImage(data, size, w, h, pixels);
  }
  if (StartsWith(data, size, "DDS ", 4)) {
    *format = D3DXIFF_DDS;
    return DecodeDdsImage(data, size, w, h, pixels);
  }
  *format = D3DXIFF_BMP;  // D3DX has no name for these two
  if (DecodePcxImage(data, size, w, h, pixels) || DecodePkmImage(data, size, w, h, pixels)) return true;
  *format = D3DXIFF_TGA;
  return DecodeTga(data, size, kTextureTgaRules, w, h, pixels);
}

bool Decode(const uint8_t* data, size_t size, Image* image, D3DXIMAGE_FILEFORMAT* format) {
  uint32_t w = 0, h = 0;
  uint32_t* pixels = nullptr;
  const bool ok = DecodeAny(data, size, &w, &h, &pixels, format);
  if (!ok || pixels == nullptr || w == 0 || h == 0) {
    if (ok) delete[] pixels;
    return false;
  }
  image->width = w;
  image->height = h;
  image->pixels.assign(pixels, pixels + static_cast<size_t>(w) * h);
  delete[] pixels;
  return true;
}

Image Resample(const Image& in, uint32_t width, uint32_t height) {
  Image out;
  out.width = width;
  out.height = height;
  out.pixels.resize(static_cast<size_t>(width) * height);
  for (uint32_t y = 0; y < height; ++y) {
    uint32_t sy = static_cast<uint32_t>(static_cast<uint64_t>(y) * in.height / height);
    for (uint32_t x = 0; x < width; ++x) {
      uint32_t sx = static_cast<uint32_t>(static_cast<uint64_t>(x) * in.width / width);
      out.pixels[static_cast<size_t>(y) * width + x] = in.pixels[static_cast<size_t>(sy) * in.width + sx];
    }
  }
  return out;
}

Image HalveBox(const Image& in) {
  Image out;
  out.width = in.width > 1 ? in.width / 2 : 1;
  out.height = in.height > 1 ? in.height / 2 : 1;
  out.pixels.resize(static_cast<size_t>(out.width) * out.height);
  const uint32_t xs = in.width > 1 ? 2 : 1, ys = in.height > 1 ? 2 : 1;
  const uint32_t count = xs * ys;
  for (uint32_t y = 0; y < out.height; ++y) {
    for (uint32_t x = 0; x < out.width; ++x) {
      uint32_t sums[4] = {0, 0, 0, 0};
      for (uint32_t dy = 0; dy < ys; ++dy) {
        for (uint32_t dx = 0; dx < xs; ++dx) {
          uint32_t p = in.pixels[static_cast<size_t>(y * ys + dy) * in.width + x * xs + dx];
          for (int c = 0; c < 4; ++c) sums[c] += (p >> (8 * c)) & 255;
        }
      }
      uint32_t p = 0;
      for (int c = 0; c < 4; ++c) p |= ((sums[c] + count / 2) / count) << (8 * c);
      out.pixels[static_cast<size_t>(y) * out.width + x] = p;
    }
  }
  return out;
}

void Store(const Image& image, IDirect3DSurface8* surface) {
  for (uint32_t y = 0; y < image.height; ++y) {
    uint8_t* row = surface->bits_.data() + static_cast<size_t>(y) * surface->pitch_;
    const uint32_t* src = image.pixels.data() + static_cast<size_t>(y) * image.width;
    if (surface->format_ == D3DFMT_R5G6B5) {
      for (uint32_t x = 0; x < image.width; ++x) {
        uint32_t p = src[x];
        uint32_t r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
        uint16_t v = static_cast<uint16_t>((((r * 31 + 127) / 255) << 11) |
                                           (((g * 63 + 127) / 255) << 5) | ((b * 31 + 127) / 255));
        std::memcpy(row + 2 * x, &v, 2);
      }
    } else {
      std::memcpy(row, src, static_cast<size_t>(image.width) * 4);
    }
  }
}

}  // namespace

HRESULT D3DXCreateTextureFromFileInMemoryEx(IDirect3DDevice8* pDevice, LPCVOID pSrcData,
                                            UINT SrcDataSize, UINT Width, UINT Height,
                                            UINT MipLevels, DWORD Usage, D3DFORMAT Format,
                                            D3DPOOL Pool, DWORD, DWORD, D3DCOLOR ColorKey,
                                            D3DXIMAGE_INFO* pSrcInfo, tagPALETTEENTRY*,
                                            IDirect3DTexture8** ppTexture) {
  if (ppTexture != nullptr) *ppTexture = nullptr;
  if (pDevice == nullptr || ppTexture == nullptr) return D3DERR_INVALIDCALL;
  if (pSrcData == nullptr || SrcDataSize == 0) return D3DXERR_INVALIDDATA;
  if (Format == D3DFMT_UNKNOWN) Format = D3DFMT_A8R8G8B8;
  if (Format != D3DFMT_A8R8G8B8 && Format != D3DFMT_X8R8G8B8 && Format != D3DFMT_R5G6B5) {
    return D3DERR_INVALIDCALL;
  }

  Image image;
  D3DXIMAGE_FILEFORMAT fileFormat = D3DXIFF_BMP;
  if (!Decode(static_cast<const uint8_t*>(pSrcData), SrcDataSize, &image, &fileFormat)) {
    return D3DXERR_INVALIDDATA;
  }
  if (pSrcInfo != nullptr) {
    *pSrcInfo = D3DXIMAGE_INFO{image.width, image.height, 1, 1, D3DFMT_A8R8G8B8,
                               D3DRTYPE_TEXTURE, fileFormat};
  }
  UINT width = (Width == 0 || Width == D3DX_DEFAULT) ? image.width : Width;
  UINT height = (Height == 0 || Height == D3DX_DEFAULT) ? image.height : Height;
  if (width > 4096 || height > 4096) return D3DERR_INVALIDCALL;
  if (width != image.width || height != image.height) image = Resample(image, width, height);
  if (ColorKey != 0) {
    for (uint32_t& p : image.pixels) {
      if (p == ColorKey) p = 0;
    }
  }

  UINT levels = (MipLevels == D3DX_DEFAULT) ? 0 : MipLevels;  // 0: the full chain
  IDirect3DTexture8* texture = nullptr;
  HRESULT hr = pDevice->CreateTexture(width, height, levels, Usage, Format, Pool, &texture);
  if (FAILED(hr)) return hr;
  for (size_t level = 0; level < texture->levels_.size(); ++level) {
    if (level > 0) image = HalveBox(image);
    Store(image, texture->levels_[level]);
  }
  *ppTexture = texture;
  return D3D_OK;
}

HRESULT D3DXCreateTextureFromFileInMemory(IDirect3DDevice8* pDevice, LPCVOID pSrcData,
                                          UINT SrcDataSize, IDirect3DTexture8** ppTexture) {
  return D3DXCreateTextureFromFileInMemoryEx(pDevice, pSrcData, SrcDataSize, D3DX_DEFAULT,
                                             D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN,
                                             D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                             nullptr, nullptr, ppTexture);
}
