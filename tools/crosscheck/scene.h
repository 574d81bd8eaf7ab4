// Cross-check scenes: small pictures described as plain data (textures, state and primitives)
// so that two renderers can draw the same thing: our software Direct3D 8 device, and Mesa's
// OpenGL fixed-function pipeline (llvmpipe through OSMesa) set up to the equivalent state.
//
// State is kept in Direct3D's terms (D3DRS_* / D3DTSS_* values); the OpenGL side translates.
// Only what both pipelines define the same way is used, so any difference in the pictures is
// a fault in one of them, apart from the rounding differences listed in the tool's README.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/d3d8/d3d8.h"

namespace zelk4::crosscheck {

// Every element a vertex may carry; the draw's FVF says which ones are used.
struct Vertex {
  float x = 0, y = 0, z = 0;
  float rhw = 1;  // XYZRHW only: 1/w
  float nx = 0, ny = 0, nz = 0;
  float size = 1;  // PSIZE
  uint32_t diffuse = 0xFFFFFFFF;
  uint32_t specular = 0;
  float u = 0, v = 0;    // set 0
  float u1 = 0, v1 = 0;  // set 1
};

struct TextureDesc {
  uint32_t size = 0;  // square, power of two
  bool cube = false;
  bool renderTarget = false;  // A8R8G8B8 render target, drawn by earlier draws
  D3DFORMAT format = D3DFMT_A8R8G8B8;  // A8R8G8B8 or X8R8G8B8
  std::array<std::vector<uint32_t>, 6> faces;  // 0xAARRGGBB, top row first; face 0 for 2D
  std::vector<std::vector<uint32_t>> mips;  // 2D: the levels below the top, each half the last
};

struct Stage {
  DWORD colorOp = D3DTOP_DISABLE, colorArg1 = D3DTA_TEXTURE, colorArg2 = D3DTA_CURRENT;
  DWORD alphaOp = D3DTOP_DISABLE, alphaArg1 = D3DTA_TEXTURE, alphaArg2 = D3DTA_CURRENT;
  int texture = -1;  // index into Scene::textures
  DWORD texCoordIndex = 0;
  DWORD transformFlags = D3DTTFF_DISABLE;
  D3DMATRIX transform{};  // used when transformFlags is not DISABLE
  DWORD filter = D3DTEXF_POINT;  // MAG and MIN
  DWORD mipFilter = D3DTEXF_NONE;
  DWORD address = D3DTADDRESS_WRAP;
};

struct Light {
  float x = 0, y = 0, z = 0;
  D3DCOLORVALUE ambient{0, 0, 0, 0}, diffuse{1, 1, 1, 0}, specular{0, 0, 0, 0};
  float range = 1000.0f;
  float att0 = 1.0f, att1 = 0.0f, att2 = 0.0f;
};

// One draw call with the complete state it is drawn with; or, when clear is set, a Clear.
struct Draw {
  int target = -1;  // -1: the back buffer; otherwise a render-target texture's index
  D3DVIEWPORT8 viewport{};  // Width 0: the whole target, depth 0..1
  bool clear = false;
  DWORD clearFlags = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER;
  uint32_t clearColour = 0;

  DWORD fvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;
  D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
  std::vector<Vertex> vertices;
  std::vector<uint16_t> indices;  // empty: vertices in order

  D3DMATRIX world{}, view{}, projection{};  // identity from Scene helpers
  DWORD cull = D3DCULL_NONE;
  bool zEnable = false, zWrite = false;
  DWORD zFunc = D3DCMP_LESSEQUAL;
  bool blend = false;
  DWORD srcBlend = D3DBLEND_ONE, destBlend = D3DBLEND_ZERO;
  bool alphaTest = false;
  DWORD alphaRef = 0;
  bool lighting = false;
  bool specularEnable = false;
  bool normalizeNormals = false;
  uint32_t ambient = 0;
  D3DMATERIAL8 material{};
  std::vector<Light> lights;
  std::array<Stage, 2> stages{};
  // Points.
  float pointSize = 1.0f, pointSizeMin = 0.0f, pointSizeMax = 64.0f;
  bool pointSprite = false, pointScale = false;
  float scaleA = 1.0f, scaleB = 0.0f, scaleC = 0.0f;
  bool lastPixel = false;  // lines: OpenGL never draws a line's last pixel
};

struct Scene {
  std::string name;
  std::string about;  // one line: what the scene exercises
  uint32_t width = 0, height = 0;
  D3DFORMAT backBuffer = D3DFMT_A8R8G8B8;  // or R5G6B5
  std::vector<TextureDesc> textures;
  std::vector<Draw> draws;

  Scene() = default;
  Scene(std::string n, std::string a, uint32_t w, uint32_t h, D3DFORMAT f = D3DFMT_A8R8G8B8)
      : name(std::move(n)), about(std::move(a)), width(w), height(h), backBuffer(f) {}
};

// A picture as 0xAARRGGBB words, top row first.
struct Image {
  uint32_t width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

// The scene set. corpus3ds is the folder of 3DS files (the mesh scenes are left out when it is
// empty or the file is missing).
std::vector<Scene> AllScenes(const std::filesystem::path& corpus3ds);
// The demo-scale frame: the jeep at 640x480 (textured, unlit, with depth, as the demo draws its
// scene; or lit by two point lights) under the three full-screen quads. Empty name when the
// file cannot be read.
Scene JeepScene(const std::filesystem::path& corpus3ds, uint32_t width = 640, uint32_t height = 480,
                bool lit = false);

// The heavy frame: a 10,000-triangle sheet, textured through the linear mip filter and depth
// tested, over about half the screen, then three full-screen blended quads (a textured one
// alpha-tested at 200, a flash and a veil), as the software device's frame benchmark draws it.
Scene HeavyScene(uint32_t width = 640, uint32_t height = 480);

// Identity, and the D3DX-style helpers the scenes are built with.
D3DMATRIX Identity();
D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b);
D3DMATRIX PerspectiveFovLH(float fovy, float aspect, float zn, float zf);
D3DMATRIX LookAtLH(float ex, float ey, float ez, float tx, float ty, float tz);
D3DMATRIX RotationY(float angle);
D3DMATRIX RotationX(float angle);
D3DMATRIX Translation(float x, float y, float z);
D3DMATRIX Scaling(float x, float y, float z);

}  // namespace zelk4::crosscheck
