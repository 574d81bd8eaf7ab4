// 256x256 cube textures with one level, their faces filled from image files.
//
// The faces are filled with 32-bit words, so the cube is always made in a 32-bit format: the
// desktop's own when it is one, X8R8G8B8 otherwise.
#include <cstring>

#include "base/fatal_error.h"
#include "image/image.h"
#include "render/render_device.h"
#include "texture/texture.h"

namespace {

constexpr uint32_t kCubeEdge = 256;
constexpr uint32_t kCubeFaces = 6;

void FillFace(IDirect3DCubeTexture8* cube, uint32_t face, const uint32_t* pixels) {
  IDirect3DSurface8* surface = nullptr;
  if (cube == nullptr || face >= kCubeFaces ||
      FAILED(cube->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(face), 0, &surface)) ||
      surface == nullptr) {
    FatalError("Unable to lock cube texture", "Texture error");
  }
  D3DLOCKED_RECT locked;
  std::memset(&locked, 0, sizeof locked);
  if (FAILED(surface->LockRect(&locked, nullptr, D3DLOCK_NOSYSLOCK)) || locked.pBits == nullptr) {
    FatalError("Unable to lock cube texture", "Texture error");
  }
  auto* bits = static_cast<uint8_t*>(locked.pBits);
  for (uint32_t y = 0; y < kCubeEdge; ++y) {
    std::memcpy(bits + static_cast<size_t>(y) * locked.Pitch, pixels + y * kCubeEdge,
                kCubeEdge * 4);
  }
  if (FAILED(surface->UnlockRect())) FatalError("Unable to unlock texture", "D3D texture error");
  surface->Release();  // GetCubeMapSurface handed out a reference
}

// Decodes the image and checks it can fill a face; the caller deletes the pixels.
uint32_t* LoadFaceImage(const char* fileName) {
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t* pixels = nullptr;
  if (!LoadImageFile(fileName, &width, &height, &pixels)) {
    FatalError("Unable to load image", "Texture error");
  }
  const char* problem = nullptr;
  if (width != kCubeEdge) {
    problem = "Cube textures must be 256*256";
  } else if (width != height) {
    problem = "Cube textures must be square";
  }
  if (problem != nullptr) {
    delete[] pixels;
    FatalError(problem, "Texture error");
  }
  return pixels;
}

}  // namespace

void CubeTexture::Create(RenderDevice* device) {
  D3DDISPLAYMODE mode;
  std::memset(&mode, 0, sizeof mode);
  if (FAILED(device->direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode))) {
    FatalError("Error getting display mode", "D3D error");
  }
  const D3DFORMAT format =
      (mode.Format == D3DFMT_A8R8G8B8 || mode.Format == D3DFMT_X8R8G8B8) ? mode.Format
                                                                         : D3DFMT_X8R8G8B8;
  d3dCubeTexture = nullptr;
  device->device->CreateCubeTexture(kCubeEdge, 1, 0, format, D3DPOOL_MANAGED, &d3dCubeTexture);
  if (d3dCubeTexture == nullptr) FatalError("Error creating cube texture", "Texture error");
}

void CubeTexture::LoadFaces(RenderDevice*, const char* fileName) {
  uint32_t* pixels = LoadFaceImage(fileName);
  for (uint32_t face = 0; face < kCubeFaces; ++face) FillFace(d3dCubeTexture, face, pixels);
  delete[] pixels;
}

void CubeTexture::LoadFace(RenderDevice*, const char* fileName, uint32_t face) {
  uint32_t* pixels = LoadFaceImage(fileName);
  FillFace(d3dCubeTexture, face, pixels);
  delete[] pixels;
}
