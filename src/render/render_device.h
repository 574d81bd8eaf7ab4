// The RenderDevice: the program's one wrapper around Direct3D 8. One global instance owns the
// Direct3D object, the device, one dynamic vertex buffer for screen quads and the texture
// cache. Callers never set Direct3D state themselves: each named operation below sets one group
// of states in a fixed way, with fixed values, in a fixed order.
//
// Failure: creation failures are fatal (FatalError with the texts listed in render_device.cpp);
// the render-target switches check their result and are fatal too. Every other Direct3D result
// is ignored, as the engine was designed: a lost device simply draws nothing.
//
// Scenes: there is no begin/end-scene operation. Each drawing operation brackets its own draw
// calls with BeginScene/EndScene; the main loop presents once per frame.
//
// Matrices are Direct3D's row-vector layout: a point is the row (x, y, z, 1) times the matrix,
// and A times B applies A first. Angles are radians except the view roll (degrees).
#pragma once

#include <cstdint>

#include "platform/d3d8/d3d8.h"

struct Texture;
struct CubeTexture;
struct TextureCache;

// The screen-quad vertex: position, diffuse colour 0xAARRGGBB, one texture coordinate set.
struct QuadVertex {
  float x, y, z;
  D3DCOLOR diffuse;
  float u, v;
};
static_assert(sizeof(QuadVertex) == 24, "QuadVertex is the 24-byte XYZ|DIFFUSE|TEX1 vertex");

constexpr DWORD kQuadVertexFvf = 0x142;  // D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1
constexpr UINT kQuadVertexBufferBytes = 480000;
constexpr UINT kQuadVertexCapacity = kQuadVertexBufferBytes / sizeof(QuadVertex);  // 20000
constexpr uint32_t kMaxSpritesPerDraw = kQuadVertexCapacity / 6;                   // 3333

// The render target right after creation, and the device's automatic depth-stencil surface.
// Written by Init, read by the render-target switches.
extern IDirect3DSurface8* backBufferSurface;
extern IDirect3DSurface8* depthSurface;

struct RenderDevice {
  uint8_t windowed;                          // the Init argument; the program passes false
  IDirect3D8* direct3d;                      // from Direct3DCreate8(220)
  IDirect3DDevice8* device;
  IDirect3DVertexBuffer8* quadVertexBuffer;  // 480000 bytes of QuadVertex, managed pool
  D3DMATRIX projection;                      // the matrix last built by SetProjection
  D3DMATRIX view;                            // the matrix last built by SetView
  TextureCache* textureCache;                // created by Init; the device owns it

  // --- creation and frame control ---
  // Creates the device: windowed with the desktop format and the window's client size, or full
  // screen width x height in A8R8G8B8. Depth and vertex processing fall back D24X8/hardware ->
  // D16/hardware -> D16/software (-> R5G6B5 back buffer, full screen only). Every failure is
  // fatal.
  void Init(HWND window, uint32_t width, uint32_t height, uint8_t windowed);
  // Releases the quad buffer, the device and the Direct3D object, each only if set.
  void Release();
  void Present();
  // Clears the target to alpha << 24 | red << 16 | green << 8 | blue (each cut to 8 bits).
  void ClearColor(int32_t alpha, int32_t red, int32_t green, int32_t blue);
  void ClearDepth();
  uint8_t IsWindowed() const;

  // --- transforms ---
  void SetProjection(float nearPlane, float farPlane, float fieldOfView, float aspect);
  // Look-at with up (0, 1, 0), then the roll (degrees) about the viewing axis.
  void SetView(float eyeX, float eyeY, float eyeZ, float targetX, float targetY, float targetZ,
               float rollDegrees);
  void SetViewMatrix(const D3DMATRIX* matrix);
  void SetViewMatrix(const D3DMATRIX& matrix) { SetViewMatrix(&matrix); }
  void SetWorldMatrix(const D3DMATRIX* matrix);
  void SetWorldMatrix(const D3DMATRIX& matrix) { SetWorldMatrix(&matrix); }
  // World = RotationX(angleX) times RotationY(angleY) times RotationZ(angleZ).
  void SetWorldRotation(float angleX, float angleY, float angleZ);
  void SetViewport(int32_t x1, int32_t y1, int32_t x2, int32_t y2, float minZ, float maxZ);

  // --- render states ---
  void CullNone();
  void CullClockwise();
  void CullCounterClockwise();
  void EnableAlphaBlend();
  void DisableAlphaBlend();
  void BlendAddColor();  // src colour, dest one
  void BlendColor();     // src colour, dest 1 - src colour
  void BlendAdd();       // src alpha, dest one
  void BlendAlpha();     // src alpha, dest 1 - src alpha
  void DisableDepth();
  void EnableDepth();
  void DepthTestOnly();  // test against depth, do not write it
  void EnableSpecular();
  void DisableSpecular();
  void SetAmbient(D3DCOLOR colour);
  void DisableLighting();
  // Keeps pixels whose alpha is at least reference & 255.
  void EnableAlphaTest(uint32_t reference);
  void DisableAlphaTest();
  void EnablePointSprites(float size, float minimumSize, float scaleA, float scaleB, float scaleC);
  void DisablePointSprites();

  // --- materials and lights ---
  void SetMaterial(const D3DMATERIAL8* material);
  void SetMaterialColors(float ambientR, float ambientG, float ambientB, float diffuseR,
                         float diffuseG, float diffuseB, float specularR, float specularG,
                         float specularB, float power);
  // Defines point light `index`, enables it and turns lighting on.
  void SetPointLight(uint32_t index, float x, float y, float z, float ambientR, float ambientG,
                     float ambientB, float diffuseR, float diffuseG, float diffuseB,
                     float specularR, float specularG, float specularB, float range);

  // --- texture stages (a stage argument is cut to its low 8 bits) ---
  // Binds the texture on stage 0 with filters from its flags; null only unbinds stage 0.
  void SetTexture(const Texture* texture);
  void SetTextureOnStage(const Texture* texture, uint32_t stage);
  void SetModulateStage0();
  void SetAddStage(uint32_t stage);
  void SetModulateStage(uint32_t stage);
  void SetBlendAlphaStages(uint32_t unused1, uint32_t unused2);
  void SetModulateAlphaStages(uint32_t unused1, uint32_t unused2);
  void SetLinearFilter(uint32_t stage);
  // Stages 0 to 7; other values change nothing.
  void EnableSphereMap(uint32_t stage);
  void DisableTextureTransform(uint32_t stage);
  void SetCubeReflection(const CubeTexture* cube, uint32_t stage);

  // --- render targets (fatal "Unable to change render target" on failure) ---
  void SetRenderTargetTexture(const Texture* texture);
  void RestoreRenderTarget();
};

// A 4x4 float matrix with in-place helpers; each helper multiplies on the right.
struct EngineMatrix : D3DMATRIX {
  EngineMatrix& Identity();   // sets the identity and returns the matrix
  void SetIdentity();         // sets the identity
  void RotateX(float angle);  // matrix = matrix times RotationX(angle)
  void RotateY(float angle);
  void RotateZ(float angle);
  void Translate(float x, float y, float z);
  void Scale(float x, float y, float z);
};

// The input record of the sprite operations, packed with a stride of 20 bytes.
struct Sprite {
  float x, y, z;    // centre in world space
  float size;       // half the edge length
  D3DCOLOR colour;  // used by DrawSpritesColored only
};
static_assert(sizeof(Sprite) == 20, "Sprite records are packed 20 bytes apart");

// Draws camera-facing textured quads through the device's quad vertex buffer. Each call is its
// own scene. After DrawQuad: lighting off, culling off, depth on, world identity, the quad
// projection left in place (callers set their own before 3D drawing), the view restored.
struct QuadDrawer {
  Sprite sprite{0.0f, 0.0f, 0.0f, 0.0f, 0xFFFFFFFFu};

  // One quad centred at (x, y) with half size `size`: 2.0 at (0, 0) covers the whole screen.
  void DrawQuad(RenderDevice* device, const Texture* texture, float x, float y, float size,
                D3DCOLOR colour);
  // As DrawQuad at (0, 0) with size 2.0, in the drawer's own sprite colour.
  void DrawFullScreenQuad(RenderDevice* device, const Texture* texture);
  // As DrawQuad, in the drawer's own sprite colour.
  void DrawQuadAt(RenderDevice* device, const Texture* texture, float x, float y, float size);
  // Draws `count` quads (at most 3333, the rest are dropped) in one colour, facing the camera
  // of the current view after the world rotation (radians).
  void DrawSprites(RenderDevice* device, float angleX, float angleY, float angleZ,
                   const Sprite* sprites, uint32_t count, D3DCOLOR colour);
  // As DrawSprites, each quad in its record's colour.
  void DrawSpritesColored(RenderDevice* device, float angleX, float angleY, float angleZ,
                          const Sprite* sprites, uint32_t count);
};
