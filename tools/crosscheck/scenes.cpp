// The scene set. Together the scenes set every state the engine's named device operations can
// set: each blend set-up, stage set-up, alpha test, depth mode and cull mode, point lights (one
// to eight) with materials, ambient and specular, sphere maps, cube reflections, point sprites,
// render targets, the R5G6B5 back buffer, textured and coloured quads, and a 3DS mesh.
#include <cmath>
#include <fstream>
#include <iterator>

#include "crosscheck/scene.h"
#include "scene/scene.h"

namespace zelk4::crosscheck {
namespace {

constexpr float kPi = 3.14159265f;
constexpr DWORD kQuadFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr DWORD kMeshFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;

Draw Clear(uint32_t colour, int target = -1) {
  Draw d;
  d.clear = true;
  d.clearColour = colour;
  d.target = target;
  return d;
}

// A draw with the camera three units in front of the origin, looking along +z. It is set off
// the origin by a fraction of a pixel so that no edge or texel boundary of the scenes' round
// coordinates lands exactly on a pixel centre: there the two pipelines may legitimately break
// the tie differently.
Draw Camera(const Scene& s) {
  Draw d;
  d.world = Identity();
  d.view = LookAtLH(0.0123f, 0.0071f, -3, 0.0123f, 0.0071f, 0);
  d.projection = PerspectiveFovLH(kPi / 4, static_cast<float>(s.width) / static_cast<float>(s.height),
                                  0.1f, 10.0f);
  for (Stage& st : d.stages) st.transform = Identity();
  return d;
}

Stage DefaultStage0(int texture) {
  Stage st;
  st.colorOp = D3DTOP_MODULATE;
  st.colorArg1 = D3DTA_TEXTURE;
  st.colorArg2 = D3DTA_CURRENT;
  st.alphaOp = D3DTOP_SELECTARG1;
  st.alphaArg1 = D3DTA_TEXTURE;
  st.texture = texture;
  st.transform = Identity();
  return st;
}

Stage ModulateStage0(int texture) {
  Stage st = DefaultStage0(texture);
  st.colorArg2 = D3DTA_DIFFUSE;
  st.alphaOp = D3DTOP_MODULATE;
  st.alphaArg2 = D3DTA_DIFFUSE;
  return st;
}

Stage DiffuseOnly() {
  Stage st;
  st.colorOp = D3DTOP_SELECTARG1;
  st.colorArg1 = D3DTA_DIFFUSE;
  st.alphaOp = D3DTOP_SELECTARG1;
  st.alphaArg1 = D3DTA_DIFFUSE;
  st.transform = Identity();
  return st;
}

// A quad in the z = z plane from (x0, y0) to (x1, y1), clockwise as seen by the camera, as two
// triangles of the engine's quad vertex.
void AddQuad(Draw* d, float x0, float y0, float x1, float y1, float z, uint32_t c0, uint32_t c1,
             uint32_t c2, uint32_t c3) {
  Vertex a, b, c, e;
  a.x = x0; a.y = y1; a.z = z; a.diffuse = c0; a.u = 0; a.v = 0;
  b.x = x1; b.y = y1; b.z = z; b.diffuse = c1; b.u = 1; b.v = 0;
  c.x = x1; c.y = y0; c.z = z; c.diffuse = c2; c.u = 1; c.v = 1;
  e.x = x0; e.y = y0; e.z = z; e.diffuse = c3; e.u = 0; e.v = 1;
  for (Vertex* v : {&a, &b, &c, &e}) {
    v->u1 = v->u * 2.0f;
    v->v1 = v->v * 2.0f;
  }
  d->vertices.insert(d->vertices.end(), {a, b, c, a, c, e});
  d->fvf = kQuadFvf | D3DFVF_TEX2;
  d->fvf &= ~D3DFVF_TEX1;
}

void AddScreenQuad(Draw* d, float x0, float y0, float x1, float y1, float z, uint32_t colour) {
  Vertex a, b, c, e;
  a.x = x0; a.y = y0; a.u = 0; a.v = 0;
  b.x = x1; b.y = y0; b.u = 1; b.v = 0;
  c.x = x1; c.y = y1; c.u = 1; c.v = 1;
  e.x = x0; e.y = y1; e.u = 0; e.v = 1;
  for (Vertex* v : {&a, &b, &c, &e}) {
    v->z = z;
    v->rhw = 1.0f;
    v->diffuse = colour;
  }
  d->vertices.insert(d->vertices.end(), {a, b, c, a, c, e});
  d->fvf = kScreenFvf;
}

// A latitude-longitude sphere with unit normals (scaled by normalScale) and mapping coordinates.
void AddSphere(Draw* d, float radius, int slices, int stacks, float normalScale = 1.0f) {
  d->fvf = kMeshFvf;
  d->type = D3DPT_TRIANGLELIST;
  uint16_t base = static_cast<uint16_t>(d->vertices.size());
  for (int i = 0; i <= stacks; ++i) {
    float phi = kPi * static_cast<float>(i) / static_cast<float>(stacks);
    for (int j = 0; j <= slices; ++j) {
      float theta = 2.0f * kPi * static_cast<float>(j) / static_cast<float>(slices);
      Vertex v;
      v.nx = std::sin(phi) * std::cos(theta);
      v.ny = std::cos(phi);
      v.nz = std::sin(phi) * std::sin(theta);
      v.x = radius * v.nx;
      v.y = radius * v.ny;
      v.z = radius * v.nz;
      v.nx *= normalScale;
      v.ny *= normalScale;
      v.nz *= normalScale;
      v.u = static_cast<float>(j) / static_cast<float>(slices);
      v.v = static_cast<float>(i) / static_cast<float>(stacks);
      d->vertices.push_back(v);
    }
  }
  int row = slices + 1;
  for (int i = 0; i < stacks; ++i) {
    for (int j = 0; j < slices; ++j) {
      uint16_t a = static_cast<uint16_t>(base + i * row + j), b = static_cast<uint16_t>(a + 1),
               c = static_cast<uint16_t>(a + row), e = static_cast<uint16_t>(c + 1);
      d->indices.insert(d->indices.end(), {a, b, c, b, e, c});
    }
  }
}

TextureDesc Checker(uint32_t size, uint32_t c0, uint32_t c1, uint32_t cell) {
  TextureDesc t;
  t.size = size;
  t.faces[0].resize(static_cast<size_t>(size) * size);
  for (uint32_t y = 0; y < size; ++y) {
    for (uint32_t x = 0; x < size; ++x) {
      t.faces[0][y * size + x] = ((x / cell + y / cell) % 2) != 0 ? c1 : c0;
    }
  }
  return t;
}

// The full chain below the top level, each texel the rounded mean of the 2 x 2 above it.
void AddMips(TextureDesc* t) {
  const std::vector<uint32_t>* above = &t->faces[0];
  for (uint32_t size = t->size / 2; size >= 1; size /= 2) {
    std::vector<uint32_t> level(static_cast<size_t>(size) * size);
    for (uint32_t y = 0; y < size; ++y) {
      for (uint32_t x = 0; x < size; ++x) {
        uint32_t out = 0;
        for (int shift = 0; shift < 32; shift += 8) {
          uint32_t sum = 0;
          for (uint32_t j = 0; j < 4; ++j) {
            sum += ((*above)[(2 * y + j / 2) * size * 2 + 2 * x + j % 2] >> shift) & 255;
          }
          out |= ((sum + 2) / 4) << shift;
        }
        level[y * size + x] = out;
      }
    }
    t->mips.push_back(std::move(level));
    above = &t->mips.back();
  }
}

// Colour ramps across, alpha ramps down.
TextureDesc Gradient(uint32_t size) {
  TextureDesc t;
  t.size = size;
  t.faces[0].resize(static_cast<size_t>(size) * size);
  for (uint32_t y = 0; y < size; ++y) {
    for (uint32_t x = 0; x < size; ++x) {
      uint32_t r = x * 255 / (size - 1), g = 255 - r, b = (x * y * 4) & 255;
      uint32_t a = y * 255 / (size - 1);
      t.faces[0][y * size + x] = (a << 24) | (r << 16) | (g << 8) | b;
    }
  }
  return t;
}

// Each face its own colour with a darker grid, so face choice and orientation both show.
TextureDesc CubeFaces(uint32_t size) {
  static constexpr uint32_t kColours[6] = {0xFFE04040, 0xFF40E040, 0xFF4040E0,
                                           0xFFE0E040, 0xFF40E0E0, 0xFFE040E0};
  TextureDesc t;
  t.size = size;
  t.cube = true;
  for (int f = 0; f < 6; ++f) {
    t.faces[f].resize(static_cast<size_t>(size) * size);
    for (uint32_t y = 0; y < size; ++y) {
      for (uint32_t x = 0; x < size; ++x) {
        uint32_t c = kColours[f];
        bool line = (x % 8) == 0 || (y % 8) == 0 || (x < size / 4 && y < size / 4);
        t.faces[f][y * size + x] = line ? (c & 0xFF7F7F7F) : c;
      }
    }
  }
  return t;
}

Light PointLight(float x, float y, float z, float r, float g, float b) {
  Light l;
  l.x = x;
  l.y = y;
  l.z = z;
  l.diffuse = {r, g, b, 0};
  l.specular = {1, 1, 1, 0};
  return l;
}

D3DMATERIAL8 Material(float ar, float ag, float ab, float dr, float dg, float db, float s,
                      float power) {
  D3DMATERIAL8 m{};
  m.Ambient = {ar, ag, ab, 1};
  m.Diffuse = {dr, dg, db, 1};
  m.Specular = {s, s, s, 1};
  m.Power = power;
  return m;
}

Scene Blends() {
  Scene s{"blend-setups", "each blend set-up and the default stage over a textured quad", 96, 96};
  s.textures.push_back(Checker(32, 0xFF204080, 0xFFC0A060, 4));
  s.textures.push_back(Gradient(32));
  s.draws.push_back(Clear(0xFF303030));
  Draw back = Camera(s);
  back.stages[0] = DefaultStage0(0);
  AddQuad(&back, -1.1f, -1.1f, 1.1f, 1.1f, 0.5f, ~0u, ~0u, ~0u, ~0u);
  s.draws.push_back(back);
  const DWORD blends[4][2] = {{D3DBLEND_SRCCOLOR, D3DBLEND_ONE},
                              {D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR},
                              {D3DBLEND_SRCALPHA, D3DBLEND_ONE},
                              {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA}};
  for (int i = 0; i < 4; ++i) {
    Draw d = Camera(s);
    d.blend = true;
    d.srcBlend = blends[i][0];
    d.destBlend = blends[i][1];
    d.stages[0] = i % 2 == 0 ? ModulateStage0(1) : DefaultStage0(1);
    float x = -1.0f + static_cast<float>(i % 2) * 1.05f, y = -1.0f + static_cast<float>(i / 2) * 1.05f;
    AddQuad(&d, x, y, x + 0.95f, y + 0.95f, 0.0f, 0xC0FF8040, 0x80FFFFFF, 0x4040C0FF, 0xFF80FF80);
    s.draws.push_back(d);
  }
  return s;
}

Scene StageSetups() {
  Scene s{"stage-setups", "modulate, add, modulate-on-stage, blend-alpha and modulate-alpha stages",
          128, 96};
  s.textures.push_back(Checker(16, 0xFF4060A0, 0x80E0C080, 2));
  s.textures.push_back(Gradient(32));
  s.draws.push_back(Clear(0xFF102030));
  struct Setup {
    Stage s0, s1;
  };
  std::vector<Setup> setups;
  setups.push_back({ModulateStage0(0), Stage{}});
  Stage add = DefaultStage0(1);
  add.colorOp = D3DTOP_ADD;
  add.alphaOp = D3DTOP_DISABLE;
  add.texCoordIndex = 1;
  setups.push_back({ModulateStage0(0), add});
  Stage modulate = add;
  modulate.colorOp = D3DTOP_MODULATE;
  modulate.filter = D3DTEXF_LINEAR;
  setups.push_back({ModulateStage0(0), modulate});
  Stage blendAlpha = DefaultStage0(1);
  blendAlpha.colorOp = D3DTOP_BLENDCURRENTALPHA;
  blendAlpha.alphaOp = D3DTOP_ADD;
  blendAlpha.alphaArg1 = D3DTA_CURRENT;
  blendAlpha.alphaArg2 = D3DTA_TEXTURE;
  blendAlpha.texCoordIndex = 1;
  setups.push_back({ModulateStage0(0), blendAlpha});
  Stage modulateAlpha = blendAlpha;
  modulateAlpha.alphaOp = D3DTOP_MODULATE;
  setups.push_back({ModulateStage0(0), modulateAlpha});
  Stage linear = DefaultStage0(1);
  linear.filter = D3DTEXF_LINEAR;
  linear.address = D3DTADDRESS_CLAMP;
  setups.push_back({linear, Stage{}});
  for (size_t i = 0; i < setups.size(); ++i) {
    Draw d = Camera(s);
    d.stages[0] = setups[i].s0;
    d.stages[1] = setups[i].s1;
    d.stages[1].transform = Identity();
    // Blended so the stage alpha shows as well.
    d.blend = true;
    d.srcBlend = D3DBLEND_SRCALPHA;
    d.destBlend = D3DBLEND_INVSRCALPHA;
    float x = -1.4f + static_cast<float>(i % 3) * 0.95f, y = -0.95f + static_cast<float>(i / 3) * 0.98f;
    AddQuad(&d, x, y, x + 0.9f, y + 0.9f, 0.0f, 0xFFFFFFFF, 0xC0FF8080, 0x80808080, 0xE080FFFF);
    s.draws.push_back(d);
  }
  return s;
}

Scene AlphaTest() {
  Scene s{"alpha-test", "alpha test at references 1, 128 and 200, with and without blending", 96, 96};
  s.textures.push_back(Gradient(32));
  s.draws.push_back(Clear(0xFF402020));
  const DWORD refs[3] = {1, 128, 200};
  for (int i = 0; i < 3; ++i) {
    Draw d = Camera(s);
    d.stages[0] = DefaultStage0(0);
    d.alphaTest = true;
    d.alphaRef = refs[i];
    d.blend = i == 2;
    d.srcBlend = D3DBLEND_SRCALPHA;
    d.destBlend = D3DBLEND_INVSRCALPHA;
    float x = -1.1f + static_cast<float>(i) * 0.75f;
    AddQuad(&d, x, -1.0f, x + 0.7f, 1.0f, 0.0f, ~0u, ~0u, ~0u, ~0u);
    s.draws.push_back(d);
  }
  return s;
}

// Two quads crossing in depth, drawn with each depth mode, and each cull mode over three
// triangles of both windings.
Scene DepthAndCull() {
  Scene s{"depth-cull", "depth on, depth test only, depth off; cull none, clockwise, counter-clockwise",
          128, 96};
  s.draws.push_back(Clear(0xFF000000));
  for (int mode = 0; mode < 3; ++mode) {
    float x = -1.5f + static_cast<float>(mode) * 1.0f;
    Draw a = Camera(s);
    a.stages[0] = DiffuseOnly();
    a.zEnable = true;
    a.zWrite = true;
    Vertex p[4];
    const float zs[4] = {-0.5f, 0.5f, 0.5f, -0.5f};
    const float xs[4] = {x, x + 0.9f, x + 0.9f, x};
    const float ys[4] = {0.2f, 0.2f, -0.2f, -0.2f};
    for (int i = 0; i < 4; ++i) {
      p[i].x = xs[i];
      p[i].y = ys[i] + 0.3f;
      p[i].z = zs[i];
      p[i].diffuse = 0xFFE04040;
    }
    a.vertices = {p[0], p[1], p[2], p[0], p[2], p[3]};
    a.fvf = kQuadFvf;
    s.draws.push_back(a);
    Draw b = a;
    b.zEnable = mode != 2;
    b.zWrite = mode == 0;
    for (Vertex& v : b.vertices) {
      v.z = -v.z;
      v.y -= 0.25f;
      v.diffuse = 0xFF40E040;
    }
    s.draws.push_back(b);
    // A third quad through both, visible where it is in front of what depth kept.
    Draw c = b;
    c.zEnable = true;
    c.zWrite = false;
    for (Vertex& v : c.vertices) {
      v.z = 0.1f;
      v.y -= 0.1f;
      v.diffuse = 0xFF4040E0;
    }
    s.draws.push_back(c);
  }
  const DWORD culls[3] = {D3DCULL_NONE, D3DCULL_CW, D3DCULL_CCW};
  for (int mode = 0; mode < 3; ++mode) {
    Draw d = Camera(s);
    d.cull = culls[mode];
    d.stages[0] = DiffuseOnly();
    d.fvf = kQuadFvf;
    float x = -1.5f + static_cast<float>(mode) * 1.0f;
    Vertex v[3];
    v[0].x = x; v[0].y = -0.3f;
    v[1].x = x + 0.4f; v[1].y = -0.3f;
    v[2].x = x; v[2].y = -1.0f;
    v[0].diffuse = 0xFFFFFF00; v[1].diffuse = 0xFF00FFFF; v[2].diffuse = 0xFFFF00FF;
    d.vertices = {v[0], v[1], v[2]};  // clockwise on screen
    for (Vertex& w : v) w.x += 0.45f;
    d.vertices.insert(d.vertices.end(), {v[0], v[2], v[1]});  // counter-clockwise
    s.draws.push_back(d);
  }
  return s;
}

Scene Lights(int count) {
  Scene s{"lights-" + std::to_string(count),
          std::to_string(count) + " point light(s): ambient, diffuse, specular, attenuation", 96, 96};
  s.draws.push_back(Clear(0xFF000020));
  Draw d = Camera(s);
  d.lighting = true;
  d.specularEnable = true;
  d.zEnable = d.zWrite = true;
  d.cull = D3DCULL_CCW;
  d.ambient = 0xFF101820;
  d.material = Material(0.5f, 0.5f, 0.5f, 0.8f, 0.7f, 0.6f, 0.6f, 12.0f);
  d.stages[0] = DiffuseOnly();
  // Light colours are kept low enough that no sum passes 1: Direct3D clamps the ambient,
  // diffuse and specular sums one by one, OpenGL only their total.
  const float scale = 1.0f / static_cast<float>(count);
  for (int i = 0; i < count; ++i) {
    float a = 2.0f * kPi * static_cast<float>(i) / static_cast<float>(count) + 0.4f;
    Light l = PointLight(2.0f * std::cos(a), 1.2f * std::sin(a) + 0.5f, -1.5f,
                         scale * (0.6f + 0.4f * std::cos(a)), scale * 0.7f,
                         scale * (0.6f + 0.4f * std::sin(a)));
    l.specular = {scale * 0.8f, scale * 0.8f, scale * 0.8f, 0};
    l.ambient = {0.05f * scale, 0.05f * scale, 0.05f * scale, 0};
    l.att1 = i % 2 == 0 ? 0.1f : 0.0f;
    l.att2 = i % 3 == 0 ? 0.05f : 0.0f;
    d.lights.push_back(l);
  }
  AddSphere(&d, 1.0f, 24, 16);
  s.draws.push_back(d);
  if (count == 1) {
    // Normals twice as long, put right by NORMALIZENORMALS.
    Draw n = d;
    n.vertices.clear();
    n.indices.clear();
    n.normalizeNormals = true;
    n.world = Multiply(Scaling(0.3f, 0.3f, 0.3f), Translation(0.9f, -0.8f, -0.9f));
    AddSphere(&n, 1.0f, 16, 10, 2.0f);
    s.draws.push_back(n);
  }
  return s;
}

Scene SphereMap() {
  Scene s{"sphere-map", "camera-space normals through the sphere-map texture transform", 96, 96};
  s.textures.push_back(Checker(32, 0xFFF0D080, 0xFF3050A0, 4));
  s.draws.push_back(Clear(0xFF000000));
  Draw d = Camera(s);
  d.zEnable = d.zWrite = true;
  d.cull = D3DCULL_CCW;
  d.world = RotationY(0.6f);
  Stage st = DefaultStage0(0);
  st.texCoordIndex = D3DTSS_TCI_CAMERASPACENORMAL;
  st.transformFlags = D3DTTFF_COUNT2;
  st.transform = Identity();
  st.transform._11 = 0.5f;
  st.transform._22 = -0.5f;
  st.transform._41 = 0.5f;
  st.transform._42 = 0.5f;
  d.stages[0] = st;
  AddSphere(&d, 1.0f, 32, 20);
  s.draws.push_back(d);
  return s;
}

Scene CubeReflection() {
  Scene s{"cube-reflection", "reflection vectors into a cube texture, linear filter", 96, 96};
  s.textures.push_back(CubeFaces(32));
  s.draws.push_back(Clear(0xFF000000));
  Draw d = Camera(s);
  d.zEnable = d.zWrite = true;
  d.cull = D3DCULL_CCW;
  d.normalizeNormals = true;
  d.world = Multiply(RotationX(0.3f), RotationY(0.5f));
  Stage st = DefaultStage0(0);
  st.texCoordIndex = D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR;
  st.transformFlags = D3DTTFF_COUNT3;
  st.transform = Identity();
  st.filter = D3DTEXF_LINEAR;
  d.stages[0] = st;
  AddSphere(&d, 1.0f, 32, 20, 1.5f);
  s.draws.push_back(d);
  // And the normal straight into the cube.
  Draw n = d;
  n.vertices.clear();
  n.indices.clear();
  n.world = Multiply(Scaling(0.35f, 0.35f, 0.35f), Translation(-0.9f, 0.85f, -0.9f));
  n.stages[0].texCoordIndex = D3DTSS_TCI_CAMERASPACENORMAL;
  AddSphere(&n, 1.0f, 16, 10);
  s.draws.push_back(n);
  return s;
}

// Mesa measures a point's distance from the eye as |z| in eye space where Direct3D takes the
// full distance, so the scaled sprites sit in a narrow view cone where the two agree closely.
Scene PointSprites() {
  Scene s("point-sprites", "point sprites scaled by A, B, C with the minimum clamp; plain points",
          128, 96);
  s.textures.push_back(Gradient(16));
  s.draws.push_back(Clear(0xFF202020));
  Draw d = Camera(s);
  d.projection = PerspectiveFovLH(0.3f, 128.0f / 96.0f, 0.1f, 20.0f);
  d.type = D3DPT_POINTLIST;
  d.fvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
  d.pointSprite = d.pointScale = true;
  d.pointSize = 0.25f;
  d.pointSizeMin = 7.0f;
  d.scaleA = 0.0f;
  d.scaleB = 0.0f;
  d.scaleC = 1.0f;
  d.blend = true;
  d.srcBlend = D3DBLEND_SRCALPHA;
  d.destBlend = D3DBLEND_INVSRCALPHA;
  d.stages[0] = ModulateStage0(0);
  for (int i = 0; i < 12; ++i) {
    Vertex v;
    float depth = 4.0f + 0.5f * static_cast<float>(i);  // 7 to 12.5 from the eye
    v.x = (-0.14f + 0.023f * static_cast<float>(i)) * depth;
    v.y = 0.03f * std::sin(static_cast<float>(i)) * depth + 0.04f * depth;
    v.z = depth - 3.0f;
    v.diffuse = 0xFF000000u | (0x10u * static_cast<uint32_t>(i) << 16) | 0xC0C0u;
    d.vertices.push_back(v);
  }
  s.draws.push_back(d);
  Draw b = d;
  b.scaleA = 1.0f;
  b.scaleB = 0.5f;
  b.scaleC = 0.02f;
  b.pointSizeMin = 0.0f;
  b.pointSizeMax = 12.0f;
  for (Vertex& v : b.vertices) v.y -= 0.07f * (v.z + 3.0f);
  s.draws.push_back(b);
  Draw plain = Camera(s);
  plain.type = D3DPT_POINTLIST;
  plain.fvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;
  plain.pointSize = 3.0f;
  plain.stages[0] = DiffuseOnly();
  for (int i = 0; i < 10; ++i) {
    Vertex v;
    v.x = -1.2f + 0.27f * static_cast<float>(i);
    v.y = 0.85f;
    v.diffuse = 0xFFFFFF00;
    plain.vertices.push_back(v);
  }
  s.draws.push_back(plain);
  return s;
}

Scene RenderTarget() {
  Scene s{"render-target", "a lit sphere drawn into a render-target texture, then used on quads", 96, 96};
  s.textures.push_back(Checker(16, 0xFF808080, 0xFFFFFFFF, 2));
  TextureDesc rt;
  rt.size = 64;
  rt.renderTarget = true;
  s.textures.push_back(rt);
  s.draws.push_back(Clear(0xFF204060, 1));
  Draw sphere = Camera(s);
  sphere.target = 1;
  sphere.projection = PerspectiveFovLH(kPi / 4, 1.0f, 0.1f, 10.0f);
  sphere.lighting = true;
  sphere.zEnable = sphere.zWrite = true;
  sphere.cull = D3DCULL_CCW;
  sphere.material = Material(0.2f, 0.2f, 0.2f, 0.9f, 0.6f, 0.3f, 0, 0);
  sphere.ambient = 0xFF404040;
  sphere.lights.push_back(PointLight(-2, 2, -2, 1, 1, 1));
  sphere.stages[0] = DefaultStage0(0);
  sphere.stages[0].colorArg2 = D3DTA_DIFFUSE;
  AddSphere(&sphere, 1.0f, 20, 12);
  sphere.indices.resize(sphere.indices.size() - 60);  // an open bottom shows the winding flip
  s.draws.push_back(sphere);
  s.draws.push_back(Clear(0xFF000000));
  Draw quad = Camera(s);
  quad.stages[0] = DefaultStage0(1);
  quad.stages[0].filter = D3DTEXF_LINEAR;
  AddQuad(&quad, -1.1f, -1.1f, 0.3f, 0.3f, 0.2f, ~0u, ~0u, ~0u, ~0u);
  s.draws.push_back(quad);
  Draw small = Camera(s);
  small.stages[0] = DefaultStage0(1);
  small.world = RotationY(0.7f);
  AddQuad(&small, 0.2f, 0.2f, 1.0f, 1.0f, 0.0f, ~0u, ~0u, ~0u, ~0u);
  s.draws.push_back(small);
  return s;
}

Scene StripsFansLines() {
  Scene s{"strips-fans-lines", "triangle strip and fan, indexed list, line list and line strip", 96, 96};
  s.draws.push_back(Clear(0xFF101010));
  Draw strip = Camera(s);
  strip.type = D3DPT_TRIANGLESTRIP;
  strip.fvf = kQuadFvf;
  strip.cull = D3DCULL_CCW;
  strip.stages[0] = DiffuseOnly();
  for (int i = 0; i < 8; ++i) {
    Vertex v;
    v.x = -1.1f + 0.3f * static_cast<float>(i / 2);
    v.y = (i % 2 == 1) ? 1.0f : 0.4f + 0.1f * static_cast<float>(i % 3);  // clockwise first
    v.diffuse = 0xFF000000u | (static_cast<uint32_t>(i * 30) << 16) | 0x8040u;
    strip.vertices.push_back(v);
  }
  s.draws.push_back(strip);
  Draw fan = Camera(s);
  fan.type = D3DPT_TRIANGLEFAN;
  fan.fvf = kQuadFvf;
  fan.cull = D3DCULL_CCW;
  fan.stages[0] = DiffuseOnly();
  Vertex centre;
  centre.x = 0.6f;
  centre.y = 0.5f;
  centre.diffuse = 0xFFFFFFFF;
  fan.vertices.push_back(centre);
  for (int i = 0; i <= 6; ++i) {
    float a = -static_cast<float>(i) * kPi / 4.0f;  // clockwise on screen
    Vertex v;
    v.x = 0.6f + 0.45f * std::cos(a);
    v.y = 0.5f + 0.45f * std::sin(a);
    v.diffuse = 0xFF000000u | (static_cast<uint32_t>(i * 40) << 8) | 0xC00000u;
    fan.vertices.push_back(v);
  }
  s.draws.push_back(fan);
  // Lines are drawn pre-transformed with their ends near pixel centres: Direct3D 8 draws
  // lines by GDI's rules (the first pixel always, the last with LASTPIXEL), OpenGL by the
  // diamond-exit rule, and the two agree on which pixels a line lights except where an end
  // lies far from a pixel centre.
  Draw lines;
  lines.type = D3DPT_LINELIST;
  lines.fvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;
  lines.stages[0] = DiffuseOnly();
  for (int i = 0; i < 6; ++i) {
    Vertex a, b;
    a.x = 5.1f;
    a.y = 55.05f + 4.0f * static_cast<float>(i);
    b.x = 44.05f;
    b.y = 52.1f + 7.0f * static_cast<float>(i);
    a.diffuse = 0xFFFF4040;
    b.diffuse = 0xFF40FF40;
    lines.vertices.insert(lines.vertices.end(), {a, b});
  }
  Vertex steep0, steep1;  // a y-major line, drawn upwards
  steep0.x = 48.1f;
  steep0.y = 92.05f;
  steep1.x = 58.05f;
  steep1.y = 50.1f;
  lines.vertices.insert(lines.vertices.end(), {steep0, steep1});
  s.draws.push_back(lines);
  Draw lineStrip;
  lineStrip.type = D3DPT_LINESTRIP;
  lineStrip.fvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;
  lineStrip.stages[0] = DiffuseOnly();
  for (int i = 0; i < 7; ++i) {
    Vertex v;
    float a = static_cast<float>(i) * 0.9f;
    v.x = std::round(74.0f + 18.0f * std::cos(a)) + 0.05f;
    v.y = std::round(72.0f + 16.0f * std::sin(a)) - 0.1f;
    v.diffuse = 0xFF4080FF - static_cast<uint32_t>(i) * 0x200000u;
    lineStrip.vertices.push_back(v);
  }
  s.draws.push_back(lineStrip);
  return s;
}

// A floor running away from the camera, blending mip levels under point and linear sampling.
// The nearest-level mip filter is left to the device's own tests: llvmpipe picks one level of
// detail per 2 x 2 pixels, our device per pixel, so where the level steps to the grey average
// the step can land a row apart (Direct3D 8 does not fix the level-of-detail computation).
Scene Mipmaps() {
  Scene s("mipmaps", "linear mip filter under point and linear sampling on a receding floor",
          128, 96);
  TextureDesc t = Checker(64, 0xFFE0D0A0, 0xFF304070, 4);
  for (uint32_t y = 0; y < 64; ++y) t.faces[0][y * 64 + (y * 7) % 64] = 0xFFFF2020;
  AddMips(&t);
  s.textures.push_back(std::move(t));
  s.draws.push_back(Clear(0xFF000000));
  const DWORD filters[2][2] = {{D3DTEXF_POINT, D3DTEXF_LINEAR}, {D3DTEXF_LINEAR, D3DTEXF_LINEAR}};
  for (int i = 0; i < 2; ++i) {
    Draw d = Camera(s);
    d.view = LookAtLH(0.0123f, 1.0f, -3, 0.0123f, 0.0f, 2);
    d.stages[0] = DefaultStage0(0);
    d.stages[0].filter = filters[i][0];
    d.stages[0].mipFilter = filters[i][1];
    float x0 = i == 0 ? -3.0f : 0.05f, x1 = i == 0 ? -0.05f : 3.0f;
    Vertex a, b, c, e;
    a.x = x0; a.z = 12; a.u = 0; a.v = 0;
    b.x = x1; b.z = 12; b.u = 4; b.v = 0;
    c.x = x1; c.z = -1; c.u = 4; c.v = 16;
    e.x = x0; e.z = -1; e.u = 0; e.v = 16;
    d.vertices = {a, b, c, a, c, e};
    d.fvf = kQuadFvf;
    s.draws.push_back(d);
  }
  return s;
}

// A viewport inside the frame with a narrowed depth range: the clear, the projection and the
// depth all follow it.
Scene Viewport() {
  Scene s("viewport", "a sub-rectangle viewport with MinZ 0.3 and MaxZ 0.7", 96, 96);
  s.textures.push_back(Checker(16, 0xFFC08040, 0xFF4080C0, 2));
  s.draws.push_back(Clear(0xFF101010));
  const D3DVIEWPORT8 vp{20, 12, 64, 48, 0.3f, 0.7f};
  Draw clear = Clear(0xFF302050);
  clear.viewport = vp;
  s.draws.push_back(clear);
  Draw sphere = Camera(s);
  sphere.viewport = vp;
  sphere.projection = PerspectiveFovLH(kPi / 4, 64.0f / 48.0f, 2.0f, 4.0f);
  sphere.zEnable = sphere.zWrite = true;
  sphere.cull = D3DCULL_CCW;
  sphere.stages[0] = DefaultStage0(0);
  AddSphere(&sphere, 1.1f, 24, 14);
  s.draws.push_back(sphere);
  // A screen-space quad at depth 0.5 cuts the sphere where its depth passes 0.5.
  Draw cut;
  cut.zEnable = true;
  cut.stages[0] = DiffuseOnly();
  AddScreenQuad(&cut, 9.5f, 29.5f, 90.5f, 49.5f, 0.5f, 0xFF20C040);
  s.draws.push_back(cut);
  return s;
}

Scene Rgb565() {
  Scene s{"r5g6b5", "textured, blended and lit drawing into an R5G6B5 back buffer", 96, 96,
          D3DFMT_R5G6B5};
  s.textures.push_back(Checker(32, 0xFF2050A0, 0xFFE0C090, 4));
  s.draws.push_back(Clear(0xFF336699));
  Draw lit = Camera(s);
  lit.lighting = true;
  lit.zEnable = lit.zWrite = true;
  lit.cull = D3DCULL_CCW;
  lit.material = Material(0.3f, 0.3f, 0.3f, 0.9f, 0.9f, 0.9f, 0, 0);
  lit.lights.push_back(PointLight(1, 2, -3, 1, 1, 1));
  lit.stages[0] = DefaultStage0(0);
  lit.stages[0].colorArg2 = D3DTA_DIFFUSE;
  lit.world = Translation(0.3f, 0.2f, 0.5f);
  AddSphere(&lit, 0.9f, 24, 14);
  s.draws.push_back(lit);
  Draw quad = Camera(s);
  quad.blend = true;
  quad.srcBlend = D3DBLEND_SRCALPHA;
  quad.destBlend = D3DBLEND_INVSRCALPHA;
  quad.stages[0] = ModulateStage0(0);
  AddQuad(&quad, -1.1f, -1.1f, 0.2f, 0.0f, -0.5f, 0x80FF0000, 0x8000FF00, 0x800000FF, 0xFFFFFFFF);
  s.draws.push_back(quad);
  return s;
}

Scene ScreenQuads() {
  Scene s{"screen-quads", "pre-transformed textured and coloured quads (overlay and flash)", 96, 96};
  s.textures.push_back(Gradient(32));
  s.draws.push_back(Clear(0xFF405060));
  Draw a;
  a.stages[0] = DefaultStage0(0);
  a.stages[1].transform = Identity();
  AddScreenQuad(&a, 4.5f, 4.5f, 68.5f, 68.5f, 0.5f, 0xFFFFFFFF);  // two pixels a texel
  s.draws.push_back(a);
  Draw b;
  b.blend = true;
  b.srcBlend = D3DBLEND_SRCALPHA;
  b.destBlend = D3DBLEND_INVSRCALPHA;
  b.stages[0] = DiffuseOnly();
  AddScreenQuad(&b, 29.5f, 29.5f, 89.5f, 79.5f, 0.5f, 0x80FFE0A0);
  s.draws.push_back(b);
  Draw c;
  c.blend = true;
  c.srcBlend = D3DBLEND_SRCALPHA;
  c.destBlend = D3DBLEND_ONE;
  c.stages[0] = ModulateStage0(0);
  c.stages[0].filter = D3DTEXF_LINEAR;
  AddScreenQuad(&c, 9.5f, 49.5f, 69.5f, 93.5f, 0.5f, 0xC0FFFFFF);
  s.draws.push_back(c);
  return s;
}

std::vector<uint8_t> ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The meshes of a 3DS file as indexed lists (positions, normals, mapping), drawn lit and
// textured with the camera on the unit sphere the loader scales them into.
void AddMeshes(Scene* s, const std::vector<uint8_t>& bytes, const Draw& base) {
  D3DDemoEngineScene scene;
  scene.SetLoadTextures(0);
  scene.Load3dsFromMemory(nullptr, bytes.data(), bytes.size());
  for (uint32_t m = 0; m < scene.meshCount; ++m) {
    const MeshObj& mesh = *scene.meshes[m];
    if (mesh.vertexCount == 0 || mesh.faceCount == 0 || mesh.vertexCount > 65535) continue;
    Draw d = base;
    d.fvf = kMeshFvf;
    for (uint32_t i = 0; i < mesh.vertexCount; ++i) {
      Vertex v;
      v.x = mesh.vertices[i].x;
      v.y = mesh.vertices[i].y;
      v.z = mesh.vertices[i].z;
      v.nx = mesh.vertexNormals[i].x;
      v.ny = mesh.vertexNormals[i].y;
      v.nz = mesh.vertexNormals[i].z;
      if (mesh.texCoords != nullptr) {
        v.u = mesh.texCoords[i].u;
        v.v = mesh.texCoords[i].v;
      }
      d.vertices.push_back(v);
    }
    for (uint32_t f = 0; f < mesh.faceCount; ++f) {
      const MeshFace& face = mesh.faces[f];
      if (face.a >= mesh.vertexCount || face.b >= mesh.vertexCount || face.c >= mesh.vertexCount) continue;
      d.indices.insert(d.indices.end(), {face.a, face.b, face.c});
    }
    s->draws.push_back(d);
  }
}

Draw MeshBase(const Scene& s) {
  Draw d = Camera(s);
  d.view = LookAtLH(1.6f, 0.9f, -1.9f, 0, 0, 0);
  d.projection = PerspectiveFovLH(0.7853982f, static_cast<float>(s.width) / static_cast<float>(s.height),
                                  0.0001f, 4.0f);
  d.lighting = true;
  d.specularEnable = true;
  d.zEnable = d.zWrite = true;
  d.cull = D3DCULL_NONE;
  d.material = Material(0.4f, 0.4f, 0.4f, 0.8f, 0.8f, 0.8f, 0.3f, 20.0f);
  d.ambient = 0xFF202020;
  d.lights.push_back(PointLight(2.0f, 3.0f, -2.0f, 0.7f, 0.65f, 0.6f));
  d.lights.back().specular = {0.4f, 0.4f, 0.4f, 0};
  d.lights.push_back(PointLight(-3.0f, 1.0f, -1.0f, 0.2f, 0.25f, 0.35f));
  d.lights.back().specular = {0.2f, 0.2f, 0.2f, 0};
  d.stages[0] = DefaultStage0(0);
  d.stages[0].colorArg2 = D3DTA_DIFFUSE;
  d.stages[0].filter = D3DTEXF_LINEAR;
  return d;
}

// A texture of the given size with its whole chain, each level its own pattern of red and
// green ramps over an x-xor-y blue (so a wrong level shows), alpha a diagonal ramp or opaque.
TextureDesc Patterned(uint32_t size, bool withAlpha, bool chain) {
  TextureDesc t;
  t.size = size;
  auto level = [&](uint32_t s) {
    std::vector<uint32_t> texels(static_cast<size_t>(s) * s);
    for (uint32_t y = 0; y < s; ++y) {
      for (uint32_t x = 0; x < s; ++x) {
        const uint32_t alpha = withAlpha ? ((x * 7 + y * 3) & 255) : 255;
        texels[y * s + x] = (alpha << 24) | ((x * 255 / s) << 16) | ((y * 255 / s) << 8) | ((x ^ y) & 255);
      }
    }
    return texels;
  };
  t.faces[0] = level(size);
  for (uint32_t s = size / 2; chain && s >= 1; s /= 2) t.mips.push_back(level(s));
  return t;
}

}  // namespace

Scene JeepScene(const std::filesystem::path& corpus3ds, uint32_t width, uint32_t height, bool lit) {
  Scene s("jeep",
          lit ? "the jeep from the corpus, lit by two point lights with specular, textured, under "
                "the overlay, flash and veil"
              : "the demo's frame: the jeep textured and unlit, then the overlay, flash and veil",
          width, height);
  std::vector<uint8_t> bytes = ReadAll(corpus3ds / "jeep1.3ds");
  if (bytes.empty()) return Scene{};
  s.textures.push_back(Checker(256, 0xFF6B7045, 0xFF8F9460, 16));
  s.textures.push_back(Gradient(64));
  s.draws.push_back(Clear(0xFF1A2030));
  Draw mesh = MeshBase(s);
  if (!lit) {
    mesh.lighting = false;
    mesh.specularEnable = false;
    mesh.lights.clear();
  }
  AddMeshes(&s, bytes, mesh);
  // The three full-screen quads, as the demo draws them: the overlay picture under the alpha
  // test, then a white flash and a faint white veil, all alpha-blended.
  const float fw = static_cast<float>(width), fh = static_cast<float>(height);
  Draw overlay;
  overlay.blend = true;
  overlay.srcBlend = D3DBLEND_SRCALPHA;
  overlay.destBlend = D3DBLEND_INVSRCALPHA;
  overlay.alphaTest = true;
  overlay.alphaRef = 200;
  overlay.stages[0] = DefaultStage0(1);
  overlay.stages[0].filter = D3DTEXF_LINEAR;
  AddScreenQuad(&overlay, -0.5f, -0.5f, fw - 0.5f, fh - 0.5f, 0.0f, 0xFFFFFFFF);
  s.draws.push_back(overlay);
  Draw flash = overlay;
  flash.vertices.clear();
  flash.alphaTest = false;
  flash.stages[0] = DiffuseOnly();
  AddScreenQuad(&flash, -0.5f, -0.5f, fw - 0.5f, fh - 0.5f, 0.0f, 0x60FFFFFF);
  s.draws.push_back(flash);
  Draw veil = flash;
  veil.vertices.clear();
  AddScreenQuad(&veil, -0.5f, -0.5f, fw - 0.5f, fh - 0.5f, 0.0f, 0x1FFFFFFF);
  s.draws.push_back(veil);
  return s;
}

Scene HeavyScene(uint32_t width, uint32_t height) {
  Scene s("heavy",
          "10,000 textured depth-tested triangles under the linear mip filter over about half the "
          "screen, then three full-screen blended quads, one textured and alpha-tested at 200",
          width, height);
  s.textures.push_back(Patterned(256, false, true));
  s.textures.push_back(Patterned(256, true, false));
  s.draws.push_back(Clear(0xFF203040));
  // A gently waving sheet of 100 x 50 cells, two triangles each, seen from above at an angle.
  constexpr int kColumns = 100, kRows = 50;
  Draw mesh;
  mesh.world = Identity();
  mesh.view = LookAtLH(0, 1.6f, -2.2f, 0, 0, 0);
  mesh.projection = PerspectiveFovLH(0.7853982f, static_cast<float>(width) / static_cast<float>(height),
                                     0.1f, 10.0f);
  mesh.fvf = D3DFVF_XYZ | D3DFVF_TEX1;
  mesh.zEnable = mesh.zWrite = true;
  mesh.stages[0] = DefaultStage0(0);
  mesh.stages[0].filter = D3DTEXF_LINEAR;
  mesh.stages[0].mipFilter = D3DTEXF_LINEAR;
  for (int r = 0; r <= kRows; ++r) {
    for (int c = 0; c <= kColumns; ++c) {
      Vertex v;
      v.x = -1.6f + 3.2f * static_cast<float>(c) / kColumns;
      v.z = -0.8f + 1.6f * static_cast<float>(r) / kRows;
      v.y = 0.08f * std::sin(6.0f * v.x) * std::cos(5.0f * v.z);
      v.u = 4.0f * static_cast<float>(c) / kColumns;
      v.v = 2.0f * static_cast<float>(r) / kRows;
      mesh.vertices.push_back(v);
    }
  }
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kColumns; ++c) {
      const uint16_t a = static_cast<uint16_t>(r * (kColumns + 1) + c), b = a + 1,
                     d = static_cast<uint16_t>(a + kColumns + 1), e = d + 1;
      mesh.indices.insert(mesh.indices.end(), {a, d, b, b, d, e});
    }
  }
  s.draws.push_back(mesh);
  // The quads fill the frame from a camera 4.8 units away with a square 45-degree view.
  Draw overlay;
  overlay.world = Identity();
  overlay.view = LookAtLH(0, 0, -4.8f, 0, 0, 0);
  overlay.projection = PerspectiveFovLH(0.7853982f, 1.0f, 0.001f, 100.0f);
  overlay.blend = true;
  overlay.srcBlend = D3DBLEND_SRCALPHA;
  overlay.destBlend = D3DBLEND_INVSRCALPHA;
  overlay.alphaTest = true;
  overlay.alphaRef = 200;
  overlay.stages[0] = ModulateStage0(1);
  overlay.stages[0].filter = D3DTEXF_LINEAR;
  auto quad = [](Draw* d, uint32_t colour) {
    Vertex a, b, c, e;
    a.x = -2; a.y = 2; a.u = 0; a.v = 0;
    b.x = 2; b.y = 2; b.u = 1; b.v = 0;
    c.x = -2; c.y = -2; c.u = 0; c.v = 1;
    e.x = 2; e.y = -2; e.u = 1; e.v = 1;
    for (Vertex* v : {&a, &b, &c, &e}) v->diffuse = colour;
    d->vertices = {a, b, c, b, c, e};
    d->fvf = kQuadFvf;
  };
  quad(&overlay, 0xFFFFFFFF);
  s.draws.push_back(overlay);
  Draw flash = overlay;
  flash.alphaTest = false;
  flash.stages[0] = DiffuseOnly();
  quad(&flash, 0x40FF8000);
  s.draws.push_back(flash);
  Draw veil = flash;
  quad(&veil, 0x1FFFFFFF);
  s.draws.push_back(veil);
  return s;
}

std::vector<Scene> AllScenes(const std::filesystem::path& corpus3ds) {
  std::vector<Scene> scenes = {Blends(),        StageSetups(),     AlphaTest(), DepthAndCull(),
                               Lights(1),       Lights(3),         Lights(8),   SphereMap(),
                               CubeReflection(), PointSprites(),   RenderTarget(), StripsFansLines(), Mipmaps(), Viewport(),
                               Rgb565(),        ScreenQuads(),    HeavyScene()};
  if (!corpus3ds.empty()) {
    for (bool lit : {false, true}) {
      Scene jeep = JeepScene(corpus3ds, 160, 120, lit);
      if (jeep.name.empty()) continue;
      jeep.name = lit ? "jeep-lit" : "jeep-demo";
      scenes.push_back(std::move(jeep));
    }
  }
  return scenes;
}

}  // namespace zelk4::crosscheck
