// Textures loaded from image files in the data archive, through the device's cache.
#include <cstdlib>
#include <cstring>

#include "archive/archive.h"
#include "platform/d3dx/d3dx8.h"
#include "render/render_device.h"
#include "texture/texture.h"
#include "texture/texture_internal.h"

namespace {

constexpr const char* kArchivePath = "data.rar";

// n levels; `mipmapped` says whether the caller asked for a level count at all.
void LoadFromArchive(Texture* texture, RenderDevice* rd, const char* fileName, uint8_t levels,
                     uint8_t mipmapped) {
  if (std::strlen(fileName) >= TextureCache::kNameSize) FatalTextureLoad(fileName);
  TextureCache* cache = rd->textureCache;
  if (cache != nullptr && cache->Find(fileName, levels, texture)) return;

  uint8_t* bytes = nullptr;
  uint32_t size = 0;
  const int found = ArchiveGetFile(&bytes, &size, fileName, kArchivePath, "");

  // A file missing from the archive gives the call no data, so it fails like a bad file.
  HRESULT result = D3DERR_INVALIDCALL;
  texture->d3dTexture = nullptr;
  if (found && bytes != nullptr) {
    result = D3DXCreateTextureFromFileInMemoryEx(
        rd->device, bytes, size, D3DX_DEFAULT, D3DX_DEFAULT, levels, 0, D3DFMT_A8R8G8B8,
        D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &texture->d3dTexture);
  }
  std::free(bytes);  // the texture holds its own copy of the pixels
  if (FAILED(result) || texture->d3dTexture == nullptr) FatalTextureLoad(fileName);

  texture->filtered = 1;
  texture->mipLevels = levels;
  texture->mipmapped = mipmapped;
  if (cache != nullptr) cache->Add(fileName, texture);
}

}  // namespace

void Texture::Load(RenderDevice* device, const char* fileName) {
  LoadFromArchive(this, device, fileName, 1, 0);
}

void Texture::Load(RenderDevice* device, const char* fileName, uint8_t levels) {
  LoadFromArchive(this, device, fileName, levels, 1);
}
