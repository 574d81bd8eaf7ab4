// Mesh records: creation, array allocation and vertex normals.
#include <cmath>
#include <cstring>
#include <new>

#include "base/fatal_error.h"
#include "scene/scene.h"

namespace {
constexpr const char* kAllocationCaption = "Error in memory allocation";

void SetIdentity(D3DXMATRIX* m) {
  float* f = reinterpret_cast<float*>(m);
  for (int i = 0; i < 16; ++i) f[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

// Replaces an array with a zero-filled one of `count` entries.
template <typename T>
void Reallocate(T** array, uint32_t count, const char* failureText) {
  delete[] *array;
  *array = new (std::nothrow) T[count]();
  if (*array == nullptr) FatalError(failureText, kAllocationCaption);
}
}  // namespace


MeshObj::MeshObj() {
  SetIdentity(&worldMatrix);
  material.texture = &emptyTexture;
}

MeshObj::~MeshObj() {
  ReleaseBuffers();
  delete[] vertices;
  delete[] vertexNormals;
  delete[] faces;
  delete[] texCoords;
}

void MeshObj::AllocateVertices(uint32_t count) {
  Reallocate(&vertices, count, "Unable to create vertex buffer");
  vertexCount = count;
}

void MeshObj::AllocateVertexNormals(uint32_t count) {
  Reallocate(&vertexNormals, count, "Unable to create vertex normal buffer");
}

void MeshObj::AllocateMapping(uint32_t count) {
  Reallocate(&texCoords, count, "Unable to create mapping buffer");
}

void MeshObj::AllocateFaces(uint32_t count) {
  Reallocate(&faces, count, "Unable to create face buffer");
  faceCount = count;
}

void MeshObj::ComputeNormals() {
  if (vertexNormals == nullptr) return;
  for (uint32_t i = 0; i < vertexCount; ++i) vertexNormals[i] = VertexNormal{0.0f, 0.0f, 0.0f};
  for (uint32_t i = 0; i < faceCount; ++i) {
    const MeshFace& f = faces[i];
    // A face pointing outside the vertex array stays in the mesh but adds nothing.
    if (f.a >= vertexCount || f.b >= vertexCount || f.c >= vertexCount) continue;
    const MeshVertex& a = vertices[f.a];
    const MeshVertex& b = vertices[f.b];
    const MeshVertex& c = vertices[f.c];
    // (A - B) x (A - C), not normalised: larger faces weigh more.
    const float ux = a.x - b.x, uy = a.y - b.y, uz = a.z - b.z;
    const float vx = a.x - c.x, vy = a.y - c.y, vz = a.z - c.z;
    const VertexNormal n{uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx};
    for (uint16_t index : {f.a, f.b, f.c}) {
      vertexNormals[index].x += n.x;
      vertexNormals[index].y += n.y;
      vertexNormals[index].z += n.z;
    }
  }
  for (uint32_t i = 0; i < vertexCount; ++i) {
    VertexNormal& n = vertexNormals[i];
    const float length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (length == 0.0f) {  // used by no face, or only by degenerate ones: points up
      n = VertexNormal{0.0f, 1.0f, 0.0f};
      continue;
    }
    // Negated: the file's winding turns clockwise once y and z are swapped.
    n = VertexNormal{-n.x / length, -n.y / length, -n.z / length};
  }
}
