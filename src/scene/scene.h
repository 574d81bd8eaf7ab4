// The scene: triangle meshes, materials and the keyframer of one 3DS file, as the demo draws
// and animates them.
//
// Axes: the 3DS file is right-handed and z-up; the scene is left-handed and y-up. Every vector
// read from the file as (x, y, z) is stored as (x, z, y): vertices, pivots, position and scale
// keys, rotation axes. The mapping coordinate v is stored negated.
//
// Loading (load_3ds.cpp) fills a scene from a 3DS file of the data archive, or from bytes in
// memory. The file is hostile input: every read is bounded by the end of its chunk and of the
// buffer; lengths and counts that run past them are cut to what is there. Failures the engine
// treats as fatal (not a 3DS file, a table limit, an allocation, a texture that cannot be
// loaded) go through FatalError and end the process.
//
// Ownership: the scene owns its meshes, materials and keyframer; a mesh owns its arrays and the
// empty Texture it was created with; a scene material owns its Texture, which meshes bound to
// it share, unless the device's texture cache points at that record: the cache then keeps it
// (also when a second texture map replaces it) and frees it with itself.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/d3d8/d3d8.h"
#include "platform/d3dx/d3dx8.h"
#include "scene/keyframer.h"
#include "texture/texture.h"

struct RenderDevice;

constexpr uint32_t kMaxMeshes = 1024;
constexpr uint32_t kMaxMaterials = 1024;
constexpr uint32_t kSceneNameSize = 64;  // 63 characters and the terminating zero

// A vertex position (engine axes, divided by the load-time scale) and a diffuse colour
// (A8R8G8B8) that loading leaves at 0.
struct MeshVertex {
  float x;
  float y;
  float z;
  uint32_t diffuse;
};

struct VertexNormal {
  float x;
  float y;
  float z;
};

// Three vertex indices in file order and the file's face flags.
struct MeshFace {
  uint16_t a;
  uint16_t b;
  uint16_t c;
  uint16_t flags;
};

struct TexCoord {
  float u;
  float v;  // the file's v negated
};

struct SceneMaterial {
  char name[kSceneNameSize] = {};
  char textureName[kSceneNameSize] = {};  // texture map's file name as stored in the file
  D3DMATERIAL8 d3dMaterial = {};
  Texture* texture = nullptr;
  // Whether the scene frees `texture`: cleared when the device's texture cache, which points at
  // the record that first loaded a file, has taken the record over (it lives as long as the
  // cache).
  uint8_t ownsTexture = 1;
};

// One triangle mesh. Arrays are zero-filled when allocated; a reallocation replaces them.
struct MeshObj {
  MeshVertex* vertices = nullptr;
  VertexNormal* vertexNormals = nullptr;
  MeshFace* faces = nullptr;
  TexCoord* texCoords = nullptr;
  char name[kSceneNameSize] = {};
  char materialName[kSceneNameSize] = {};  // the last material group read wins
  uint32_t vertexCount = 0;
  uint32_t faceCount = 0;
  // Only d3dMaterial and texture are used. texture starts at emptyTexture and is pointed at the
  // bound scene material's Texture after loading.
  SceneMaterial material;
  D3DXMATRIX worldMatrix;  // identity until the animation writes it
  int16_t parentIndex = -1;  // index into the scene's meshes, from the keyframer; -1 for none
  int16_t nodeId = -1;       // ordinal among the file's triangle meshes
  uint8_t visible = 1;
  IDirect3DIndexBuffer8* indexBuffer = nullptr;
  IDirect3DVertexBuffer8* vertexBuffer = nullptr;
  uint8_t useDiffuse = 0;
  uint8_t useNormals = 1;
  uint8_t useTexCoords = 1;
  Texture emptyTexture;  // the mesh's own texture record, never loaded

  MeshObj();
  ~MeshObj();
  MeshObj(const MeshObj&) = delete;
  MeshObj& operator=(const MeshObj&) = delete;

  // Each is fatal ("Error in memory allocation") when memory runs out.
  void AllocateVertices(uint32_t count);  // sets vertexCount
  void AllocateVertexNormals(uint32_t count);
  void AllocateMapping(uint32_t count);
  void AllocateFaces(uint32_t count);  // sets faceCount

  // Area-weighted face normals summed per vertex, normalised and negated (outward for the file's
  // winding after the axis swap). A face with an index at or past vertexCount adds nothing; a
  // vertex no face reaches (or only degenerate faces) gets (0, 1, 0).
  void ComputeNormals();

  // Reads every triangle mesh of a 3DS file into this one mesh (the last one remains), then
  // normalises it to the unit sphere and computes its normals. The name is not copied.
  void Load3ds(const char* fileName);  // from "data.rar"
  void Load3dsFromMemory(const uint8_t* data, size_t size);

  // --- device buffers (mesh_buffers.cpp) ---
  // The vertex format from the three flags: XYZ, then NORMAL, DIFFUSE, TEX1 where set.
  DWORD VertexFormat() const;
  UINT VertexStride() const;  // 12 to 36 bytes
  // Bit 0 sets useTexCoords, bit 1 useNormals, bit 2 useDiffuse; a clear bit clears its flag.
  // Upload again afterwards: the buffers keep the layout of the last upload.
  void SetVertexFormat(uint32_t mask);
  // Rebuilds both buffers: a managed vertex buffer, and a write-only 16-bit index buffer when
  // the mesh has faces. A mesh without vertices gets no buffers. Fatal ("D3D error") when a
  // buffer cannot be created or the vertices cannot be reached with 16-bit indices.
  void Upload(RenderDevice* device);
  // Writes the arrays into the existing vertex buffer again; never past its end.
  void RefillVertexBuffer();
  // Each draw is its own BeginScene/EndScene pair; a mesh never uploaded draws nothing.
  void Draw(RenderDevice* device);
  // Point lists (and meshes without faces) draw one point per vertex, unindexed.
  void DrawAs(RenderDevice* device, D3DPRIMITIVETYPE type);
  // Material, texture and world matrix through the device's operations, then Draw.
  void DrawWithMaterial(RenderDevice* device);
  void ReleaseBuffers();
};

struct D3DDemoEngineScene {
  uint32_t meshCount = 0;
  uint32_t materialCount = 0;
  uint32_t textureMipLevels = 1;
  uint8_t loadTextures = 1;
  MeshObj* meshes[kMaxMeshes] = {};
  Keyframer* keyframer = nullptr;  // null until a keyframer chunk is read
  SceneMaterial* materials[kMaxMaterials] = {};
  D3DXMATRIX viewMatrix;  // identity until the animation writes it
  float sceneScale = 1.0f;  // 1 / the largest vertex distance in file units
  float fieldOfView = 0.0f;

  D3DDemoEngineScene();
  ~D3DDemoEngineScene();
  D3DDemoEngineScene(const D3DDemoEngineScene&) = delete;
  D3DDemoEngineScene& operator=(const D3DDemoEngineScene&) = delete;

  void SetLoadTextures(uint8_t enabled) { loadTextures = enabled; }
  void SetTextureMipLevels(uint32_t levels) { textureMipLevels = levels & 0xFF; }

  // Appends a new mesh and returns its index; the 1025th is fatal.
  uint32_t AddMesh();

  // Loads a 3DS file of "data.rar" into this scene: meshes, materials (with their textures,
  // "graphics\" + map name, when loadTextures is set), the keyframer; then normalises the
  // geometry, binds materials and computes normals. The device is used only for textures.
  void Load3ds(RenderDevice* device, const char* fileName);
  void Load3dsFromMemory(RenderDevice* device, const uint8_t* data, size_t size);

  // Writes one line per mesh and the totals; writes nothing if the file cannot be opened.
  void WriteStatistics(const char* fileName) const;
  // One message box per parent link ("A is child of B", caption "Hireacy info").
  void HierarchyReport() const;
  void HideMesh(int32_t index);  // -1 does nothing
  void ShowMesh(int32_t index);
  // Index of the first mesh whose name equals `name` exactly, or -1.
  int32_t FindMesh(const char* name) const;

  // --- every mesh in order (mesh_buffers.cpp) ---
  void UploadMeshes(RenderDevice* device);
  void RefillVertexBuffers();
  void SetVertexFormat(uint32_t mask);

  // --- animation (scene_animation.cpp, scene_camera.cpp) ---
  // Times are frame numbers, wrapped into the loop (WrapFrame). Without a keyframer nothing
  // moves: world matrices and the view are left at the identity.
  // Resets viewMatrix to the identity and writes every camera's and target's current values.
  void animateCameras(float time);
  // World matrices from mesh track i for mesh i, looping over min(loopLimit, endFrame) frames.
  // Meshes without a track get the identity.
  void animateMeshes(float time, uint32_t loopLimit);
  // As animateMeshes over the whole segment, then each mesh times its parent's matrix, in
  // mesh order.
  void animateMeshesWithHierarchy(float time);
  void animateLights(float time);
  // animateCameras, animateLights, animateMeshesWithHierarchy.
  void animate(float time);
  // The view of camera `index` from its last animated values; writes viewMatrix, fieldOfView
  // and *out. An index without a camera and target leaves viewMatrix and *out the identity.
  D3DXMATRIX* setCameraByIndex(D3DXMATRIX* out, uint32_t index);
  // The first camera whose name begins with `name` (an empty name takes camera 0). No match:
  // viewMatrix and *out the identity, fieldOfView unchanged.
  D3DXMATRIX* setCameraByName(D3DXMATRIX* out, const char* name);
  D3DXMATRIX* setCameraByNameOffset(D3DXMATRIX* out, const char* name,
                                    const D3DXVECTOR3& eyeOffset,
                                    const D3DXVECTOR3& targetOffset);
  D3DXMATRIX* setCameraByNameScaled(D3DXMATRIX* out, const char* name, float eyeFactor,
                                    float targetFactor);

  // --- drawing (scene_drawing.cpp) ---
  // View, projection (near 0.0001, far 4, aspect 1), then every visible mesh with its texture
  // and world matrix. With useLights also the lights (at most 8) and each mesh's material;
  // without, no light, material or lighting state is touched. Other states are the caller's.
  void drawScene(RenderDevice* device, uint8_t useLights);
  void drawSceneLit(RenderDevice* device);
  void drawSceneLitWithAspect(RenderDevice* device, float aspect);
  // The animated lights as point lights (range 1000), nothing else.
  void applyLights(RenderDevice* device);
};
