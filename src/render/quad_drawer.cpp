// Screen quads: camera-facing textured quads written into the device's quad vertex buffer.
//
// The quad camera sits at (0, 0, -4.8) looking at the origin with a 45-degree field of view and
// an aspect of 1.0, so the visible half-extent at z = 0 is 4.8 * tan(pi/8) = 1.9882 units both
// ways, stretched over the 4:3 screen: a quad of half size 2.0 at (0, 0) covers the whole
// screen and reaches about 0.6 % past each edge.
#include "render/render_device.h"

#include <algorithm>

#include "platform/d3dx/d3dx8.h"
#include "render/texture_records.h"

namespace {

struct Vector3 {
  float x, y, z;
};

// Corner = centre + size * (a * right + b * up), for a, b in {-1, +1}.
void PutVertex(QuadVertex* vertex, const Sprite& sprite, const Vector3& right, const Vector3& up,
               float a, float b, D3DCOLOR colour, float u, float v) {
  vertex->x = sprite.x + sprite.size * (b * up.x + a * right.x);
  vertex->y = sprite.y + sprite.size * (b * up.y + a * right.y);
  vertex->z = sprite.z + sprite.size * (b * up.z + a * right.z);
  vertex->diffuse = colour;
  vertex->u = u;
  vertex->v = v;
}

// Draws the sprites in one scene; a null `oneColour` takes each record's own colour.
void DrawSpriteList(RenderDevice* rd, float angleX, float angleY, float angleZ,
                    const Sprite* sprites, uint32_t count, const D3DCOLOR* oneColour) {
  IDirect3DDevice8* device = rd->device;
  rd->SetWorldRotation(angleX, angleY, angleZ);

  // The quads face the camera: right and up are the first two columns of view times world.
  D3DMATRIX view;
  D3DMATRIX world;
  device->GetTransform(D3DTS_VIEW, &view);
  device->GetTransform(D3DTS_WORLD, &world);
  const D3DXMATRIX v(view);
  const D3DXMATRIX w(world);
  D3DXMATRIX m;
  D3DXMatrixMultiply(&m, &v, &w);
  const Vector3 right{m._11, m._21, m._31};
  const Vector3 up{m._12, m._22, m._32};

  BYTE* bytes = nullptr;
  if (FAILED(rd->quadVertexBuffer->Lock(0, 0, &bytes, 0)) || bytes == nullptr) return;

  // Six vertices a quad: the buffer holds 3333 quads, and any more are dropped.
  count = std::min(count, kMaxSpritesPerDraw);
  QuadVertex* vertex = reinterpret_cast<QuadVertex*>(bytes);
  for (uint32_t i = 0; i < count; ++i, vertex += 6) {
    const Sprite& sprite = sprites[i];
    const D3DCOLOR colour = oneColour != nullptr ? *oneColour : sprite.colour;
    PutVertex(&vertex[0], sprite, right, up, -1.0f, 1.0f, colour, 0.0f, 0.0f);   // top left
    PutVertex(&vertex[1], sprite, right, up, 1.0f, 1.0f, colour, 1.0f, 0.0f);    // top right
    PutVertex(&vertex[2], sprite, right, up, -1.0f, -1.0f, colour, 0.0f, 1.0f);  // bottom left
    vertex[3] = vertex[1];
    vertex[4] = vertex[2];
    PutVertex(&vertex[5], sprite, right, up, 1.0f, -1.0f, colour, 1.0f, 1.0f);  // bottom right
  }
  rd->quadVertexBuffer->Unlock();

  device->BeginScene();
  device->SetStreamSource(0, rd->quadVertexBuffer, sizeof(QuadVertex));
  device->SetVertexShader(kQuadVertexFvf);
  device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2 * count);
  device->EndScene();
}

// The quad operations share this: quad camera and states, one sprite, the view given back.
void DrawOneQuad(QuadDrawer* drawer, RenderDevice* rd, const Texture* texture, float x, float y,
                 float size, const D3DCOLOR* oneColour) {
  D3DMATRIX savedView;
  rd->device->GetTransform(D3DTS_VIEW, &savedView);

  rd->DisableLighting();
  rd->CullNone();
  rd->DisableDepth();
  rd->SetView(0.0f, 0.0f, -4.8f, 0.0f, 0.0f, 0.0f, 0.0f);
  rd->SetProjection(0.001f, 100.0f, 0.7853982f, 1.0f);

  drawer->sprite.x = x;
  drawer->sprite.y = y;
  drawer->sprite.z = 0.0f;
  drawer->sprite.size = size;
  rd->SetTexture(texture);  // null unbinds stage 0: the quad shows its colour alone
  DrawSpriteList(rd, 0.0f, 0.0f, 0.0f, &drawer->sprite, 1, oneColour);

  rd->EnableDepth();
  // The view goes back as it was; the projection stays the quad projection.
  rd->device->SetTransform(D3DTS_VIEW, &savedView);
}

}  // namespace

void QuadDrawer::DrawQuad(RenderDevice* device, const Texture* texture, float x, float y,
                          float size, D3DCOLOR colour) {
  DrawOneQuad(this, device, texture, x, y, size, &colour);
}

void QuadDrawer::DrawFullScreenQuad(RenderDevice* device, const Texture* texture) {
  DrawOneQuad(this, device, texture, 0.0f, 0.0f, 2.0f, nullptr);
}

void QuadDrawer::DrawQuadAt(RenderDevice* device, const Texture* texture, float x, float y,
                            float size) {
  DrawOneQuad(this, device, texture, x, y, size, nullptr);
}

void QuadDrawer::DrawSprites(RenderDevice* device, float angleX, float angleY, float angleZ,
                             const Sprite* sprites, uint32_t count, D3DCOLOR colour) {
  DrawSpriteList(device, angleX, angleY, angleZ, sprites, count, &colour);
}

void QuadDrawer::DrawSpritesColored(RenderDevice* device, float angleX, float angleY,
                                    float angleZ, const Sprite* sprites, uint32_t count) {
  DrawSpriteList(device, angleX, angleY, angleZ, sprites, count, nullptr);
}
