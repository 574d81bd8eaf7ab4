// Arbitrary bytes as a 3DS file, through the scene load and the one-mesh load. Fatal errors
// (not a 3DS file, table limits) are expected outcomes: the hook turns them into an exception so
// the run goes on and the scene's destructor frees what was built.
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "base/fatal_error.h"
#include "platform/win/win.h"
#include "scene/scene.h"

namespace {
struct FatalExit {};

[[noreturn]] void ThrowFatal(const char*, const char*) { throw FatalExit{}; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    zelk4::win::SetMessageBoxesEnabled(false);
    SetFatalErrorHook(ThrowFatal);
    return true;
  }();
  (void)ready;
  try {
    D3DDemoEngineScene scene;
    scene.SetLoadTextures(0);
    scene.Load3dsFromMemory(nullptr, data, size);
    if (scene.keyframer != nullptr && scene.keyframer->cameraCount > 0) {
      float x, y, z, roll, fov;
      scene.keyframer->EvaluateCamera(12.5f, scene.sceneScale, scene.keyframer->endFrame, 0, &x, &y, &z, &roll, &fov);
    }
  } catch (const FatalExit&) {
  }
  try {
    MeshObj mesh;
    mesh.Load3dsFromMemory(data, size);
  } catch (const FatalExit&) {
  }
  return 0;
}
