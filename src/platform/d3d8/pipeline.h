// Records that pass between the pipeline's stages (private to the library):
//   vertex stage   -> ClipVertex (clip-space position + varyings)
//   clipper        -> ClipVertex polygons inside the clip volume
//   triangle setup -> Triangle (fixed-point screen vertices, plane equations)
//   pixel stage    -> PixelState (everything the per-pixel work reads, frozen per draw)
#pragma once

#include <array>
#include <cstdint>

#include "platform/d3d8/d3d8.h"

namespace zelk4::d3d8 {

constexpr int kMaxStages = 8;
constexpr int kMaxMipLevels = 16;

// Varyings: values interpolated across a primitive. Colours are on the 0..255 scale.
constexpr int kDiffuseSlot = 0;   // r, g, b, a
constexpr int kSpecularSlot = 4;  // r, g, b, a
constexpr int kFirstTexSlot = 8;  // then 4 per stage that samples a texture
constexpr int kMaxVaryings = kFirstTexSlot + 4 * kMaxStages;

struct ClipVertex {
  float pos[4];  // x, y, z, w in clip space
  float eyeDistance;  // from the camera, for scaled points
  float var[kMaxVaryings];
};

// Where each element sits in a vertex of a flexible vertex format.
struct FvfLayout {
  bool valid = false;
  bool pretransformed = false;  // XYZRHW: x, y in pixels, z, 1/w
  UINT stride = 0;
  int normalOffset = -1;
  int pointSizeOffset = -1;
  int diffuseOffset = -1;
  int specularOffset = -1;
  int texCount = 0;
  std::array<int, 8> texOffset{};
  std::array<int, 8> texDims{};  // 1 to 4 floats
};
FvfLayout DecodeFvf(DWORD fvf);

struct StageSetup {
  DWORD colorOp = D3DTOP_DISABLE;
  DWORD colorArg1 = D3DTA_TEXTURE;
  DWORD colorArg2 = D3DTA_CURRENT;
  DWORD alphaOp = D3DTOP_DISABLE;
  DWORD alphaArg1 = D3DTA_TEXTURE;
  DWORD alphaArg2 = D3DTA_CURRENT;
  bool hasTexture = false;
  // A 2D texture's levels from the most detailed allowed one (MAXMIPLEVEL) down; the queue
  // holds a reference to the texture while drawing may still read them.
  IDirect3DSurface8* const* levels = nullptr;
  int levelCount = 0;
  IDirect3DCubeTexture8* cube = nullptr;
  DWORD addressU = D3DTADDRESS_WRAP;
  DWORD addressV = D3DTADDRESS_WRAP;
  DWORD borderColor = 0;
  DWORD magFilter = D3DTEXF_POINT;
  DWORD minFilter = D3DTEXF_POINT;
  DWORD mipFilter = D3DTEXF_NONE;
  float lodBias = 0.0f;
  int texSlot = -1;  // first varying of this stage's coordinates; -1: sampled at (0, 0)
  int texDims = 2;
};

// What the fast span code needs, worked out once per draw (see fast_span.cpp for when it
// applies). Texel rows are 32-bit words.
struct FastLevel {
  const uint32_t* texels = nullptr;
  uint32_t width = 0, height = 0;
  uint32_t pitchWords = 0;
  bool powerOfTwo = false;  // both sizes: wrapping is a mask
};

// Where the fast code takes a colour or alpha result from (on stage 0, CURRENT is the diffuse
// colour).
enum class ColourSource : uint8_t { kTexture, kDiffuse, kProduct };

enum class BlendKind : uint8_t { kNone, kAlpha, kAny };

// How the fast code reads the stage's texture.
enum class Sampling : uint8_t {
  kBilinear,   // minification and magnification both bilinear
  kPoint,      // both point
  kEachPixel,  // mixed filters: the general level choice per pixel
};

struct FastSetup {
  bool applies = false;
  bool textured = false;
  bool opaqueTexels = false;  // X8R8G8B8: alpha reads 255
  bool wrapU = true, wrapV = true;
  ColourSource colourFrom = ColourSource::kDiffuse;
  ColourSource alphaFrom = ColourSource::kDiffuse;
  BlendKind blend = BlendKind::kNone;
  // Pixels that pass the depth test simply take the triangle's colour (no blend, no alpha
  // test): the rasterizer may test depth first and shade only the last winner of each pixel.
  bool deferred = false;
  uint32_t destAlpha = 0;  // X8R8G8B8 targets read alpha 255
  Sampling sampling = Sampling::kBilinear;
  bool lodPerPixel = false;  // the level of detail is worked out per pixel (else 0)
  bool twoLevels = false;    // the linear mip filter may blend two levels
  float topWidth = 0, topHeight = 0;  // the top level's size: texels per unit of u and v
  std::array<FastLevel, kMaxMipLevels> levels{};
  // The top level's alpha blocks (IDirect3DSurface8::alphaBlocks_) under an alpha test that
  // needs more than some alpha, else null.
  const uint8_t* alphaBlocks = nullptr;
  uint32_t alphaBlocksPerRow = 0;
};

struct PixelState {
  IDirect3DSurface8* target = nullptr;
  IDirect3DSurface8* depth = nullptr;  // null: no depth test or write
  int clipX0 = 0, clipY0 = 0, clipX1 = 0, clipY1 = 0;  // pixels drawn: [x0, x1) x [y0, y1)
  bool zTest = false;
  bool zWrite = false;
  DWORD zFunc = D3DCMP_LESSEQUAL;
  bool alphaTest = false;
  DWORD alphaFunc = D3DCMP_ALWAYS;
  int alphaRef = 0;
  bool blend = false;
  DWORD srcBlend = D3DBLEND_ONE;
  DWORD destBlend = D3DBLEND_ZERO;
  DWORD blendOp = D3DBLENDOP_ADD;
  DWORD colorWriteMask = 0xF;
  bool specularAdd = false;
  bool flatShade = false;
  DWORD textureFactor = 0xFFFFFFFF;
  int stageCount = 0;  // stages before the first whose COLOROP is DISABLE
  std::array<StageSetup, kMaxStages> stages{};
  int varyingCount = kFirstTexSlot;
  bool usesSpecular = false;
  bool needsDerivatives = false;  // some stage picks a mip level or a min/mag filter per pixel
  FastSetup fast;
};

}  // namespace zelk4::d3d8
