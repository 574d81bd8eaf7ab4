#include "kit/tds_writer.h"

#include <cmath>
#include <stdexcept>

#include "scene/chunk_ids_3ds.h"

namespace zelk4::kit {
namespace {

using namespace scene3ds::chunk_id;

// Chunks nest; each Open writes the id and a length placeholder, Close fills the length in.
class ChunkWriter {
 public:
  void Open(uint16_t id) {
    open_.push_back(out.Size());
    out.U16(id);
    out.U32(0);
  }
  void Close() {
    const size_t start = open_.back();
    open_.pop_back();
    out.PatchU32(start + 2, static_cast<uint32_t>(out.Size() - start));
  }
  void Vec(const Vec3& v) {
    out.F32(v.x);
    out.F32(v.y);
    out.F32(v.z);
  }
  ByteWriter out;

 private:
  std::vector<size_t> open_;
};

void Colour(ChunkWriter& w, uint16_t which, const Rgb& c) {
  w.Open(which);
  w.Open(kColor24);
  w.out.U8(c.r);
  w.out.U8(c.g);
  w.out.U8(c.b);
  w.Close();
  w.Close();
}

void Percentage(ChunkWriter& w, uint16_t which, uint16_t percent) {
  w.Open(which);
  w.Open(kIntPercentage);
  w.out.U16(percent);
  w.Close();
  w.Close();
}

void Material(ChunkWriter& w, const TdsMaterial& m) {
  w.Open(kMatEntry);
  w.Open(kMatName);
  w.out.CString(m.name);
  w.Close();
  Colour(w, kMatAmbient, m.ambient);
  Colour(w, kMatDiffuse, m.diffuse);
  Colour(w, kMatSpecular, m.specular);
  Percentage(w, kMatShininess, m.shininessPercent);
  Percentage(w, kMatTransparency, m.transparencyPercent);
  if (!m.textureFile.empty()) {
    w.Open(kMatTexMap);
    w.Open(kIntPercentage);  // map strength
    w.out.U16(100);
    w.Close();
    w.Open(kMatMapName);
    w.out.CString(m.textureFile);
    w.Close();
    w.Close();
  }
  w.Close();
}

void Mesh(ChunkWriter& w, const TdsMesh& m) {
  if (m.points.size() > 65535 || m.faces.size() > 65535) {
    throw std::invalid_argument("mesh " + m.name + " has more than 65535 points or faces");
  }
  if (!m.uv.empty() && m.uv.size() != m.points.size()) {
    throw std::invalid_argument("mesh " + m.name + ": mapping coordinates do not pair with points");
  }
  w.Open(kNamedObject);
  w.out.CString(m.name);
  w.Open(kNTriObject);

  w.Open(kPointArray);
  w.out.U16(static_cast<uint32_t>(m.points.size()));
  for (const Vec3& p : m.points) w.Vec(p);
  w.Close();

  if (!m.uv.empty()) {
    w.Open(kTexVerts);
    w.out.U16(static_cast<uint32_t>(m.uv.size()));
    for (const auto& t : m.uv) {
      w.out.F32(t[0]);
      w.out.F32(t[1]);
    }
    w.Close();
  }

  w.Open(kMeshMatrix);  // local axes: identity rotation about the origin
  w.Vec({1, 0, 0});
  w.Vec({0, 1, 0});
  w.Vec({0, 0, 1});
  w.Vec(m.origin);
  w.Close();

  w.Open(kFaceArray);
  w.out.U16(static_cast<uint32_t>(m.faces.size()));
  for (const TdsFace& f : m.faces) {
    w.out.U16(f.a);
    w.out.U16(f.b);
    w.out.U16(f.c);
    w.out.U16(f.flags);
  }
  if (!m.material.empty()) {
    w.Open(kMshMatGroup);
    w.out.CString(m.material);
    w.out.U16(static_cast<uint32_t>(m.faces.size()));
    for (size_t i = 0; i < m.faces.size(); ++i) w.out.U16(static_cast<uint32_t>(i));
    w.Close();
  }
  w.Open(kSmoothGroup);
  for (size_t i = 0; i < m.faces.size(); ++i) w.out.U32(1);
  w.Close();
  w.Close();  // FACE_ARRAY

  w.Close();  // N_TRI_OBJECT
  w.Close();  // NAMED_OBJECT
}

void CameraObject(ChunkWriter& w, const TdsCamera& c) {
  w.Open(kNamedObject);
  w.out.CString(c.name);
  w.Open(kNCamera);
  w.Vec(c.eye);
  w.Vec(c.target);
  w.out.F32(c.roll);
  w.out.F32(2400.0f / c.fov);  // lens in millimetres, the format's usual conversion
  w.Close();
  w.Close();
}

void Track(ChunkWriter& w, uint16_t id, const TdsTrack& keys, int valueCount) {
  w.Open(id);
  w.out.U16(0);  // track flags: no looping
  w.out.U32(0);
  w.out.U32(0);
  w.out.U32(static_cast<uint32_t>(keys.size()));
  for (const TdsKey& k : keys) {
    w.out.U32(k.frame);
    w.out.U16(k.splineFlags);
    for (int bit = 0; bit < 5; ++bit) {
      if (k.splineFlags & (1u << bit)) w.out.F32(k.spline[bit]);
    }
    for (int i = 0; i < valueCount; ++i) w.out.F32(k.values[i]);
  }
  w.Close();
}

void NodeHeader(ChunkWriter& w, const std::string& name, int16_t parent) {
  w.Open(kNodeHdr);
  w.out.CString(name);
  w.out.U16(0x4000);  // flags 1
  w.out.U16(0);       // flags 2
  w.out.U16(static_cast<uint16_t>(parent));
  w.Close();
}

void NodeId(ChunkWriter& w, size_t id) {
  w.Open(kNodeId);
  w.out.U16(static_cast<uint32_t>(id));
  w.Close();
}

}  // namespace

Bytes WriteTds(const TdsScene& scene) {
  if (scene.meshNodes.size() != scene.meshes.size()) {
    throw std::invalid_argument("one keyframer node per mesh is needed");
  }
  ChunkWriter w;
  w.Open(kM3dMagic);
  w.Open(kM3dVersion);
  w.out.U32(3);
  w.Close();

  w.Open(kMData);
  w.Open(kMeshVersion);
  w.out.U32(3);
  w.Close();
  for (const TdsMaterial& m : scene.materials) Material(w, m);
  w.Open(kMasterScale);
  w.out.F32(1.0f);
  w.Close();
  for (const TdsMesh& m : scene.meshes) Mesh(w, m);
  for (const TdsCamera& c : scene.cameras) CameraObject(w, c);
  w.Close();  // MDATA

  w.Open(kKfData);
  w.Open(kKfHdr);
  w.out.U16(5);  // revision
  w.out.CString("vw");
  w.out.U32(scene.endFrame);
  w.Close();
  w.Open(kKfSeg);
  w.out.U32(scene.startFrame);
  w.out.U32(scene.endFrame);
  w.Close();
  w.Open(kKfCurtime);
  w.out.U32(scene.startFrame);
  w.Close();

  size_t nextId = 0;
  for (size_t i = 0; i < scene.meshes.size(); ++i) {
    const TdsMeshNode& n = scene.meshNodes[i];
    w.Open(kObjectNodeTag);
    NodeId(w, nextId++);
    NodeHeader(w, scene.meshes[i].name, n.parent);
    w.Open(kPivot);
    w.Vec(n.pivot);
    w.Close();
    Track(w, kPosTrackTag, n.position, 3);
    Track(w, kRotTrackTag, n.rotation, 4);
    Track(w, kSclTrackTag, n.scale, 3);
    w.Close();
  }
  for (const TdsCamera& c : scene.cameras) {
    w.Open(kCameraNodeTag);
    NodeId(w, nextId++);
    NodeHeader(w, c.name, -1);
    Track(w, kPosTrackTag, c.position, 3);
    Track(w, kFovTrackTag, c.fovTrack, 1);
    Track(w, kRollTrackTag, c.rollTrack, 1);
    w.Close();
    w.Open(kTargetNodeTag);
    NodeId(w, nextId++);
    NodeHeader(w, c.name, -1);
    Track(w, kPosTrackTag, c.targetPosition, 3);
    w.Close();
  }
  w.Close();  // KFDATA
  w.Close();  // M3DMAGIC
  return w.out.Take();
}

}  // namespace zelk4::kit
