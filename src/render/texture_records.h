// The texture records: what the rest of the program holds for an image on the graphics card, and
// the cache of textures loaded from files. The RenderDevice binds these records and owns the
// cache, so they sit here, beside it; their operations (loading, creation from pixels, cache
// lookups) belong to the texture layer above, which defines them (see texture/texture.h).
#pragma once

#include <cstdint>

class IDirect3DTexture8;
class IDirect3DCubeTexture8;
struct RenderDevice;  // render/render_device.h

// One texture as the program holds it. Copies share the Direct3D texture without an extra
// reference: the cached record and every copy of it use the same interface.
struct Texture {
  IDirect3DTexture8* d3dTexture = nullptr;
  uint32_t width = 0;      // set only by the two creations from pixels
  uint32_t height = 0;     // set only by the two creations from pixels
  uint8_t mipmapped = 0;   // 1: loaded with an explicit mip-level count; stages turn on a mip filter
  uint8_t filtered = 0;    // 1: loaded from a file; stages filter linearly instead of by point
  uint8_t mipLevels = 0;   // level count asked for when loaded from a file; part of the cache key

  // Loads a file from the data archive with one mip level, through the device's cache.
  void Load(RenderDevice* device, const char* fileName);
  // Loads a file from the data archive with the given number of mip levels (mipmapped = 1).
  void Load(RenderDevice* device, const char* fileName, uint8_t mipLevels);

  // A one-level texture from width x height 0xAARRGGBB words, top row first, rows packed.
  void CreateFromPixels(RenderDevice* device, uint32_t width, uint32_t height,
                        const uint32_t* pixels);
  // Mip levels from the same kind of array, each level point-sampled from the source (the
  // top-left pixel of each block). The count is lowered until the smallest level is at least
  // 8 pixels on the larger side; 0 asks for as many levels as that rule allows; never fewer
  // than one level.
  void CreateMipmappedFromPixels(RenderDevice* device, uint32_t width, uint32_t height,
                                 const uint32_t* pixels, uint8_t mipLevels);
  // A render-target texture in the default pool; width, height and the flags stay as they are.
  void CreateRenderTarget(RenderDevice* device, uint32_t width, uint32_t height);
};

// A 256x256 cube texture with one level, in a 32-bit format whatever the desktop mode.
struct CubeTexture {
  IDirect3DCubeTexture8* d3dCubeTexture = nullptr;

  void Create(RenderDevice* device);
  // Fills faces 0 to 5 from one 256x256 image file of the archive.
  void LoadFaces(RenderDevice* device, const char* fileName);
  // Fills one face (a D3DCUBEMAP_FACES value, 0 to 5) from a 256x256 image file.
  void LoadFace(RenderDevice* device, const char* fileName, uint32_t face);
};

// The cache of textures loaded from files: 1024 slots, each pointing at the Texture record that
// first loaded a file, with its name beside it. Entries are only ever added. A hit needs the
// same name (byte for byte, case matters, not empty) and the same mip-level count.
//
// A slot points at its record for as long as the cache lives, so that record must live as long.
// A holder that made the record with new and would free it before the device goes hands it to
// the cache instead (Adopt); the cache then frees it when it goes itself.
struct TextureCache {
  static constexpr uint32_t kSlots = 1024;
  static constexpr uint32_t kNameSize = 256;  // names hold at most 255 characters

  Texture* slots[kSlots] = {};
  char names[kSlots][kNameSize] = {};
  uint32_t count = 0;
  bool adopted[kSlots] = {};  // the slot's record is the cache's to free

  TextureCache() = default;
  // Frees each adopted record once (a record loaded under two names fills two slots). Here in
  // the header: the device, which owns the cache, needs nothing else of this library.
  ~TextureCache() {
    for (uint32_t i = 0; i < count && i < kSlots; ++i) {
      Texture* record = adopted[i] ? slots[i] : nullptr;
      if (record == nullptr) continue;
      for (uint32_t j = i; j < count && j < kSlots; ++j) {
        if (slots[j] == record) slots[j] = nullptr;
      }
      delete record;
    }
  }
  TextureCache(const TextureCache&) = delete;
  TextureCache& operator=(const TextureCache&) = delete;

  // On a hit copies the cached record's fields into *texture and returns true.
  bool Find(const char* name, uint8_t mipLevels, Texture* texture) const;
  // Remembers the record under the name and returns the new count. The 1025th entry is fatal
  // ("No more slots in texture cache"); so is a name too long for a slot.
  uint32_t Add(const char* name, Texture* texture);
  // Takes over a record made with new when a slot points at it and returns true; the caller
  // must then not free it. False when no slot does: the record stays the caller's.
  bool Adopt(Texture* texture);
};
