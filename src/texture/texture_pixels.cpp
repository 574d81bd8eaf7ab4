// Textures built from 0xAARRGGBB pixel arrays, and render-target textures.
//
// Every level is filled row by row at the pitch its lock reports, and never beyond the level's
// own size, so a wider pitch or a size that does not halve evenly cannot push a write past the
// level.
#include <algorithm>
#include <cstring>

#include "base/fatal_error.h"
#include "render/render_device.h"
#include "texture/texture.h"
#include "texture/texture_internal.h"

namespace {

// Direct3D's level size: halved per level, never below 1.
uint32_t LevelExtent(uint32_t extent, uint32_t level) { return std::max(extent >> level, 1u); }

// m >> bits for any bit count (a shift by the full width or more gives 0).
uint64_t ShiftRight(uint64_t value, uint32_t bits) { return bits >= 64 ? 0 : value >> bits; }

IDirect3DTexture8* CreateManagedTexture(RenderDevice* rd, uint32_t width, uint32_t height,
                                        uint32_t levels) {
  IDirect3DTexture8* created = nullptr;
  if (width != 0 && height != 0) {
    rd->device->CreateTexture(width, height, levels, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                              &created);
  }
  if (created == nullptr) FatalError("Error creating texture", "Texture error");
  return created;
}

// Writes level `level` of the texture: each level pixel takes the top-left source pixel of its
// step x step block (point sampling, no filtering).
void FillLevel(IDirect3DTexture8* texture, uint32_t level, uint32_t width, uint32_t height,
               const uint32_t* pixels) {
  D3DLOCKED_RECT locked;
  std::memset(&locked, 0, sizeof locked);
  if (FAILED(texture->LockRect(level, &locked, nullptr, D3DLOCK_NOSYSLOCK)) ||
      locked.pBits == nullptr) {
    FatalError("Unable to lock texture", "Texture error");
  }
  const uint32_t step = 1u << level;
  const uint32_t levelWidth = LevelExtent(width, level);
  const uint32_t levelHeight = LevelExtent(height, level);
  auto* bits = static_cast<uint8_t*>(locked.pBits);
  for (uint32_t y = 0; y < levelHeight; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(bits + static_cast<size_t>(y) * locked.Pitch);
    const uint32_t* source = pixels + static_cast<size_t>(y) * step * width;
    if (step == 1) {
      std::memcpy(row, source, static_cast<size_t>(levelWidth) * 4);
    } else {
      for (uint32_t x = 0; x < levelWidth; ++x) row[x] = source[static_cast<size_t>(x) * step];
    }
  }
  if (FAILED(texture->UnlockRect(level))) {
    FatalError("Unable to unlock texture", "D3D texture error");
  }
}

}  // namespace

// Lowers the asked level count until the smallest level keeps at least 8 pixels on the larger
// side (while m >> L < 4, L goes down by one). 0 asks for as many levels as that allows; the
// result is never below one level, so images under 8 pixels get exactly one.
uint32_t ReducedMipLevels(uint32_t width, uint32_t height, uint8_t wanted) {
  const uint32_t larger = std::max(width, height);
  uint32_t levels = wanted == 0 ? 32 : wanted;
  while (levels > 1 && ShiftRight(larger, levels) < 4) --levels;
  return levels;
}

void Texture::CreateFromPixels(RenderDevice* device, uint32_t newWidth, uint32_t newHeight,
                               const uint32_t* pixels) {
  d3dTexture = CreateManagedTexture(device, newWidth, newHeight, 1);
  FillLevel(d3dTexture, 0, newWidth, newHeight, pixels);
  width = newWidth;
  height = newHeight;
}

void Texture::CreateMipmappedFromPixels(RenderDevice* device, uint32_t newWidth,
                                        uint32_t newHeight, const uint32_t* pixels,
                                        uint8_t wantedLevels) {
  const uint32_t levels = ReducedMipLevels(newWidth, newHeight, wantedLevels);
  d3dTexture = CreateManagedTexture(device, newWidth, newHeight, levels);
  for (uint32_t level = 0; level < levels; ++level) {
    FillLevel(d3dTexture, level, newWidth, newHeight, pixels);
  }
  width = newWidth;
  height = newHeight;
}

void Texture::CreateRenderTarget(RenderDevice* device, uint32_t targetWidth,
                                 uint32_t targetHeight) {
  const HRESULT result =
      device->device->CreateTexture(targetWidth, targetHeight, 1, D3DUSAGE_RENDERTARGET,
                                    D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &d3dTexture);
  if (FAILED(result)) {
    FatalError("Unable to create renderable texture", "D3D error (get a new 3d card)");
  }
}
