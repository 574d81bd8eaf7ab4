// The texture cache: a linear scan over at most 1024 names, entries only ever added.
#include <cstdio>
#include <cstring>

#include "base/fatal_error.h"
#include "texture/texture.h"
#include "texture/texture_internal.h"

bool TextureCache::Find(const char* name, uint8_t mipLevels, Texture* texture) const {
  const size_t length = std::strlen(name);
  if (length == 0 || length >= kNameSize) return false;
  for (uint32_t i = 0; i < count && i < kSlots; ++i) {
    const Texture* cached = slots[i];
    if (cached == nullptr || cached->mipLevels != mipLevels) continue;
    if (std::strlen(names[i]) != length || std::memcmp(names[i], name, length) != 0) continue;
    // The copy shares the Direct3D texture without taking a reference of its own.
    texture->d3dTexture = cached->d3dTexture;
    texture->width = cached->width;
    texture->height = cached->height;
    texture->mipmapped = cached->mipmapped;
    texture->filtered = cached->filtered;
    texture->mipLevels = cached->mipLevels;
    return true;
  }
  return false;
}

uint32_t TextureCache::Add(const char* name, Texture* texture) {
  if (count >= kSlots) FatalError("No more slots in texture cache", "Fatal error");
  // A name that does not fit its slot is refused, never cut: a cut name could later match a
  // different file.
  if (std::strlen(name) >= kNameSize) FatalTextureLoad(name);
  slots[count] = texture;
  std::memcpy(names[count], name, std::strlen(name) + 1);
  return ++count;
}

bool TextureCache::Adopt(Texture* texture) {
  bool held = false;
  for (uint32_t i = 0; i < count && i < kSlots; ++i) {
    if (slots[i] == texture) adopted[i] = held = true;
  }
  return held;
}

void FatalTextureLoad(const char* fileName) {
  char text[TextureCache::kNameSize + 32];
  std::snprintf(text, sizeof text, "Unable to load : %s", fileName);
  FatalError(text, "Texture error");
}
