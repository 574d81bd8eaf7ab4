// A small software device for the tests: offscreen present target, one rendering thread
// unless asked otherwise, and helpers that draw pre-transformed or untransformed primitives.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/d3d8/d3d8.h"
#include "support/picture.h"

namespace zelk4::d3d8::test {

// XYZRHW | DIFFUSE | TEX1: x, y in pixels (centres at integers), z, 1/w.
struct ScreenVertex {
  float x, y, z, rhw;
  D3DCOLOR colour;
  float u, v;
};
constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// XYZ | DIFFUSE | TEX1, the engine's quad vertex.
struct WorldVertex {
  float x, y, z;
  D3DCOLOR colour;
  float u, v;
};
constexpr DWORD kWorldFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

class TestDevice {
 public:
  explicit TestDevice(UINT width = 32, UINT height = 32, D3DFORMAT backBuffer = D3DFMT_A8R8G8B8,
                      D3DFORMAT depth = D3DFMT_D24X8, unsigned threads = 1);
  ~TestDevice();
  TestDevice(const TestDevice&) = delete;
  TestDevice& operator=(const TestDevice&) = delete;

  IDirect3DDevice8* operator->() const { return device_; }
  IDirect3DDevice8* get() const { return device_; }

  // The device keeps a scene open between frames, as a frame loop does, so the tests draw
  // freely. Frame() ends the scene, presents, returns the frame and begins the next scene.
  zelk4::test::Picture Frame();

  // Draws a triangle list of pre-transformed vertices (user pointer draw).
  void DrawScreen(const std::vector<ScreenVertex>& vertices);
  // Draws a triangle list of untransformed vertices.
  void DrawWorld(const std::vector<WorldVertex>& vertices);
  // A perspective projection with the near plane at z = 0.1 (depth 0 there, about 1 at z = 10)
  // and the given scales of x and y.
  void SetPerspective(float xScale, float yScale);
  // A pre-transformed axis-aligned rectangle [x0, x1) x [y0, y1) (two triangles).
  void DrawRect(float x0, float y0, float x1, float y1, float z, D3DCOLOR colour);

  // A managed A8R8G8B8 texture with the given levels, each filled from `levels[i]`
  // (width >> i by height >> i words).
  IDirect3DTexture8* MakeTexture(UINT width, UINT height,
                                 const std::vector<std::vector<uint32_t>>& levels);

 private:
  IDirect3D8* direct3d_ = nullptr;
  IDirect3DDevice8* device_ = nullptr;
};

}  // namespace zelk4::d3d8::test
