// Scene records: meshes, the inspection and show/hide operations.
#include <cstdio>
#include <cstring>
#include <new>

#include "base/fatal_error.h"
#include "platform/win/win.h"
#include "scene/scene.h"

D3DDemoEngineScene::D3DDemoEngineScene() {
  float* f = reinterpret_cast<float*>(&viewMatrix);
  for (int i = 0; i < 16; ++i) f[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

D3DDemoEngineScene::~D3DDemoEngineScene() {
  for (uint32_t i = 0; i < meshCount; ++i) delete meshes[i];
  for (uint32_t i = 0; i < materialCount; ++i) {
    if (materials[i]->ownsTexture) delete materials[i]->texture;
    delete materials[i];
  }
  delete keyframer;
}

uint32_t D3DDemoEngineScene::AddMesh() {
  MeshObj* mesh = new (std::nothrow) MeshObj;
  if (mesh == nullptr) {
    FatalError("Unable to create/add a MeshObj to D3DDemoEngineScene", "Memory allocation error");
  }
  if (meshCount >= kMaxMeshes) {
    delete mesh;
    FatalError("Maximum number of meshes in scene reached", "Too many meshobjs in scene");
  }
  meshes[meshCount] = mesh;
  return meshCount++;
}

void D3DDemoEngineScene::WriteStatistics(const char* fileName) const {
  FILE* file = std::fopen(fileName, "w");
  if (file == nullptr) return;
  long long verts = 0;
  long long faces = 0;
  for (uint32_t i = 0; i < meshCount; ++i) {
    const MeshObj& m = *meshes[i];
    std::fprintf(file, "Object%04d : %s -> %d verts and %d faces.\n", static_cast<int>(i), m.name,
                 static_cast<int>(m.vertexCount), static_cast<int>(m.faceCount));
    verts += m.vertexCount;
    faces += m.faceCount;
  }
  std::fprintf(file, "\n");
  std::fprintf(file, "Total number of meshes : %d\n", static_cast<int>(meshCount));
  std::fprintf(file, "Total number of verts : %d\n", static_cast<int>(verts));
  std::fprintf(file, "Total number of faces : %d\n", static_cast<int>(faces));
  std::fclose(file);
}

void D3DDemoEngineScene::HierarchyReport() const {
  for (uint32_t j = 0; j < meshCount; ++j) {
    for (uint32_t i = 0; i < meshCount; ++i) {
      if (static_cast<int32_t>(i) != meshes[j]->parentIndex) continue;
      char text[2 * kSceneNameSize + 16];
      std::snprintf(text, sizeof text, "%s is child of %s", meshes[j]->name, meshes[i]->name);
      MessageBoxA(GetTopWindow(nullptr), text, "Hireacy info", MB_OK);
    }
  }
}

void D3DDemoEngineScene::HideMesh(int32_t index) {
  if (index >= 0 && static_cast<uint32_t>(index) < meshCount) meshes[index]->visible = 0;
}

void D3DDemoEngineScene::ShowMesh(int32_t index) {
  if (index >= 0 && static_cast<uint32_t>(index) < meshCount) meshes[index]->visible = 1;
}

int32_t D3DDemoEngineScene::FindMesh(const char* name) const {
  for (uint32_t i = 0; i < meshCount; ++i) {
    if (std::strcmp(meshes[i]->name, name) == 0) return static_cast<int32_t>(i);
  }
  return -1;
}
