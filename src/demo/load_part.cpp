// The part's resources, loaded once while the loading picture is on screen.
#include <cstdio>

#include "base/runtime_rand.h"
#include "demo/demo.h"
#include "scene/scene.h"

namespace {
constexpr const char* kSceneFile = "3ds\\vw.3ds";
constexpr const char* kParticleFile = "graphics\\particle.png";
constexpr uint32_t kSceneMipLevels = 8;
constexpr uint32_t kParticleCount = 100;
}  // namespace

void LoadPart() {
  for (Texture*& overlay : overlays) overlay = new Texture();

  scene->SetLoadTextures(1);
  scene->Load3ds(&renderDevice, kSceneFile);
  scene->SetTextureMipLevels(kSceneMipLevels);
  sceneCalls.uploadAllMeshes(scene, &renderDevice);

  for (int i = 0; i < 4; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "graphics\\overlay%02d.png", i + 1);
    overlays[i]->Load(&renderDevice, name);
  }

  // x, then y, then z of each point, each from a fresh draw: the field lies in [-0.75, 0.75).
  particles->AllocateVertices(kParticleCount);
  for (uint32_t i = 0; i < kParticleCount; ++i) {
    particles->vertices[i].x = (RandomFraction() - 0.5f) * 1.5f;
    particles->vertices[i].y = (RandomFraction() - 0.5f) * 1.5f;
    particles->vertices[i].z = (RandomFraction() - 0.5f) * 1.5f;
  }
  particles->useDiffuse = 0;
  particles->useNormals = 0;
  particles->useTexCoords = 0;
  sceneCalls.uploadMesh(particles, &renderDevice);

  particleTexture->Load(&renderDevice, kParticleFile);
}
