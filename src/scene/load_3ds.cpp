// The 3DS loader: walks the chunks of a 3DS file held in memory and fills a scene (meshes,
// materials, keyframer) or a single mesh.
//
// The walk keeps one cursor, as the format's readers traditionally do: after a point, face or
// mapping array the cursor stays right after the data read, so the chunks nested in a face
// array (material groups, smoothing groups) are met as if they were its siblings, and the
// sub-chunks of colour and percentage chunks are met in turn inside the material. Every read is
// bounded (chunk_cursor.h); counts that run past their chunk are cut to the whole entries.
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "base/fatal_error.h"
#include "render/render_device.h"
#include "scene/chunk_cursor.h"
#include "scene/chunk_ids_3ds.h"
#include "scene/scene.h"

using scene3ds::ChunkCursor;
using scene3ds::ChunkHeader;
using scene3ds::ReadChunkHeader;

namespace {

using namespace scene3ds::chunk_id;

constexpr float kByteToUnit = 0.003921569f;  // 1 / 255

// Which mesh arrays one tri-object walk fills: the scene load reads face flags and material
// groups, the one-mesh load neither.
struct TriObjectOptions {
  bool faceFlags;
  bool materialGroups;
};

// What the scene load gives each mesh it names: the object's name and the mesh ordinal.
struct MeshIdentity {
  const char* name;
  int32_t nodeId;
};

// POINT_ARRAY, FACE_ARRAY, TEX_VERTS and MSH_MAT_GROUP of one N_TRI_OBJECT. The scene load's
// walk names the mesh at the top of every round, before the sub-chunk's header is read: a tri
// object without sub-chunks keeps the empty name and node id the mesh was created with.
void ReadTriObject(ChunkCursor& c, size_t triEnd, MeshObj* mesh, TriObjectOptions options,
                   const MeshIdentity* identity) {
  ChunkHeader h;
  while (c.pos < triEnd) {
    if (identity != nullptr) {
      std::snprintf(mesh->name, sizeof mesh->name, "%s", identity->name);
      mesh->nodeId = static_cast<int16_t>(identity->nodeId);
      mesh->parentIndex = -1;
    }
    if (!ReadChunkHeader(c, triEnd, &h)) break;
    switch (h.id) {
      case kPointArray: {
        uint32_t n = c.U16(h.end);
        if (!c.Has(size_t{n} * 12, h.end)) n = static_cast<uint32_t>((h.end - c.pos) / 12);
        mesh->AllocateVertices(n);
        mesh->AllocateVertexNormals(n);
        mesh->AllocateMapping(n);
        for (uint32_t i = 0; i < n; ++i) {
          MeshVertex& v = mesh->vertices[i];
          v.x = c.F32(h.end);
          v.z = c.F32(h.end);  // the file's y is the engine's z
          v.y = c.F32(h.end);
        }
        break;
      }
      case kFaceArray: {
        uint32_t n = c.U16(h.end);
        if (!c.Has(size_t{n} * 8, h.end)) n = static_cast<uint32_t>((h.end - c.pos) / 8);
        mesh->AllocateFaces(n);
        for (uint32_t i = 0; i < n; ++i) {
          MeshFace& f = mesh->faces[i];
          f.a = c.U16(h.end);
          f.b = c.U16(h.end);
          f.c = c.U16(h.end);
          const uint16_t flags = c.U16(h.end);
          f.flags = options.faceFlags ? flags : 0;
        }
        break;
      }
      case kTexVerts: {
        uint32_t n = c.U16(h.end);
        if (!c.Has(size_t{n} * 8, h.end)) n = static_cast<uint32_t>((h.end - c.pos) / 8);
        for (uint32_t i = 0; i < n; ++i) {
          const float u = c.F32(h.end);
          const float v = c.F32(h.end);
          // Pairs beyond the vertex array are read and dropped.
          if (i < mesh->vertexCount) mesh->texCoords[i] = TexCoord{u, -v};
        }
        break;
      }
      case kMshMatGroup:
        if (!options.materialGroups) {
          c.pos = h.end;
          break;
        }
        c.String(h.end, mesh->materialName, sizeof mesh->materialName);
        c.Skip(size_t{c.U16(h.end)} * 2, h.end);  // the group's face indices are not used
        break;
      default:
        c.pos = h.end;
        break;
    }
  }
}

// The track header and each key's frame and spline floats; calls add(time, values) per whole
// key. Only the low 16 bits of the key count and of each frame are used.
template <int ValueCount, typename Add>
void ReadKeys(ChunkCursor& c, size_t end, Add add) {
  c.Skip(10, end);
  const uint16_t keyCount = c.U16(end);
  c.Skip(2, end);
  for (uint32_t k = 0; k < keyCount; ++k) {
    if (!c.Has(6, end)) break;
    const float time = c.U16(end);
    c.Skip(2, end);
    const uint16_t splineFlags = c.U16(end);
    // Tension, continuity, bias and the eases: one float per set bit, not kept.
    const size_t splineBytes = size_t{4} * std::popcount(splineFlags);
    if (!c.Has(splineBytes + 4 * ValueCount, end)) {
      c.pos = end;
      break;
    }
    c.Skip(splineBytes, end);
    float values[ValueCount];
    for (float& v : values) v = c.F32(end);
    add(time, values);
  }
}

// Position-like keys (x, y, z in file order) into three tracks with the axis swap.
void ReadVectorKeys(ChunkCursor& c, size_t end, FloatTrack* x, FloatTrack* y, FloatTrack* z) {
  ReadKeys<3>(c, end, [&](float time, const float* v) {
    x->addKey(time, v[0]);
    y->addKey(time, v[2]);
    z->addKey(time, v[1]);
  });
  x->finish();
  z->finish();
  y->finish();
}

void ReadScalarKeys(ChunkCursor& c, size_t end, FloatTrack* track) {
  ReadKeys<1>(c, end, [&](float time, const float* v) { track->addKey(time, v[0]); });
  track->finish();
}

class SceneLoader {
 public:
  SceneLoader(D3DDemoEngineScene* scene, RenderDevice* device, const uint8_t* data, size_t size)
      : scene_(scene), device_(device), c_{data, size} {}

  void Run() {
    ChunkHeader h;
    if (!ReadChunkHeader(c_, c_.size, &h) || h.id != kM3dMagic) FatalError("Not a .3ds file", "Error");
    // The magic chunk's own length is not used: the walk goes to the end of the data.
    while (c_.pos < c_.size && ReadChunkHeader(c_, c_.size, &h)) {
      if (h.id == kMData) {
        ReadMData(h.end);
      } else if (h.id == kKfData) {
        ReadKfData(h.end);
      } else {
        c_.pos = h.end;
      }
    }
  }

 private:
  void ReadMData(size_t end) {
    ChunkHeader h;
    while (c_.pos < end && ReadChunkHeader(c_, end, &h)) {
      if (h.id == kNamedObject) {
        ReadNamedObject(h.end);
      } else if (h.id == kMatEntry) {
        ReadMaterial(h.end);
      } else {
        c_.pos = h.end;
      }
    }
  }

  void ReadNamedObject(size_t end) {
    char name[kSceneNameSize];
    c_.String(end, name, sizeof name);
    ChunkHeader h;
    while (c_.pos < end && ReadChunkHeader(c_, end, &h)) {
      if (h.id != kNTriObject) {
        c_.pos = h.end;
        continue;
      }
      MeshObj* mesh = scene_->meshes[scene_->AddMesh()];
      ++meshOrdinal_;
      const MeshIdentity identity{name, meshOrdinal_};
      ReadTriObject(c_, h.end, mesh, TriObjectOptions{true, true}, &identity);
    }
  }

  void ReadMaterial(size_t end) {
    if (scene_->materialCount >= kMaxMaterials) {
      FatalError("Maximum number of materials in scene reached", "Too many materials in scene");
    }
    SceneMaterial* material = new SceneMaterial;
    material->texture = new Texture;
    scene_->materials[scene_->materialCount++] = material;
    D3DCOLORVALUE* selected = nullptr;
    ChunkHeader h;
    while (c_.pos < end && ReadChunkHeader(c_, end, &h)) {
      switch (h.id) {
        case kMatName:
          c_.String(h.end, material->name, sizeof material->name);
          break;
        case kMatAmbient:
          selected = &material->d3dMaterial.Ambient;
          break;
        case kMatDiffuse:
          selected = &material->d3dMaterial.Diffuse;
          break;
        case kMatSpecular:
          selected = &material->d3dMaterial.Specular;
          break;
        case kMatShininess:
        case kMatTransparency:
          break;  // entered: their percentage chunks follow in turn
        case kColor24: {
          if (!c_.Has(3, h.end)) {
            c_.pos = h.end;
            break;
          }
          const float r = c_.U8(h.end) * kByteToUnit;
          const float g = c_.U8(h.end) * kByteToUnit;
          const float b = c_.U8(h.end) * kByteToUnit;
          if (selected == nullptr) break;
          selected->r = r;
          selected->g = g;
          selected->b = b;
          selected->a = (selected == &material->d3dMaterial.Diffuse) ? 0.5f : 1.0f;
          if (selected == &material->d3dMaterial.Specular) material->d3dMaterial.Power = 10.0f;
          break;
        }
        case kIntPercentage:
          c_.U16(h.end);
          break;
        case kMatTexMap:
          ReadTextureMap(h.end, material);
          break;
        default:
          c_.pos = h.end;
          break;
      }
    }
  }

  void ReadTextureMap(size_t end, SceneMaterial* material) {
    ChunkHeader h;
    while (c_.pos < end && ReadChunkHeader(c_, end, &h)) {
      if (h.id != kMatMapName) {
        c_.pos = h.end;
        continue;
      }
      c_.String(h.end, material->textureName, sizeof material->textureName);
      if (!scene_->loadTextures) continue;
      // A second map name replaces the record. Meshes are bound only after the walk, so only the
      // texture cache may point at the old one, and then the cache already keeps it.
      if (material->ownsTexture) delete material->texture;
      material->texture = nullptr;
      material->texture = new Texture;
      material->ownsTexture = 1;
      char path[sizeof "graphics\\" + kSceneNameSize];
      std::snprintf(path, sizeof path, "graphics\\%s", material->textureName);
      if (scene_->textureMipLevels <= 1) {
        material->texture->Load(device_, path);
      } else {
        material->texture->Load(device_, path, static_cast<uint8_t>(scene_->textureMipLevels));
      }
      // The record that first loaded a file stays in the cache's slot for good.
      TextureCache* cache = device_->textureCache;
      if (cache != nullptr && cache->Adopt(material->texture)) material->ownsTexture = 0;
    }
  }

  void ReadKfData(size_t end) {
    // A second keyframer chunk starts the animation afresh.
    delete scene_->keyframer;
    scene_->keyframer = nullptr;
    scene_->keyframer = new Keyframer;
    Keyframer& kf = *scene_->keyframer;
    ChunkHeader h;
    while (c_.pos < end && ReadChunkHeader(c_, end, &h)) {
      switch (h.id) {
        case kKfSeg:
          kf.startFrame = c_.U32(h.end);
          kf.endFrame = c_.U32(h.end);
          break;
        case kObjectNodeTag:
          ReadMeshNode(h.end, kf.AddMeshTrack());
          break;
        case kCameraNodeTag:
          ReadCameraNode(h.end, kf.AddCameraTrack(), true, "Unable to allocate memory for camera-track");
          break;
        case kTargetNodeTag:
          ReadCameraNode(h.end, kf.AddTargetTrack(), false,
                         "Unable to allocate memory for cameratarget-track");
          break;
        case kLightNodeTag:
          ReadLightNode(h.end, kf.AddLightTrack());
          break;
        default:
          c_.pos = h.end;
          break;
      }
    }
  }

  void ReadMeshNode(size_t end, MeshTrack* track) {
    try {
      uint16_t nodeId = 0xFFFF;  // matches no mesh until a NODE_ID names one
      ChunkHeader h;
      while (c_.pos < end && ReadChunkHeader(c_, end, &h)) {
        switch (h.id) {
          case kNodeId:
            nodeId = c_.U16(h.end);
            break;
          case kNodeHdr: {
            c_.String(h.end, track->name, sizeof track->name);
            c_.U16(h.end);  // two flag words, not used
            c_.U16(h.end);
            const int16_t parent = static_cast<int16_t>(c_.U16(h.end));
            for (uint32_t i = 0; i < scene_->meshCount; ++i) {
              // A zero-extended id against a sign-extended ordinal: 0xFFFF never matches.
              if (static_cast<int32_t>(scene_->meshes[i]->nodeId) == static_cast<int32_t>(nodeId)) {
                scene_->meshes[i]->parentIndex = parent;
                break;
              }
            }
            break;
          }
          case kPivot:
            if (!c_.Has(12, h.end)) {
              c_.pos = h.end;
              break;
            }
            track->pivot[0] = c_.F32(h.end);
            track->pivot[2] = c_.F32(h.end);
            track->pivot[1] = c_.F32(h.end);
            break;
          case kPosTrackTag:
            ReadVectorKeys(c_, h.end, track->posX, track->posY, track->posZ);
            break;
          case kRotTrackTag:
            ReadKeys<4>(c_, h.end, [&](float time, const float* v) {
              track->rotation->addKey(time, v[0], v[1], v[3], v[2]);
            });
            track->rotation->finish();
            break;
          case kSclTrackTag:
            ReadVectorKeys(c_, h.end, track->scaleX, track->scaleY, track->scaleZ);
            break;
          default:
            c_.pos = h.end;
            break;
        }
      }
    } catch (const std::bad_alloc&) {
      FatalError("Unable to allocate memory for meshobj-track", "Memory error in keyframer");
    }
  }

  void ReadCameraNode(size_t end, CameraTrack* track, bool isCamera, const char* allocationText) {
    try {
      ChunkHeader h;
      while (c_.pos < end && ReadChunkHeader(c_, end, &h)) {
        if (h.id == kNodeHdr) {
          c_.String(h.end, track->name, sizeof track->name);
          c_.pos = h.end;
        } else if (h.id == kPosTrackTag) {
          ReadVectorKeys(c_, h.end, track->posX, track->posY, track->posZ);
        } else if (isCamera && h.id == kFovTrackTag) {
          ReadScalarKeys(c_, h.end, track->fov);
        } else if (isCamera && h.id == kRollTrackTag) {
          ReadScalarKeys(c_, h.end, track->roll);
        } else {
          c_.pos = h.end;
        }
      }
    } catch (const std::bad_alloc&) {
      FatalError(allocationText, "Memory error in keyframer");
    }
  }

  void ReadLightNode(size_t end, LightTrack* track) {
    try {
      ChunkHeader h;
      while (c_.pos < end && ReadChunkHeader(c_, end, &h)) {
        if (h.id == kNodeHdr) {
          c_.String(h.end, track->name, sizeof track->name);
          c_.pos = h.end;
        } else if (h.id == kPosTrackTag) {
          ReadVectorKeys(c_, h.end, track->posX, track->posY, track->posZ);
        } else if (h.id == kColTrackTag) {
          ReadKeys<3>(c_, h.end, [&](float time, const float* v) {
            track->colorR->addKey(time, v[0]);
            track->colorG->addKey(time, v[1]);
            track->colorB->addKey(time, v[2]);
          });
          track->colorR->finish();
          track->colorG->finish();
          track->colorB->finish();
        } else {
          c_.pos = h.end;
        }
      }
    } catch (const std::bad_alloc&) {
      FatalError("Unable to allocate memory for light-track", "Memory error in keyframer");
    }
  }

  D3DDemoEngineScene* scene_;
  RenderDevice* device_;
  ChunkCursor c_;
  int32_t meshOrdinal_ = -1;
};

// The largest distance of any vertex from the origin; only a strictly larger one replaces it,
// so a NaN never does.
float LargestDistance(MeshObj* const* meshes, uint32_t meshCount) {
  float d = 0.0f;
  for (uint32_t m = 0; m < meshCount; ++m) {
    for (uint32_t i = 0; i < meshes[m]->vertexCount; ++i) {
      const MeshVertex& v = meshes[m]->vertices[i];
      const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
      if (length > d) d = length;
    }
  }
  return d;
}

void DivideVertices(MeshObj* mesh, float d) {
  for (uint32_t i = 0; i < mesh->vertexCount; ++i) {
    mesh->vertices[i].x /= d;
    mesh->vertices[i].y /= d;
    mesh->vertices[i].z /= d;
  }
}

D3DMATERIAL8 DefaultMaterial() {
  D3DMATERIAL8 m = {};
  m.Diffuse = D3DCOLORVALUE{0.5f, 0.5f, 0.5f, 0.5f};
  m.Ambient = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.5f};
  m.Specular = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.5f};
  m.Emissive = D3DCOLORVALUE{0.0f, 0.0f, 0.0f, 0.0f};
  m.Power = 1.0f;
  return m;
}

}  // namespace

void D3DDemoEngineScene::Load3dsFromMemory(RenderDevice* device, const uint8_t* data, size_t size) {
  SceneLoader(this, device, data, size).Run();

  // Fit the geometry into the unit sphere; the animation scales keyed positions by sceneScale.
  // A scene without any vertex away from the origin stays as it is.
  const float d = LargestDistance(meshes, meshCount);
  if (d > 0.0f) {
    for (uint32_t m = 0; m < meshCount; ++m) DivideVertices(meshes[m], d);
    sceneScale = 1.0f / d;
  } else {
    sceneScale = 1.0f;
  }

  // Each mesh takes the first material whose name is a prefix of its material group's name
  // (an empty name matches every mesh), or keeps the default material and its own texture.
  const D3DMATERIAL8 defaultMaterial = DefaultMaterial();
  for (uint32_t m = 0; m < meshCount; ++m) {
    MeshObj& mesh = *meshes[m];
    mesh.material.d3dMaterial = defaultMaterial;
    for (uint32_t i = 0; i < materialCount; ++i) {
      const SceneMaterial& material = *materials[i];
      if (std::strncmp(material.name, mesh.materialName, std::strlen(material.name)) == 0) {
        mesh.material.d3dMaterial = material.d3dMaterial;
        mesh.material.texture = material.texture;
        break;
      }
    }
  }

  for (uint32_t m = 0; m < meshCount; ++m) meshes[m]->ComputeNormals();
}

void MeshObj::Load3dsFromMemory(const uint8_t* data, size_t size) {
  ChunkCursor c{data, size};
  ChunkHeader magic;
  if (!ReadChunkHeader(c, size, &magic) || magic.id != kM3dMagic) {
    FatalError("Unable to load .3ds file", "Not a .3ds file");
  }
  // Here the walk ends where the magic chunk's length says.
  ChunkHeader h;
  while (c.pos < magic.end && ReadChunkHeader(c, magic.end, &h)) {
    if (h.id != kMData) {
      c.pos = h.end;
      continue;
    }
    const size_t mdataEnd = h.end;
    while (c.pos < mdataEnd && ReadChunkHeader(c, mdataEnd, &h)) {
      if (h.id != kNamedObject) {
        c.pos = h.end;
        continue;
      }
      const size_t objectEnd = h.end;
      char name[kSceneNameSize];  // read past, not kept
      c.String(objectEnd, name, sizeof name);
      while (c.pos < objectEnd && ReadChunkHeader(c, objectEnd, &h)) {
        if (h.id == kNTriObject) {
          ReadTriObject(c, h.end, this, TriObjectOptions{false, false}, nullptr);
        } else {
          c.pos = h.end;
        }
      }
    }
  }

  MeshObj* const self = this;
  const float d = LargestDistance(&self, 1);
  if (d > 0.0f) DivideVertices(this, d);
  ComputeNormals();
}
