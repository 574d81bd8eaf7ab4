// Arbitrary bytes as a 3DS scene whose material textures are loaded through the device's texture
// cache, then uploaded, animated as the demo does and drawn once on a small offscreen device.
// The data archive is served from memory (ArchiveGetFile is wrapped at link time): every texture
// map name gets one of a small fixed set of files, chosen by the name, in all the formats the
// texture decoder reads, a damaged one among them; some names find no file at all. Names repeat
// across and within materials, so cache hits, second map names and records the cache keeps all
// occur. Fatal errors (not a 3DS file, limits, a texture that cannot be loaded) are expected
// outcomes: the hook turns them into an exception, and the scene and the device are taken down
// after every input, so the memory checker sees every record the cache and the scene hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/fatal_error.h"
#include "kit/image_writers.h"
#include "platform/d3d8/d3d8.h"
#include "platform/win/win.h"
#include "render/render_device.h"
#include "scene/scene.h"
#include "texture/texture.h"

namespace {

struct FatalExit {};
[[noreturn]] void ThrowFatal(const char*, const char*) { throw FatalExit{}; }

using Bytes = std::vector<uint8_t>;

// A 4x4 DXT1 surface: one block, red over blue.
Bytes SmallDds() {
  Bytes b(128 + 8, 0);
  const uint32_t header[] = {0x20534444, 124, 0x1007, 4, 4};
  std::memcpy(b.data(), header, sizeof header);
  const uint32_t format[] = {32, 0x4, 0x31545844};  // size, four-character code, "DXT1"
  std::memcpy(b.data() + 76, format, sizeof format);
  const uint8_t block[] = {0x00, 0xF8, 0x1F, 0x00, 0x00, 0x00, 0x55, 0x55};
  std::memcpy(b.data() + 128, block, sizeof block);
  return b;
}

const std::vector<Bytes>& TextureFiles() {
  static const std::vector<Bytes> files = [] {
    zelk4::kit::Picture picture(8, 8);
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
      picture.pixels[i] = (i % 3 == 0 ? 0x40000000u : 0xFF000000u) | static_cast<uint32_t>(i * 0x2F1D3Bu & 0xFFFFFF);
    }
    zelk4::kit::IndexedPicture indexed(8, 8);
    for (size_t i = 0; i < indexed.indices.size(); ++i) indexed.indices[i] = static_cast<uint8_t>(i % 5);
    Bytes cut = zelk4::kit::WritePng(picture, true);
    cut.resize(cut.size() / 2);
    return std::vector<Bytes>{zelk4::kit::WritePng(picture, true), zelk4::kit::WriteJpeg(picture, 80),
                              zelk4::kit::WriteTga(picture, 32),  zelk4::kit::WritePcx(indexed),
                              zelk4::kit::WritePkm(indexed, 0xFE, 0xFF, 2), SmallDds(), cut};
  }();
  return files;
}

}  // namespace

// The in-memory archive: the file for a name is chosen by the sum of its bytes; one name in
// eight is missing.
extern "C" int __wrap__Z14ArchiveGetFilePPhPjPKcS3_S3_(uint8_t** data, uint32_t* size, const char* name,
                                                        const char*, const char*) {
  *data = nullptr;
  *size = 0;
  uint32_t sum = 0;
  for (const char* c = name; *c != '\0'; ++c) sum += static_cast<uint8_t>(*c);
  const std::vector<Bytes>& files = TextureFiles();
  if (sum % 8 == 7) return 0;
  const Bytes& file = files[sum % files.size()];
  *data = static_cast<uint8_t*>(std::malloc(file.size()));
  if (*data == nullptr) return 0;
  std::memcpy(*data, file.data(), file.size());
  *size = static_cast<uint32_t>(file.size());
  return 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    zelk4::win::SetMessageBoxesEnabled(false);
    SetFatalErrorHook(ThrowFatal);
    zelk4::d3d8::PresentToNothing();
    return true;
  }();
  (void)ready;

  RenderDevice device{};
  device.Init(nullptr, 64, 48, 0);
  try {
    D3DDemoEngineScene scene;
    scene.SetTextureMipLevels(size > 0 && data[0] % 4 == 0 ? 3 : 1);
    scene.Load3dsFromMemory(&device, data, size);
    scene.UploadMeshes(&device);
    if (scene.keyframer != nullptr && scene.keyframer->cameraCount > 0) {
      scene.animateCameras(3.5f);
      scene.animateMeshes(7.25f, 50);
      D3DXMATRIX view;
      scene.setCameraByIndex(&view, 0);
    }
    device.ClearColor(0, 0, 0, 0);
    device.ClearDepth();
    device.DisableLighting();
    device.EnableDepth();
    scene.drawScene(&device, 0);
    device.Present();
  } catch (const FatalExit&) {
  }
  // The engine never gives textures back; here each Direct3D texture is released through the
  // cache slot of the record that first loaded it (copies share it), then the device goes.
  for (uint32_t i = 0; i < device.textureCache->count; ++i) {
    Texture* record = device.textureCache->slots[i];
    if (record->d3dTexture != nullptr) record->d3dTexture->Release();
    record->d3dTexture = nullptr;
  }
  device.Release();
  return 0;
}
