// The archive fetch in front of the 3DS loader: the file comes out of "data.rar" as one block,
// is walked from memory, and the block is freed when the walk is done.
#include <cstdlib>
#include <memory>

#include "archive/archive.h"
#include "base/fatal_error.h"
#include "scene/scene.h"

namespace {
struct FreeBlock {
  void operator()(uint8_t* block) const { std::free(block); }
};

std::unique_ptr<uint8_t, FreeBlock> Fetch3ds(const char* fileName, uint32_t* size) {
  uint8_t* data = nullptr;
  if (!ArchiveGetFile(&data, size, fileName, "data.rar", "")) {
    std::free(data);
    FatalError("Unable to load 3ds file from data file", "3ds load error");
  }
  return std::unique_ptr<uint8_t, FreeBlock>(data);
}
}  // namespace

void D3DDemoEngineScene::Load3ds(RenderDevice* device, const char* fileName) {
  uint32_t size = 0;
  const auto block = Fetch3ds(fileName, &size);
  Load3dsFromMemory(device, block.get(), size);
}

void MeshObj::Load3ds(const char* fileName) {
  uint32_t size = 0;
  const auto block = Fetch3ds(fileName, &size);
  Load3dsFromMemory(block.get(), size);
}
