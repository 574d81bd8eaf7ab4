// Chunk ids of the 3DS format, named as the format names them: the ones the scene loader reads,
// and the few more a writer emits around them (versions, scale, smoothing, mesh matrix).
#pragma once

#include <cstdint>

namespace scene3ds::chunk_id {

enum : uint16_t {
  kColor24 = 0x0011,
  kIntPercentage = 0x0030,
  kM3dVersion = 0x0002,
  kMasterScale = 0x0100,
  kM3dMagic = 0x4D4D,
  kMData = 0x3D3D,
  kMeshVersion = 0x3D3E,
  kNamedObject = 0x4000,
  kNTriObject = 0x4100,
  kPointArray = 0x4110,
  kFaceArray = 0x4120,
  kMshMatGroup = 0x4130,
  kTexVerts = 0x4140,
  kSmoothGroup = 0x4150,
  kMeshMatrix = 0x4160,
  kNCamera = 0x4700,
  kMatEntry = 0xAFFF,
  kMatName = 0xA000,
  kMatAmbient = 0xA010,
  kMatDiffuse = 0xA020,
  kMatSpecular = 0xA030,
  kMatShininess = 0xA040,
  kMatTransparency = 0xA050,
  kMatTexMap = 0xA200,
  kMatMapName = 0xA300,
  kKfData = 0xB000,
  kObjectNodeTag = 0xB002,
  kCameraNodeTag = 0xB003,
  kTargetNodeTag = 0xB004,
  kLightNodeTag = 0xB005,
  kKfSeg = 0xB008,
  kKfCurtime = 0xB009,
  kKfHdr = 0xB00A,
  kNodeHdr = 0xB010,
  kPivot = 0xB013,
  kPosTrackTag = 0xB020,
  kRotTrackTag = 0xB021,
  kSclTrackTag = 0xB022,
  kFovTrackTag = 0xB023,
  kRollTrackTag = 0xB024,
  kColTrackTag = 0xB025,
  kNodeId = 0xB030,
};

}  // namespace scene3ds::chunk_id
