// Mesh device buffers: the vertex format chosen by the mesh's flags, upload into a managed
// vertex buffer and a write-only 16-bit index buffer, refill, and the draw calls.
#include <cstring>

#include "base/fatal_error.h"
#include "render/render_device.h"
#include "scene/scene.h"

namespace {
constexpr const char* kUploadCaption = "D3D error";
constexpr uint32_t kMaxIndexedVertices = 65536;  // what 16-bit indices reach

// Copies `size` bytes or, when the array is absent, writes zeros: a mesh whose owner turned a
// flag on without allocating its array still gets a well-defined buffer.
uint8_t* Put(uint8_t* at, const void* source, size_t size) {
  if (source != nullptr) {
    std::memcpy(at, source, size);
  } else {
    std::memset(at, 0, size);
  }
  return at + size;
}
}  // namespace

DWORD MeshObj::VertexFormat() const {
  DWORD format = D3DFVF_XYZ;
  if (useNormals) format |= D3DFVF_NORMAL;
  if (useDiffuse) format |= D3DFVF_DIFFUSE;
  if (useTexCoords) format |= D3DFVF_TEX1;
  return format;
}

UINT MeshObj::VertexStride() const { return D3DXGetFVFVertexSize(VertexFormat()); }

void MeshObj::SetVertexFormat(uint32_t mask) {
  useTexCoords = (mask & 1) ? 1 : 0;
  useNormals = (mask & 2) ? 1 : 0;
  useDiffuse = (mask & 4) ? 1 : 0;
}

void MeshObj::ReleaseBuffers() {
  if (vertexBuffer != nullptr) vertexBuffer->Release();
  if (indexBuffer != nullptr) indexBuffer->Release();
  vertexBuffer = nullptr;
  indexBuffer = nullptr;
}

void MeshObj::Upload(RenderDevice* device) {
  ReleaseBuffers();
  // Nothing to put on the card; a zero-length buffer cannot be created.
  if (vertexCount == 0) return;
  IDirect3DDevice8* d3d = device->device;
  const uint64_t length = static_cast<uint64_t>(VertexStride()) * vertexCount;
  if (length > 0xFFFFFFFFu ||
      FAILED(d3d->CreateVertexBuffer(static_cast<UINT>(length), 0, VertexFormat(),
                                     D3DPOOL_MANAGED, &vertexBuffer))) {
    vertexBuffer = nullptr;
    FatalError("Unable to upload object (can't create vertex buffer)", kUploadCaption);
  }
  RefillVertexBuffer();
  if (faceCount == 0) return;
  const uint64_t indexBytes = 6ull * faceCount;
  if (vertexCount > kMaxIndexedVertices || indexBytes > 0xFFFFFFFFu ||
      FAILED(d3d->CreateIndexBuffer(static_cast<UINT>(indexBytes), D3DUSAGE_WRITEONLY,
                                    D3DFMT_INDEX16, D3DPOOL_MANAGED, &indexBuffer))) {
    indexBuffer = nullptr;
    FatalError("Unable to upload object (can't create index buffer)", kUploadCaption);
  }
  BYTE* data = nullptr;
  if (FAILED(indexBuffer->Lock(0, 0, &data, 0)) || data == nullptr) return;
  uint16_t* out = reinterpret_cast<uint16_t*>(data);
  for (uint32_t i = 0; i < faceCount; ++i) {
    const MeshFace& f = faces[i];
    const uint16_t triangle[3] = {f.a, f.b, f.c};
    std::memcpy(out + 3 * static_cast<size_t>(i), triangle, sizeof triangle);
  }
  indexBuffer->Unlock();
}

void MeshObj::RefillVertexBuffer() {
  if (vertexBuffer == nullptr) return;
  D3DVERTEXBUFFER_DESC desc;
  std::memset(&desc, 0, sizeof desc);
  vertexBuffer->GetDesc(&desc);
  BYTE* data = nullptr;
  if (FAILED(vertexBuffer->Lock(0, 0, &data, 0)) || data == nullptr) return;
  // The flags or the vertex count may have changed since the upload sized the buffer: only
  // whole vertices that fit are written.
  const UINT stride = VertexStride();
  const uint32_t fits = desc.Size / stride;
  const uint32_t count = vertexCount < fits ? vertexCount : fits;
  uint8_t* at = data;
  for (uint32_t i = 0; i < count; ++i) {
    const MeshVertex* v = vertices != nullptr ? &vertices[i] : nullptr;
    at = Put(at, v, 3 * sizeof(float));
    if (useNormals) {
      at = Put(at, vertexNormals != nullptr ? &vertexNormals[i] : nullptr, sizeof(VertexNormal));
    }
    if (useDiffuse) at = Put(at, v != nullptr ? &v->diffuse : nullptr, sizeof(uint32_t));
    if (useTexCoords) at = Put(at, texCoords != nullptr ? &texCoords[i] : nullptr, sizeof(TexCoord));
  }
  vertexBuffer->Unlock();
}

namespace {
// Steps shared by Draw and DrawAs: stream, format and indices of the mesh.
void BindMesh(IDirect3DDevice8* d3d, const MeshObj& mesh) {
  d3d->SetStreamSource(0, mesh.vertexBuffer, mesh.VertexStride());
  d3d->SetVertexShader(mesh.VertexFormat());
  d3d->SetIndices(mesh.indexBuffer, 0);
}
}  // namespace

void MeshObj::Draw(RenderDevice* device) {
  if (vertexBuffer == nullptr) return;
  IDirect3DDevice8* d3d = device->device;
  d3d->BeginScene();
  BindMesh(d3d, *this);
  d3d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, vertexCount, 0, faceCount);
  d3d->EndScene();
}

void MeshObj::DrawAs(RenderDevice* device, D3DPRIMITIVETYPE type) {
  if (vertexBuffer == nullptr) return;
  IDirect3DDevice8* d3d = device->device;
  d3d->BeginScene();
  BindMesh(d3d, *this);
  if (type != D3DPT_POINTLIST && faceCount != 0) {
    d3d->DrawIndexedPrimitive(type, 0, vertexCount, 0, faceCount);
  } else {
    d3d->DrawPrimitive(type, 0, vertexCount);
  }
  d3d->EndScene();
}

void MeshObj::DrawWithMaterial(RenderDevice* device) {
  device->SetMaterial(&material.d3dMaterial);
  device->SetTexture(material.texture);
  device->SetWorldMatrix(&worldMatrix);
  Draw(device);
}

void D3DDemoEngineScene::UploadMeshes(RenderDevice* device) {
  for (uint32_t i = 0; i < meshCount; ++i) meshes[i]->Upload(device);
}

void D3DDemoEngineScene::RefillVertexBuffers() {
  for (uint32_t i = 0; i < meshCount; ++i) meshes[i]->RefillVertexBuffer();
}

void D3DDemoEngineScene::SetVertexFormat(uint32_t mask) {
  for (uint32_t i = 0; i < meshCount; ++i) meshes[i]->SetVertexFormat(mask);
}
