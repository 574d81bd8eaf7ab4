// The part's frame: the accumulators, the scene through the music's camera, the (undrawn)
// particle field's states, then the overlay, the flash and the veil.
#include <cmath>

#include "base/runtime_rand.h"
#include "demo/demo.h"
#include "music/music.h"
#include "scene/scene.h"

namespace {
constexpr float kMeshFramesPerMs = 0.125f;      // 50 frames in 400 ms
constexpr float kMeshFrameLimit = 50.0f;
constexpr uint32_t kMeshLoopLimit = 50;
constexpr float kSceneTimePerMs = 0.16666667f;
constexpr float kCameraTimeFactor = 0.1f;       // camera frames advance every 60 ms
constexpr float kJitterIntervalMs = 10.0f;
constexpr float kOverlayScalePerMs = 0.014285714f;  // 1/70
constexpr float kOverlayScaleLimit = 30.0f;
constexpr float kFlashFadePerMs = 0.625f;           // 255 in 408 ms
constexpr float kFlashScaleBase = 1.0f;
constexpr float kFlashAlphaBase = 128.0f;
constexpr uint32_t kAlphaTestReference = 200;
constexpr D3DCOLOR kOpaqueWhite = 0xFFFFFFFFu;
constexpr D3DCOLOR kVeil = 0x1FFFFFFFu;             // white at alpha 31
constexpr float kNoCameraFieldOfView = 0.7853982f;  // the start-up projection's

void UpdateState(float dt) {
  PartState& s = partState;
  if (syncRestart.load(std::memory_order_relaxed)) {
    s.meshFrame = 0.0f;
    syncRestart.store(0, std::memory_order_relaxed);
  }
  float baseScale = s.overlayScale;
  float baseAlpha = s.flashAlpha;
  if (syncFlash.load(std::memory_order_relaxed)) {
    baseScale = kFlashScaleBase;
    baseAlpha = kFlashAlphaBase;
    syncFlash.store(0, std::memory_order_relaxed);
  }
  s.meshFrame += dt * kMeshFramesPerMs;
  s.sceneTime += dt * kSceneTimePerMs;
  if (s.meshFrame > kMeshFrameLimit) s.meshFrame = kMeshFrameLimit;
  s.jitterTimer += dt;
  s.overlayScale = baseScale + dt * kOverlayScalePerMs;
  if (s.overlayScale > kOverlayScaleLimit) s.overlayScale = kOverlayScaleLimit;
  s.flashAlpha = baseAlpha - dt * kFlashFadePerMs;
  if (s.flashAlpha < 0.0f) s.flashAlpha = 0.0f;
}

void DrawSceneThroughCamera() {
  RenderDevice& rd = renderDevice;
  rd.SetModulateStage0();
  rd.ClearColor(0, 0, 0, 0);
  rd.ClearDepth();
  rd.CullNone();

  const Keyframer* keyframer = scene->keyframer;
  if (keyframer != nullptr) {
    sceneCalls.animateCameras(scene, partState.sceneTime * kCameraTimeFactor);
    sceneCalls.animateMeshes(scene, partState.meshFrame, kMeshLoopLimit);
  }
  if (keyframer != nullptr && keyframer->cameraCount != 0) {
    D3DXMATRIX view;
    sceneCalls.setCameraByIndex(scene, &view,
                                syncCamera.load(std::memory_order_relaxed) % keyframer->cameraCount);
  } else {
    D3DXMatrixIdentity(&scene->viewMatrix);
    scene->fieldOfView = kNoCameraFieldOfView;
  }

  rd.DisableLighting();
  rd.EnableDepth();
  sceneCalls.drawScene(scene, &rd, 0);
  rd.SetModulateStage0();
}

// The particle field's states are set and undone without a draw between them: the picture has
// no particles.
void SetUpAndUndoParticleStates() {
  RenderDevice& rd = renderDevice;
  rd.EnablePointSprites(1.0f, 1.0f, 0.0f, 0.0f, 1.0f);
  rd.EnableAlphaBlend();
  rd.BlendAlpha();
  EngineMatrix world;
  world.SetIdentity();
  world.RotateX(partState.sceneTime * 0.01f);
  world.RotateY(partState.sceneTime * 0.005f);
  world.RotateZ(partState.sceneTime * 0.006666667f);
  rd.SetView(0.0f, 0.0f, -2.0f, 0.0f, 0.0f, 0.0f, 0.0f);
  rd.SetWorldMatrix(world);
  rd.DepthTestOnly();
  rd.SetTexture(particleTexture);
  rd.EnableDepth();
  rd.DisableAlphaBlend();
  rd.DisablePointSprites();
}

void DrawOverlayAndFades() {
  RenderDevice& rd = renderDevice;
  rd.EnableAlphaBlend();
  rd.BlendAlpha();
  rd.EnableAlphaTest(kAlphaTestReference);
  const Texture* overlay = overlays[syncOverlay.load(std::memory_order_relaxed) & 3];
  partQuads->DrawQuad(&rd, overlay, std::sin(partState.jitterX) / partState.overlayScale,
                      std::sin(partState.jitterY) / partState.overlayScale, 2.0f, kOpaqueWhite);
  rd.DisableAlphaBlend();
  rd.SetModulateStage0();
  rd.EnableAlphaBlend();
  rd.BlendAlpha();
  rd.DisableAlphaTest();

  const auto flash = static_cast<uint32_t>(static_cast<int32_t>(partState.flashAlpha));
  partQuads->DrawQuad(&rd, nullptr, 0.0f, 0.0f, 2.0f, flash << 24 | 0x00FFFFFFu);
  partQuads->DrawQuad(&rd, nullptr, 0.0f, 0.0f, 2.0f, kVeil);
  rd.DisableAlphaBlend();
}
}  // namespace

void PartFrame(float dt) {
  UpdateState(dt);
  DrawSceneThroughCamera();
  if (partState.jitterTimer > kJitterIntervalMs) {
    // Values 0 to 32767 taken as radians: their sines spread over [-1, 1].
    partState.jitterX = static_cast<float>(RuntimeRand());
    partState.jitterY = static_cast<float>(RuntimeRand());
    partState.jitterTimer = 0.0f;
  }
  SetUpAndUndoParticleStates();
  DrawOverlayAndFades();
}
