// Mesh device buffers: vertex layouts for every flag combination, what upload puts into the
// vertex and index buffers, refills after the flags change, the draw calls, and the fatal ends.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "render/render_test_support.h"
#include "scene/scene.h"

namespace {

using zelk4::test::CaptureFatalErrors;
using zelk4::test::FatalEnd;
using zelk4::test::RenderDeviceTest;

class MeshBuffers : public RenderDeviceTest {
 protected:
  // Three vertices with distinct positions, normals, colours and mapping; one face.
  void Fill(MeshObj& m) {
    m.AllocateVertices(3);
    m.AllocateVertexNormals(3);
    m.AllocateMapping(3);
    m.AllocateFaces(1);
    for (uint32_t i = 0; i < 3; ++i) {
      const float f = static_cast<float>(i);
      m.vertices[i] = {f + 0.1f, f + 0.2f, f + 0.3f, 0xFF000000u | i};
      m.vertexNormals[i] = {f + 10.1f, f + 10.2f, f + 10.3f};
      m.texCoords[i] = {f + 20.1f, f + 20.2f};
    }
    m.faces[0] = {2, 0, 1, 7};
  }

  static std::vector<float> VertexFloats(IDirect3DVertexBuffer8* vb) {
    BYTE* data = nullptr;
    vb->Lock(0, 0, &data, 0);
    std::vector<float> out(vb->data_.size() / 4);
    std::memcpy(out.data(), data, out.size() * 4);
    vb->Unlock();
    return out;
  }

  std::vector<std::string> Logged(void (*call)(MeshObj&, RenderDevice*), MeshObj& m) {
    zelk4::d3d8::ClearCallLog();
    zelk4::d3d8::EnableCallLog(true);
    call(m, &rd);
    zelk4::d3d8::EnableCallLog(false);
    return zelk4::d3d8::CallLog();
  }

  MeshObj mesh;
};

TEST(MeshFormat, FlagsChooseElementsAndStride) {
  MeshObj m;
  EXPECT_EQ(m.VertexFormat(), 0x112u);  // a new mesh: XYZ | NORMAL | TEX1
  EXPECT_EQ(m.VertexStride(), 32u);
  // mask bits: 0 mapping, 1 normals, 2 diffuse
  const struct { uint32_t mask; DWORD format; UINT stride; } table[] = {
      {0, 0x002, 12}, {1, 0x102, 20}, {2, 0x012, 24}, {3, 0x112, 32},
      {4, 0x042, 16}, {5, 0x142, 24}, {6, 0x052, 28}, {7, 0x152, 36},
  };
  for (const auto& row : table) {
    m.SetVertexFormat(row.mask);
    EXPECT_EQ(m.VertexFormat(), row.format) << "mask " << row.mask;
    EXPECT_EQ(m.VertexStride(), row.stride) << "mask " << row.mask;
  }
  // The scene's loop sets every mesh; high bits are ignored.
  D3DDemoEngineScene scene;
  scene.AddMesh();
  scene.AddMesh();
  scene.SetVertexFormat(0xF8 | 5);
  for (uint32_t i = 0; i < 2; ++i) {
    EXPECT_EQ(scene.meshes[i]->useTexCoords, 1);
    EXPECT_EQ(scene.meshes[i]->useNormals, 0);
    EXPECT_EQ(scene.meshes[i]->useDiffuse, 1);
  }
}

TEST_F(MeshBuffers, UploadInterleavesTheArraysInFormatOrder) {
  Fill(mesh);
  mesh.SetVertexFormat(7);
  const auto log = Logged([](MeshObj& m, RenderDevice* d) { m.Upload(d); }, mesh);
  ASSERT_NE(mesh.vertexBuffer, nullptr);
  ASSERT_NE(mesh.indexBuffer, nullptr);
  // Managed vertex buffer of 3 x 36 bytes; write-only 16-bit managed index buffer of 6 bytes.
  EXPECT_EQ(log[0].rfind("CreateVertexBuffer(108, 0, XYZ|NORMAL|DIFFUSE|TEX1, MANAGED)", 0), 0u) << log[0];
  bool indexBufferCreated = false;
  for (const auto& line : log) {
    indexBufferCreated |= line.rfind("CreateIndexBuffer(6, WRITEONLY, INDEX16, MANAGED)", 0) == 0;
  }
  EXPECT_TRUE(indexBufferCreated);

  const std::vector<float> v = VertexFloats(mesh.vertexBuffer);
  ASSERT_EQ(v.size(), 27u);
  for (uint32_t i = 0; i < 3; ++i) {
    const float* e = &v[9 * i];
    const float f = static_cast<float>(i);
    EXPECT_EQ(e[0], f + 0.1f);
    EXPECT_EQ(e[2], f + 0.3f);
    EXPECT_EQ(e[3], f + 10.1f);  // normal
    EXPECT_EQ(e[5], f + 10.3f);
    uint32_t colour;
    std::memcpy(&colour, &e[6], 4);
    EXPECT_EQ(colour, 0xFF000000u | i);
    EXPECT_EQ(e[7], f + 20.1f);  // mapping
    EXPECT_EQ(e[8], f + 20.2f);
  }
  uint16_t indices[3];
  std::memcpy(indices, mesh.indexBuffer->data_.data(), 6);
  EXPECT_EQ(indices[0], 2);  // a, b, c in face order; the flags stay behind
  EXPECT_EQ(indices[1], 0);
  EXPECT_EQ(indices[2], 1);

  // Only the position when every flag is clear.
  mesh.SetVertexFormat(0);
  mesh.Upload(&rd);
  EXPECT_EQ(VertexFloats(mesh.vertexBuffer),
            (std::vector<float>{0.1f, 0.2f, 0.3f, 1.1f, 1.2f, 1.3f, 2.1f, 2.2f, 2.3f}));
}

TEST_F(MeshBuffers, UploadAgainReplacesBothBuffers) {
  Fill(mesh);
  mesh.Upload(&rd);
  IDirect3DVertexBuffer8* firstVertices = mesh.vertexBuffer;
  firstVertices->AddRef();  // keep it alive to see its count drop
  mesh.Upload(&rd);
  EXPECT_NE(mesh.vertexBuffer, firstVertices);
  EXPECT_EQ(firstVertices->Release(), 0u);  // the mesh had let go of it
  EXPECT_NE(mesh.indexBuffer, nullptr);
}

TEST_F(MeshBuffers, RefillNeverWritesPastTheUploadedBuffer) {
  Fill(mesh);
  mesh.SetVertexFormat(0);  // 12-byte vertices
  mesh.Upload(&rd);
  mesh.vertices[0].x = 5.0f;
  mesh.RefillVertexBuffer();
  EXPECT_EQ(VertexFloats(mesh.vertexBuffer)[0], 5.0f);
  // Grown to 36 bytes without an upload: only the one whole vertex that fits is written.
  mesh.SetVertexFormat(7);
  mesh.RefillVertexBuffer();
  const std::vector<float> v = VertexFloats(mesh.vertexBuffer);
  ASSERT_EQ(v.size(), 9u);
  EXPECT_EQ(v[3], 10.1f);
  EXPECT_EQ(v[0 + 8], 20.2f);
  // Every mesh of a scene, before any upload: nothing to write, nothing happens.
  D3DDemoEngineScene scene;
  Fill(*scene.meshes[scene.AddMesh()]);
  scene.RefillVertexBuffers();
  EXPECT_EQ(scene.meshes[0]->vertexBuffer, nullptr);
}

TEST_F(MeshBuffers, FlagWithoutItsArrayUploadsZeros) {
  mesh.AllocateVertices(2);  // a point cloud built by hand: no normals, no mapping
  mesh.vertices[1] = {1.0f, 2.0f, 3.0f, 0};
  mesh.Upload(&rd);
  const std::vector<float> v = VertexFloats(mesh.vertexBuffer);
  ASSERT_EQ(v.size(), 16u);
  EXPECT_EQ(v[8], 1.0f);
  EXPECT_EQ(v[11], 0.0f);
  EXPECT_EQ(v[15], 0.0f);
}

TEST_F(MeshBuffers, DrawCallsBindTheMeshAndDrawInItsOwnScene) {
  Fill(mesh);
  mesh.Upload(&rd);
  auto log = Logged([](MeshObj& m, RenderDevice* d) { m.Draw(d); }, mesh);
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[0], "BeginScene()");
  EXPECT_EQ(log[1].rfind("SetStreamSource(0, ", 0), 0u);
  EXPECT_NE(log[1].find(", 32)"), std::string::npos) << log[1];
  EXPECT_EQ(log[2], "SetVertexShader(XYZ|NORMAL|TEX1)");
  EXPECT_EQ(log[3].rfind("SetIndices(", 0), 0u);
  EXPECT_NE(log[3].find(", 0)"), std::string::npos) << log[3];
  EXPECT_EQ(log[4], "DrawIndexedPrimitive(TRIANGLELIST, 0, 3, 0, 1)");
  EXPECT_EQ(log[5], "EndScene()");

  // Other primitive types are indexed; point lists draw one point per vertex.
  log = Logged([](MeshObj& m, RenderDevice* d) { m.DrawAs(d, D3DPT_LINELIST); }, mesh);
  EXPECT_EQ(log[4], "DrawIndexedPrimitive(LINELIST, 0, 3, 0, 1)");
  log = Logged([](MeshObj& m, RenderDevice* d) { m.DrawAs(d, D3DPT_POINTLIST); }, mesh);
  EXPECT_EQ(log[4], "DrawPrimitive(POINTLIST, 0, 3)");

  // With material: material, texture, world, then the draw.
  mesh.worldMatrix._41 = 0.25f;
  log = Logged([](MeshObj& m, RenderDevice* d) { m.DrawWithMaterial(d); }, mesh);
  size_t material = log.size(), world = log.size(), begin = log.size();
  for (size_t i = 0; i < log.size(); ++i) {
    if (log[i].rfind("SetMaterial(", 0) == 0) material = i;
    if (log[i].rfind("SetTransform(WORLD,", 0) == 0) world = i;
    if (log[i] == "BeginScene()") begin = i;
  }
  EXPECT_LT(material, world);
  EXPECT_LT(world, begin);
  D3DMATRIX w;
  rd.device->GetTransform(D3DTS_WORLD, &w);
  EXPECT_EQ(w.m[3][0], 0.25f);
}

TEST_F(MeshBuffers, MeshWithoutFacesHasNoIndexBufferAndDrawsPoints) {
  mesh.AllocateVertices(5);
  for (uint32_t i = 0; i < 5; ++i) mesh.vertices[i] = {0.1f * static_cast<float>(i) - 0.2f, 0.0f, 0.5f, 0};
  mesh.SetVertexFormat(0);
  D3DDemoEngineScene scene;  // a mesh without vertices next to it gets no buffers at all
  scene.AddMesh();
  scene.UploadMeshes(&rd);
  EXPECT_EQ(scene.meshes[0]->vertexBuffer, nullptr);
  const auto log = Logged([](MeshObj& m, RenderDevice* d) { m.Upload(d); }, mesh);
  for (const auto& line : log) EXPECT_EQ(line.find("CreateIndexBuffer"), std::string::npos);
  EXPECT_NE(mesh.vertexBuffer, nullptr);
  EXPECT_EQ(mesh.indexBuffer, nullptr);

  rd.ClearColor(255, 0, 0, 0);
  rd.DisableLighting();
  D3DMATRIX identity{};
  identity.m[0][0] = identity.m[1][1] = identity.m[2][2] = identity.m[3][3] = 1.0f;
  rd.SetWorldMatrix(&identity);
  rd.SetViewMatrix(&identity);
  rd.device->SetTransform(D3DTS_PROJECTION, &identity);
  rd.SetTexture(nullptr);
  mesh.DrawAs(&rd, D3DPT_POINTLIST);
  const std::vector<uint32_t> picture = PresentedPicture();
  size_t lit = 0;
  for (uint32_t p : picture) lit += (p & 0xFFFFFF) != 0;
  EXPECT_EQ(lit, 5u);  // one pixel per vertex
}

TEST_F(MeshBuffers, VerticesBeyondSixteenBitIndicesRefuseTheUpload) {
  CaptureFatalErrors capture;
  mesh.AllocateVertices(65537);
  mesh.AllocateFaces(1);
  try {
    mesh.Upload(&rd);
    FAIL() << "the upload went through";
  } catch (const FatalEnd& e) {
    EXPECT_EQ(e.caption, "D3D error");
    EXPECT_EQ(e.text, "Unable to upload object (can't create index buffer)");
  }
  // Without faces nothing needs indexing: the vertices go up.
  mesh.AllocateFaces(0);
  mesh.Upload(&rd);
  EXPECT_NE(mesh.vertexBuffer, nullptr);
  mesh.AllocateVertices(65536);
  mesh.AllocateFaces(1);
  mesh.Upload(&rd);
  EXPECT_NE(mesh.indexBuffer, nullptr);
}

TEST(MeshBuffersFatal, VertexBufferFailureEndsTheProgram) {
  EXPECT_EXIT(
      {
        zelk4::win::SetMessageBoxesEnabled(false);
        zelk4::d3d8::PresentOffscreen();
        RenderDevice rd{};
        rd.Init(nullptr, 640, 480, 0);
        MeshObj m;
        m.vertexCount = 10u << 20;  // 320 MB of vertex buffer: more than the device gives
        m.Upload(&rd);
      },
      ::testing::ExitedWithCode(1), "D3D error: Unable to upload object \\(can't create vertex buffer\\)");
}

}  // namespace
