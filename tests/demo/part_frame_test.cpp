// The part's frame against a recording scene: its accumulators and their limits, the sync
// flags, the camera and overlay choices, and what reaches the screen.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/runtime_rand.h"
#include "demo/demo.h"
#include "music/music.h"
#include "platform/d3d8/d3d8.h"
#include "platform/win/win.h"
#include "scene/scene.h"

namespace {

struct SceneRecord {
  std::vector<float> cameraTimes;
  std::vector<std::pair<float, uint32_t>> meshTimes;  // time, loop limit
  std::vector<uint32_t> cameraIndices;
  int draws = 0;
} record;

SceneCalls RecordingScene() {
  SceneCalls calls = DefaultSceneCalls();
  calls.animateCameras = [](D3DDemoEngineScene*, float time) { record.cameraTimes.push_back(time); };
  calls.animateMeshes = [](D3DDemoEngineScene*, float time, uint32_t limit) {
    record.meshTimes.emplace_back(time, limit);
  };
  calls.setCameraByIndex = [](D3DDemoEngineScene* s, D3DXMATRIX* out, uint32_t index) {
    record.cameraIndices.push_back(index);
    D3DXMatrixTranslation(&s->viewMatrix, 1.0f, 2.0f, 3.0f);
    *out = s->viewMatrix;
  };
  calls.drawScene = [](D3DDemoEngineScene*, RenderDevice*, uint8_t useLights) {
    EXPECT_EQ(useLights, 0);
    ++record.draws;
  };
  return calls;
}

// Overlay i is a solid colour; overlay 2 is too transparent for the alpha test.
constexpr uint32_t kOverlayColours[4] = {0xFFFF0000u, 0xFF00FF00u, 0x960000FFu, 0xFFFFFF00u};

class DemoPartFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    zelk4::d3d8::ResetControls();
    zelk4::d3d8::PresentOffscreen();
    zelk4::win::SetMessageBoxesEnabled(false);
    renderDevice.Init(nullptr, 640, 480, 0);
    record = SceneRecord{};
    sceneCalls = RecordingScene();
    partState = PartState{};
    syncCamera = 0;
    syncOverlay = 0;
    syncFlash = 0;
    syncRestart = 0;
    SeedRuntimeRand(1);
    loadedKeyframer_ = scene->keyframer;
    scene->keyframer = new Keyframer();
    for (int i = 0; i < 3; ++i) {
      scene->keyframer->AddCameraTrack();
      scene->keyframer->AddTargetTrack();
    }
    for (int i = 0; i < 4; ++i) {
      overlays[i] = new Texture();
      const std::vector<uint32_t> pixels(64, kOverlayColours[i]);
      overlays[i]->CreateFromPixels(&renderDevice, 8, 8, pixels.data());
    }
  }
  void TearDown() override {
    for (Texture*& overlay : overlays) {
      if (overlay->d3dTexture) overlay->d3dTexture->Release();
      delete overlay;
      overlay = nullptr;
    }
    delete scene->keyframer;
    scene->keyframer = loadedKeyframer_;
    sceneCalls = DefaultSceneCalls();
    renderDevice.Release();
    zelk4::d3d8::ResetControls();
  }

  static void Run(int frames, float dt) {
    for (int i = 0; i < frames; ++i) PartFrame(dt);
  }
  // The centre of the frame just drawn.
  static uint32_t CentrePixel() {
    renderDevice.Present();
    return zelk4::d3d8::LastPresentedFrame().pixels[240 * 640 + 320];
  }

 private:
  Keyframer* loadedKeyframer_ = nullptr;
};

TEST_F(DemoPartFrame, StartsWithAFullFlashFadingOutIn408MsAndAJitterSettlingWithinTwoSeconds) {
  Run(23, 17.0f);
  EXPECT_FLOAT_EQ(partState.flashAlpha, 10.625f);
  Run(1, 17.0f);  // 24 * 17 = 408 ms
  EXPECT_EQ(partState.flashAlpha, 0.0f);

  // The overlay's offset is divided by a scale growing 1/70 per ms: at most 1/30 after 2030 ms.
  EXPECT_GT(partState.overlayScale, 6.8f);
  Run(95, 17.0f);  // 2023 ms so far
  EXPECT_LT(partState.overlayScale, 30.0f);
  Run(1, 17.0f);
  EXPECT_EQ(partState.overlayScale, 30.0f);
  EXPECT_LE(std::fabs(std::sin(partState.jitterX)) / partState.overlayScale, 1.0f / 30.0f);

  // Meshes reached their frame 50 after 400 ms and held it; the cameras run at a tenth of the
  // scene time, which grows 1/6 per ms.
  EXPECT_EQ(partState.meshFrame, 50.0f);
  ASSERT_EQ(record.meshTimes.size(), 120u);
  EXPECT_FLOAT_EQ(record.meshTimes[0].first, 17.0f * 0.125f);
  EXPECT_EQ(record.meshTimes[0].second, 50u);
  EXPECT_NEAR(record.cameraTimes.back(), 120 * 17.0f / 60.0f, 1e-3f);
  EXPECT_EQ(record.draws, 120);
}

TEST_F(DemoPartFrame, FlashRestartsFrom128AndTheJitterFromFullStrength) {
  Run(1, 5000.0f);  // settled: no flash, overlay at 1/30, meshes at 50
  OnSyncEvent(nullptr, 0x21);
  Run(1, 10.0f);
  EXPECT_EQ(syncFlash, 0);
  EXPECT_FLOAT_EQ(partState.flashAlpha, 128.0f - 6.25f);
  EXPECT_FLOAT_EQ(partState.overlayScale, 1.0f + 10.0f / 70.0f);
  EXPECT_EQ(partState.meshFrame, 50.0f);  // a flash alone does not replay the meshes
  Run(19, 10.0f);                         // 200 ms after the flash
  EXPECT_GT(partState.flashAlpha, 0.0f);
  Run(1, 4.8f);                           // 204.8 ms
  EXPECT_NEAR(partState.flashAlpha, 0.0f, 1e-3f);
  Run(1, 1.0f);
  EXPECT_EQ(partState.flashAlpha, 0.0f);
}

TEST_F(DemoPartFrame, RestartReplaysTheMeshesFromFrameZeroOver400Ms) {
  Run(1, 5000.0f);
  OnSyncEvent(nullptr, 0x30);
  Run(1, 8.0f);
  EXPECT_EQ(syncRestart, 0);
  EXPECT_EQ(partState.meshFrame, 1.0f);
  EXPECT_EQ(record.meshTimes.back().first, 1.0f);
  EXPECT_FLOAT_EQ(partState.flashAlpha, 128.0f - 5.0f);
  Run(49, 8.0f);
  EXPECT_EQ(partState.meshFrame, 50.0f);
  Run(1, 8.0f);
  EXPECT_EQ(partState.meshFrame, 50.0f);
}

TEST_F(DemoPartFrame, ZeroTimeKeepsEveryValueAndALongStallClampsInOneFrame) {
  Run(3, 0.0f);
  EXPECT_EQ(partState.meshFrame, 0.0f);
  EXPECT_EQ(partState.sceneTime, 0.0f);
  EXPECT_EQ(partState.overlayScale, 1.0f);
  EXPECT_EQ(partState.flashAlpha, 255.0f);
  EXPECT_EQ(partState.jitterX, 0.0f);  // no time gathered, no new jitter

  Run(1, 7000.0f);
  EXPECT_EQ(partState.meshFrame, 50.0f);
  EXPECT_EQ(partState.overlayScale, 30.0f);
  EXPECT_EQ(partState.flashAlpha, 0.0f);
  EXPECT_FLOAT_EQ(partState.sceneTime, 7000.0f / 6.0f);
}

TEST_F(DemoPartFrame, JitterIsDrawnFromTheRuntimeGeneratorOnceMoreThan10MsGathered) {
  Run(2, 5.0f);  // 10 ms is not more than 10
  EXPECT_EQ(partState.jitterX, 0.0f);
  Run(1, 5.0f);
  // The runtime generator's first two values from its start state 1.
  EXPECT_EQ(partState.jitterX, 41.0f);
  EXPECT_EQ(partState.jitterY, 18467.0f);
  EXPECT_EQ(partState.jitterTimer, 0.0f);
}

TEST_F(DemoPartFrame, CameraNumberWrapsAtTheCameraCount) {
  OnSyncEvent(nullptr, 0x05);  // camera number 4, with three cameras
  Run(1, 10.0f);
  OnSyncEvent(nullptr, 0x03);
  Run(1, 10.0f);
  EXPECT_EQ(record.cameraIndices, (std::vector<uint32_t>{1, 2}));
}

TEST_F(DemoPartFrame, SceneWithoutCamerasIsDrawnWithTheIdentityView) {
  delete scene->keyframer;
  scene->keyframer = new Keyframer();  // no cameras
  syncCamera = 5;
  Run(1, 10.0f);
  EXPECT_EQ(record.meshTimes.size(), 1u);  // meshes still move by their tracks

  delete scene->keyframer;
  scene->keyframer = nullptr;  // no keyframer at all
  Run(1, 10.0f);
  EXPECT_EQ(record.meshTimes.size(), 1u);
  EXPECT_TRUE(record.cameraIndices.empty());
  EXPECT_EQ(record.draws, 2);
  D3DXMATRIX identity;
  D3DXMatrixIdentity(&identity);
  EXPECT_EQ(std::memcmp(&scene->viewMatrix, &identity, sizeof identity), 0);
  EXPECT_FLOAT_EQ(scene->fieldOfView, 0.7853982f);
}

// Red, green and blue of a pixel.
std::vector<int> Rgb(uint32_t p) {
  return {static_cast<int>(p >> 16 & 255), static_cast<int>(p >> 8 & 255), static_cast<int>(p & 255)};
}

TEST_F(DemoPartFrame, OverlayFollowsTheLowTwoBitsUnderTheVeilAndTheAlphaTestDropsFaintPixels) {
  Run(1, 5000.0f);  // the flash is gone
  // The veil (white at alpha 31) lightens everything: 255 stays 255, 0 becomes 31.
  OnSyncEvent(nullptr, 0x00);  // the fourth overlay
  PartFrame(10.0f);
  EXPECT_EQ(Rgb(CentrePixel()), (std::vector<int>{255, 255, 31}));
  syncOverlay = 0;
  PartFrame(10.0f);
  EXPECT_EQ(Rgb(CentrePixel()), (std::vector<int>{255, 31, 31}));
  OnSyncEvent(nullptr, 0x16);  // overlay number 5: the low two bits pick the second
  PartFrame(10.0f);
  EXPECT_EQ(Rgb(CentrePixel()), (std::vector<int>{31, 255, 31}));
  syncOverlay = 2;  // alpha 150 fails the test against 200: only the black clear shows
  PartFrame(10.0f);
  EXPECT_EQ(Rgb(CentrePixel()), (std::vector<int>{31, 31, 31}));
}

TEST_F(DemoPartFrame, FirstFrameIsWhiteAndTheParticleFieldIsNeverDrawn) {
  zelk4::d3d8::EnableCallLog(true);
  zelk4::d3d8::ClearCallLog();
  PartFrame(0.0f);
  int draws = 0;
  for (const std::string& call : zelk4::d3d8::CallLog()) draws += call.rfind("Draw", 0) == 0;
  EXPECT_EQ(draws, 3);  // overlay, flash, veil: the recording scene draws nothing itself
  EXPECT_EQ(Rgb(CentrePixel()), (std::vector<int>{255, 255, 255}));
}

}  // namespace
