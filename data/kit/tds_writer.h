// A 3DS scene writer. It emits the chunks a 3DS reader walks: the editor data (materials with
// colours and a texture map, triangle meshes with points, mapping coordinates, faces, material
// groups, smoothing groups and local axes, camera objects) and the keyframer (segment, mesh nodes
// with id, header, pivot, position, rotation and scale tracks, camera nodes with position, field
// of view and roll tracks, camera target nodes with position tracks).
//
// Coordinates are the file's own: z points up. Mesh node i is written with node id i and drives
// mesh i, so meshes and mesh nodes are paired by index; a node's parent is a mesh index or -1.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "kit/byte_writer.h"
#include "kit/picture.h"

namespace zelk4::kit {

struct Vec3 {
  float x = 0, y = 0, z = 0;
};

struct TdsFace {
  uint16_t a = 0, b = 0, c = 0;
  uint16_t flags = 7;  // all three edges visible
};

struct TdsMaterial {
  std::string name;  // no material name may be a prefix of another: readers match by prefix
  Rgb ambient, diffuse, specular;
  uint16_t shininessPercent = 20;
  uint16_t transparencyPercent = 0;
  std::string textureFile;  // empty: no texture map
};

struct TdsMesh {
  std::string name;
  std::vector<Vec3> points;
  std::vector<std::array<float, 2>> uv;  // empty, or one pair per point
  std::vector<TdsFace> faces;
  std::string material;
  Vec3 origin;  // local axis origin
};

// One key. `values` holds 1 (fov, roll), 3 (position, scale) or 4 (rotation: angle in radians,
// then the axis) floats. Spline parameters are written for each set bit of `splineFlags`
// (1 tension, 2 continuity, 4 bias, 8 ease to, 16 ease from).
struct TdsKey {
  uint32_t frame = 0;
  std::array<float, 4> values{};
  uint16_t splineFlags = 0;
  std::array<float, 5> spline{};
};
using TdsTrack = std::vector<TdsKey>;

struct TdsMeshNode {
  int16_t parent = -1;  // mesh index of the parent node, or -1
  Vec3 pivot;
  TdsTrack position, rotation, scale;  // rotation keys are relative to the previous key
};

struct TdsCamera {
  std::string name;
  Vec3 eye, target;  // the camera object's own placement (editor data)
  float roll = 0, fov = 45;
  TdsTrack position, fovTrack, rollTrack;  // degrees for fov and roll
  TdsTrack targetPosition;
};

struct TdsScene {
  std::vector<TdsMaterial> materials;
  std::vector<TdsMesh> meshes;
  std::vector<TdsMeshNode> meshNodes;  // one per mesh, same order
  std::vector<TdsCamera> cameras;
  uint32_t startFrame = 0;
  uint32_t endFrame = 100;
};

// The whole file. Throws std::invalid_argument when a mesh has more than 65535 points or faces,
// mapping coordinates do not pair with points, or the node count differs from the mesh count.
Bytes WriteTds(const TdsScene& scene);

}  // namespace zelk4::kit
