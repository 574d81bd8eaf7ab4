// The 3DS loader on small files the tests write, one per branch worth pinning.
#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/win/win.h"
#include "scene/chunk_writer.h"
#include "scene/scene.h"

namespace {

using zelk4::test::ChunkWriter;
using zelk4::test::Key3ds;

class SceneLoad : public ::testing::Test {
 protected:
  void SetUp() override { zelk4::win::SetMessageBoxesEnabled(false); }

  // Loads bytes with textures off (no device needed).
  static void Load(D3DDemoEngineScene& scene, const std::vector<uint8_t>& bytes) {
    scene.SetLoadTextures(0);
    scene.Load3dsFromMemory(nullptr, bytes.data(), bytes.size());
  }
};

// One triangle mesh "Tri" with a material group, inside MDATA; the caller closes M3DMAGIC.
void WriteTriangle(ChunkWriter& w, const std::string& name, const std::vector<float>& points,
                   const std::vector<std::string>& groups = {}) {
  w.Begin(0x4000).Str(name).Begin(0x4100).Points(points).BeginFaces({0, 1, 2}, 7);
  for (const std::string& g : groups) w.MaterialGroup(g, 1);
  w.End().End().End();
}

TEST_F(SceneLoad, MeshAxesScaleMappingAndNormals) {
  ChunkWriter w;
  w.Begin(0x4D4D).Begin(0x0002).U32(3).End().Begin(0x3D3D);
  // File (x, y, z): the engine's y is the file's z. Largest distance 4 (the point (0, 0, 4)).
  w.Begin(0x4000).Str("Tri").Begin(0x4100);
  w.Points({0, 0, 0, 2, 0, 0, 0, 0, 4});
  w.BeginFaces({0, 1, 2}, 7).End();
  w.TexVerts({0.5f, 0.25f, 1.0f, 0.0f, 0.0f, 1.0f});
  w.Begin(0x4160).U32(0).End();  // local axes: stepped over
  w.End().End();
  w.End().End();
  D3DDemoEngineScene scene;
  Load(scene, w.bytes);

  ASSERT_EQ(scene.meshCount, 1u);
  const MeshObj& m = *scene.meshes[0];
  EXPECT_STREQ(m.name, "Tri");
  EXPECT_EQ(m.nodeId, 0);
  EXPECT_EQ(m.parentIndex, -1);
  ASSERT_EQ(m.vertexCount, 3u);
  EXPECT_FLOAT_EQ(scene.sceneScale, 0.25f);
  EXPECT_FLOAT_EQ(m.vertices[1].x, 0.5f);
  EXPECT_FLOAT_EQ(m.vertices[2].y, 1.0f);
  EXPECT_FLOAT_EQ(m.vertices[2].z, 0.0f);
  EXPECT_EQ(m.vertices[0].diffuse, 0u);
  ASSERT_EQ(m.faceCount, 1u);
  EXPECT_EQ(m.faces[0].c, 2);
  EXPECT_EQ(m.faces[0].flags, 7);
  EXPECT_FLOAT_EQ(m.texCoords[0].u, 0.5f);
  EXPECT_FLOAT_EQ(m.texCoords[0].v, -0.25f);
  EXPECT_FLOAT_EQ(m.texCoords[2].v, -1.0f);
  // Engine triangle (0,0,0), (0.5,0,0), (0,1,0): (A-B) x (A-C) = (0,0,0.5), negated and unit.
  for (uint32_t i = 0; i < 3; ++i) {
    EXPECT_FLOAT_EQ(m.vertexNormals[i].z, -1.0f) << i;
    EXPECT_EQ(m.vertexNormals[i].x, 0.0f);
  }
  // No material: the default one, and the mesh's own empty texture.
  EXPECT_FLOAT_EQ(m.material.d3dMaterial.Diffuse.a, 0.5f);
  EXPECT_FLOAT_EQ(m.material.d3dMaterial.Ambient.r, 1.0f);
  EXPECT_FLOAT_EQ(m.material.d3dMaterial.Power, 1.0f);
  EXPECT_EQ(m.material.texture, &m.emptyTexture);
  EXPECT_EQ(scene.keyframer, nullptr);
}

TEST_F(SceneLoad, MaterialColoursAndFirstPrefixMatch) {
  ChunkWriter w;
  w.Begin(0x4D4D).Begin(0x3D3D);
  w.Begin(0xAFFF).StrChunk(0xA000, "M");
  w.Begin(0xA010).Color24(255, 0, 0).End();
  w.Begin(0xA020).Color24(0, 255, 0).End();
  w.Begin(0xA030).Color24(0, 0, 255).End();
  // A colour under the shininess chunk still lands in the last selected colour (specular).
  w.Begin(0xA040).Begin(0x0030).U16(50).End().Color24(51, 102, 153).End();
  w.Begin(0xA200).Begin(0xA351).U16(0).End().StrChunk(0xA300, "wall.jpg").End();
  w.End();
  w.Begin(0xAFFF).StrChunk(0xA000, "M2").Begin(0xA020).Color24(9, 9, 9).End().End();
  WriteTriangle(w, "A", {1, 0, 0, 0, 1, 0, 0, 0, 1}, {"M2"});
  WriteTriangle(w, "B", {1, 0, 0, 0, 1, 0, 0, 0, 1}, {"other"});
  // Sub-chunks of the face array are met as siblings: the last group's name wins.
  WriteTriangle(w, "C", {1, 0, 0, 0, 1, 0, 0, 0, 1}, {"other", "M"});
  w.End().End();
  D3DDemoEngineScene scene;
  Load(scene, w.bytes);

  ASSERT_EQ(scene.materialCount, 2u);
  const SceneMaterial& m = *scene.materials[0];
  EXPECT_STREQ(m.name, "M");
  EXPECT_STREQ(m.textureName, "wall.jpg");
  EXPECT_FLOAT_EQ(m.d3dMaterial.Ambient.r, 1.0f);
  EXPECT_FLOAT_EQ(m.d3dMaterial.Ambient.a, 1.0f);
  EXPECT_FLOAT_EQ(m.d3dMaterial.Diffuse.g, 1.0f);
  EXPECT_FLOAT_EQ(m.d3dMaterial.Diffuse.a, 0.5f);
  EXPECT_NEAR(m.d3dMaterial.Specular.r, 0.2f, 1e-6f);
  EXPECT_NEAR(m.d3dMaterial.Specular.b, 0.6f, 1e-6f);
  EXPECT_FLOAT_EQ(m.d3dMaterial.Specular.a, 1.0f);
  EXPECT_FLOAT_EQ(m.d3dMaterial.Power, 10.0f);
  EXPECT_EQ(m.texture->d3dTexture, nullptr);  // textures off: the empty record stays

  ASSERT_EQ(scene.meshCount, 3u);
  EXPECT_STREQ(scene.meshes[0]->materialName, "M2");
  EXPECT_EQ(scene.meshes[0]->material.texture, m.texture);  // "M" is a prefix of "M2"
  EXPECT_FLOAT_EQ(scene.meshes[0]->material.d3dMaterial.Power, 10.0f);
  EXPECT_EQ(scene.meshes[1]->material.texture, &scene.meshes[1]->emptyTexture);
  EXPECT_FLOAT_EQ(scene.meshes[1]->material.d3dMaterial.Power, 1.0f);
  EXPECT_STREQ(scene.meshes[2]->materialName, "M");
  EXPECT_EQ(scene.meshes[2]->nodeId, 2);
}

// KFDATA with a segment, mesh nodes, a camera, its target and a light.
void WriteKeyframer(ChunkWriter& w) {
  w.Begin(0xB000);
  w.Begin(0xB00A).U16(5).Str("MAXSCENE").U16(100).End();  // keyframer header: stepped over
  w.Begin(0xB008).U32(0).U32(100).End();
  // Node header before node id: the id is still 0xFFFF and links no mesh.
  w.Begin(0xB002).NodeHeader("Orphan", 0).Begin(0xB030).U16(1).End().End();
  w.Begin(0xB002).Begin(0xB030).U16(1).End().NodeHeader("Child", 0);
  w.Begin(0xB013).F32(1).F32(2).F32(3).End();
  w.Track(0xB020, {{0, {1, 2, 3}}, {10, {4, 5, 6}, 0x0005}});
  w.Track(0xB021, {{0, {0.5f, 0, 0, 1}}});
  w.Track(0xB022, {{0, {1, 2, 3}}});
  w.End();
  w.Begin(0xB003).Begin(0xB010).Str("Cam").U16(0).U16(0).U16(0xFFFF).End();
  w.Track(0xB020, {{0, {10, 20, 30}}, {100, {20, 40, 60}}});
  w.Track(0xB023, {{0, {45}, 0x0001}});
  w.Track(0xB024, {{0, {5}}});
  w.Track(0xB025, {{0, {1, 1, 1}}});  // colour under a camera: stepped over
  w.End();
  w.Begin(0xB004).NodeHeader("Cam.Target").Track(0xB020, {{0, {1, 2, 3}}}).Track(0xB023, {{0, {9}}}).End();
  w.Begin(0xB005).NodeHeader("Lamp").Track(0xB020, {{0, {7, 8, 9}}}).Track(0xB025, {{0, {0.1f, 0.2f, 0.3f}}});
  w.End();
  w.Begin(0xB006).End();  // a target light: stepped over
  w.End();
}

TEST_F(SceneLoad, KeyframerNodesTracksAndHierarchy) {
  ChunkWriter w;
  w.Begin(0x4D4D).Begin(0x3D3D);
  WriteTriangle(w, "Parent", {2, 0, 0, 0, 1, 0, 0, 0, 1});
  WriteTriangle(w, "Child", {1, 0, 0, 0, 1, 0, 0, 0, 1});
  w.End();
  WriteKeyframer(w);
  w.End();
  D3DDemoEngineScene scene;
  Load(scene, w.bytes);

  ASSERT_NE(scene.keyframer, nullptr);
  const Keyframer& kf = *scene.keyframer;
  EXPECT_EQ(kf.endFrame, 100u);
  ASSERT_EQ(kf.meshTrackCount, 2u);
  EXPECT_EQ(scene.meshes[0]->parentIndex, -1);
  EXPECT_EQ(scene.meshes[1]->parentIndex, 0);
  const MeshTrack& child = *kf.meshTracks[1];
  EXPECT_STREQ(child.name, "Child");
  EXPECT_FLOAT_EQ(child.pivot[1], 3.0f);
  EXPECT_FLOAT_EQ(child.pivot[2], 2.0f);
  // Spline flags 0x0005 carry two extra floats, skipped before the values.
  ASSERT_EQ(child.posX->keyCount, 2);
  EXPECT_FLOAT_EQ(child.posX->last->value, 4.0f);
  EXPECT_FLOAT_EQ(child.posY->last->value, 6.0f);
  EXPECT_FLOAT_EQ(child.posZ->last->value, 5.0f);
  EXPECT_FLOAT_EQ(child.posX->last->frame, 10.0f);
  EXPECT_FLOAT_EQ(child.scaleY->first->value, 3.0f);
  ASSERT_EQ(child.rotation->keyCount, 1u);
  // Axis (0, 0, 1) in the file is the engine's y axis.
  EXPECT_NEAR(child.rotation->first->orientation.y, std::sin(-0.25f), 1e-6f);

  ASSERT_EQ(kf.cameraCount, 1u);
  const CameraTrack& cam = *kf.cameraTracks[0];
  EXPECT_STREQ(cam.name, "Cam");
  EXPECT_FLOAT_EQ(cam.fov->first->value, 45.0f);
  EXPECT_FLOAT_EQ(cam.roll->first->value, 5.0f);
  ASSERT_EQ(kf.targetCount, 1u);
  EXPECT_EQ(kf.targetTracks[0]->fov->keyCount, 0);  // fov under a target is stepped over
  ASSERT_EQ(kf.lightCount, 1u);
  EXPECT_FLOAT_EQ(kf.lightTracks[0]->colorB->first->value, 0.3f);
  EXPECT_FLOAT_EQ(kf.lightTracks[0]->posY->first->value, 9.0f);

  // Sampled at the wrapped time, the position in scene units (scale 1/2 here).
  float x = 0, y = 0, z = 0, roll = 0, fov = 0;
  kf.EvaluateCamera(150.0f, scene.sceneScale, kf.endFrame, 0, &x, &y, &z, &roll, &fov);
  EXPECT_FLOAT_EQ(x, 7.5f);
  EXPECT_FLOAT_EQ(y, 22.5f);
  EXPECT_FLOAT_EQ(z, 15.0f);
  EXPECT_FLOAT_EQ(fov, 45.0f);
  EXPECT_FLOAT_EQ(roll, 5.0f);
  kf.EvaluateTarget(0.0f, 1.0f, kf.endFrame, 0, &x, &y, &z);
  EXPECT_FLOAT_EQ(y, 3.0f);
}

// The walk names a mesh as it starts each sub-chunk: a tri object without any keeps the empty
// name and node id of a new mesh, so no keyframer node links it, while the ordinal still counts it.
TEST_F(SceneLoad, TriObjectWithoutSubChunksStaysUnnamedAndUnlinked) {
  ChunkWriter w;
  w.Begin(0x4D4D).Begin(0x3D3D);
  WriteTriangle(w, "First", {1, 0, 0, 0, 1, 0, 0, 0, 1});
  w.Begin(0x4000).Str("Bare").Begin(0x4100).End().End();
  WriteTriangle(w, "Third", {1, 0, 0, 0, 1, 0, 0, 0, 1});
  w.End();
  w.Begin(0xB000).Begin(0xB008).U32(0).U32(10).End();
  for (uint16_t id : {1, 2}) w.Begin(0xB002).Begin(0xB030).U16(id).End().NodeHeader("N", 0).End();
  w.End().End();
  D3DDemoEngineScene scene;
  Load(scene, w.bytes);

  ASSERT_EQ(scene.meshCount, 3u);
  EXPECT_STREQ(scene.meshes[1]->name, "");
  EXPECT_EQ(scene.meshes[1]->nodeId, -1);
  EXPECT_EQ(scene.meshes[1]->parentIndex, -1);
  EXPECT_STREQ(scene.meshes[2]->name, "Third");
  EXPECT_EQ(scene.meshes[2]->nodeId, 2);
  EXPECT_EQ(scene.meshes[2]->parentIndex, 0);
}

TEST_F(SceneLoad, KeyframerBeforeMeshesLinksNoParent) {
  ChunkWriter w;
  w.Begin(0x4D4D);
  WriteKeyframer(w);
  w.Begin(0x3D3D);
  WriteTriangle(w, "Parent", {2, 0, 0, 0, 1, 0, 0, 0, 1});
  WriteTriangle(w, "Child", {1, 0, 0, 0, 1, 0, 0, 0, 1});
  w.End().End();
  D3DDemoEngineScene scene;
  Load(scene, w.bytes);
  ASSERT_EQ(scene.meshCount, 2u);
  EXPECT_EQ(scene.meshes[1]->parentIndex, -1);
  EXPECT_EQ(scene.keyframer->meshTrackCount, 2u);
}

TEST_F(SceneLoad, OversizedNamesCountsAndIndicesAreCut) {
  const std::string longName(100, 'n');
  ChunkWriter w;
  w.Begin(0x4D4D).Begin(0x3D3D);
  w.Begin(0x4000).Str(longName).Begin(0x4100).Points({1, 0, 0, 0, 1, 0});
  w.BeginFaces({0, 1, 9}).MaterialGroup(longName, 1).End();
  w.TexVerts({1, 1, 2, 2, 3, 3, 4, 4});  // four pairs for two vertices
  // A face array claiming 50 faces with only one whole: cut to one.
  w.Begin(0x4120).U16(50).U16(0).U16(1).U16(0).U16(0).U16(5).End();
  w.End().End();
  w.End().End();
  D3DDemoEngineScene scene;
  Load(scene, w.bytes);

  const MeshObj& m = *scene.meshes[0];
  EXPECT_EQ(std::string(m.name), longName.substr(0, 63));
  EXPECT_EQ(std::string(m.materialName), longName.substr(0, 63));
  EXPECT_FLOAT_EQ(m.texCoords[1].v, -2.0f);
  EXPECT_EQ(m.faceCount, 1u);
  EXPECT_EQ(m.faces[0].a, 0);
}

TEST_F(SceneLoad, FaceOutsideTheVerticesIsKeptButAddsNoNormal) {
  ChunkWriter w;
  w.Begin(0x4D4D).Begin(0x3D3D);
  w.Begin(0x4000).Str("T").Begin(0x4100).Points({0, 0, 0, 1, 0, 0, 0, 0, 1, 5, 5, 5});
  w.BeginFaces({0, 1, 2, 0, 1, 400}).End();
  w.End().End();
  w.End().End();
  D3DDemoEngineScene scene;
  Load(scene, w.bytes);
  const MeshObj& m = *scene.meshes[0];
  EXPECT_EQ(m.faceCount, 2u);
  EXPECT_EQ(m.faces[1].c, 400);
  EXPECT_FLOAT_EQ(m.vertexNormals[0].z, -1.0f);
  // The unused vertex points up.
  EXPECT_EQ(m.vertexNormals[3].x, 0.0f);
  EXPECT_EQ(m.vertexNormals[3].y, 1.0f);
  EXPECT_EQ(m.vertexNormals[3].z, 0.0f);
}

TEST_F(SceneLoad, NoVertexAwayFromTheOriginKeepsScaleOne) {
  ChunkWriter w;
  w.Begin(0x4D4D).Begin(0x3D3D);
  WriteTriangle(w, "Dot", {0, 0, 0, 0, 0, 0, 0, 0, 0});
  w.Begin(0x4000).Str("Camera01").Begin(0x4700).F32(1).End().End();  // camera object: skipped
  w.End().End();
  D3DDemoEngineScene scene;
  Load(scene, w.bytes);
  EXPECT_EQ(scene.meshCount, 1u);
  EXPECT_EQ(scene.sceneScale, 1.0f);
  EXPECT_EQ(scene.meshes[0]->vertices[0].x, 0.0f);
}

// Every prefix of a full file loads without reading past the buffer, keeping what is whole.
TEST_F(SceneLoad, EveryTruncationLoadsWhatIsWhole) {
  ChunkWriter w;
  w.Begin(0x4D4D).Begin(0x3D3D);
  w.Begin(0xAFFF).StrChunk(0xA000, "M").Begin(0xA010).Color24(1, 2, 3).End().End();
  WriteTriangle(w, "Parent", {2, 0, 0, 0, 1, 0, 0, 0, 1}, {"M"});
  w.End();
  WriteKeyframer(w);
  w.End();
  for (size_t size = 6; size <= w.bytes.size(); ++size) {
    const std::vector<uint8_t> prefix(w.bytes.begin(), w.bytes.begin() + size);
    D3DDemoEngineScene scene;
    Load(scene, prefix);
    if (scene.meshCount == 1) {
      const MeshObj& m = *scene.meshes[0];
      EXPECT_LE(m.vertexCount, 3u);
      if (m.vertexCount == 3) {
        EXPECT_FLOAT_EQ(m.vertices[0].x, 1.0f) << size;
      }
    }
  }
  D3DDemoEngineScene whole;
  Load(whole, w.bytes);
  EXPECT_EQ(whole.keyframer->lightCount, 1u);
}

TEST_F(SceneLoad, OneMeshLoadKeepsTheLastMesh) {
  ChunkWriter w;
  w.Begin(0x4D4D).Begin(0x3D3D);
  WriteTriangle(w, "First", {1, 0, 0, 0, 1, 0, 0, 0, 1});
  WriteTriangle(w, "Second", {0, 0, 0, 4, 0, 0, 0, 2, 0}, {"M"});
  w.End().End();
  // Bytes after the magic chunk's end are not walked by the one-mesh load.
  w.Begin(0x3D3D);
  WriteTriangle(w, "Beyond", {9, 9, 9, 9, 9, 9, 9, 9, 9});
  w.End();
  MeshObj mesh;
  mesh.Load3dsFromMemory(w.bytes.data(), w.bytes.size());
  EXPECT_STREQ(mesh.name, "");
  EXPECT_STREQ(mesh.materialName, "");
  ASSERT_EQ(mesh.vertexCount, 3u);
  EXPECT_FLOAT_EQ(mesh.vertices[1].x, 1.0f);
  EXPECT_FLOAT_EQ(mesh.vertices[2].z, 0.5f);
  EXPECT_EQ(mesh.faces[0].flags, 0);
  EXPECT_FLOAT_EQ(mesh.vertexNormals[0].y, 1.0f);
}

TEST_F(SceneLoad, FatalErrors) {
  const std::vector<uint8_t> notMagic = {0x3D, 0x3D, 6, 0, 0, 0};
  EXPECT_EXIT(
      {
        D3DDemoEngineScene scene;
        Load(scene, notMagic);
      },
      ::testing::ExitedWithCode(1), "Error: Not a .3ds file");
  EXPECT_EXIT(
      {
        D3DDemoEngineScene scene;
        Load(scene, std::vector<uint8_t>{0x4D});
      },
      ::testing::ExitedWithCode(1), "Error: Not a .3ds file");
  EXPECT_EXIT(
      {
        MeshObj mesh;
        mesh.Load3dsFromMemory(notMagic.data(), notMagic.size());
      },
      ::testing::ExitedWithCode(1), "Not a .3ds file: Unable to load .3ds file");
}

// Writes `count` chunks of one kind under the given parent chunk.
std::vector<uint8_t> ManyChunks(uint16_t parent, uint16_t child, int count) {
  ChunkWriter w;
  w.Begin(0x4D4D).Begin(parent);
  for (int i = 0; i < count; ++i) w.Begin(child).End();
  w.End().End();
  return w.bytes;
}

TEST_F(SceneLoad, TableLimits) {
  {
    D3DDemoEngineScene scene;
    Load(scene, ManyChunks(0xB000, 0xB003, 1023));
    EXPECT_EQ(scene.keyframer->cameraCount, 1023u);
  }
  EXPECT_EXIT(
      {
        D3DDemoEngineScene scene;
        Load(scene, ManyChunks(0xB000, 0xB003, 1024));
      },
      ::testing::ExitedWithCode(1), "Keyframer error: Too many camera tracks in .3ds file");
  {
    D3DDemoEngineScene scene;
    Load(scene, ManyChunks(0x3D3D, 0xAFFF, 1024));
    EXPECT_EQ(scene.materialCount, 1024u);
  }
  EXPECT_EXIT(
      {
        D3DDemoEngineScene scene;
        Load(scene, ManyChunks(0x3D3D, 0xAFFF, 1025));
      },
      ::testing::ExitedWithCode(1), "Too many materials in scene: Maximum number of materials in scene reached");
  ChunkWriter w;
  w.Begin(0x4D4D).Begin(0x3D3D).Begin(0x4000).Str("");
  for (int i = 0; i < 1025; ++i) w.Begin(0x4100).End();
  w.End().End().End();
  EXPECT_EXIT(
      {
        D3DDemoEngineScene scene;
        Load(scene, w.bytes);
      },
      ::testing::ExitedWithCode(1), "Too many meshobjs in scene: Maximum number of meshes in scene reached");
}

}  // namespace
