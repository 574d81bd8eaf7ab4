// The draw calls: check the vertex and index sources, run the vertex stage over the vertices
// used, assemble primitives, clip them in homogeneous space, map them to the viewport and hand
// the triangles to the rasterizer.
//
// Clipping: against the near plane (z >= 0), the far plane (z <= w), w > 0 and a guard band
// at the sides that keeps screen positions within a few thousand pixels of the viewport;
// inside the guard band the rasterizer's viewport scissor does the rest. A new vertex on a
// clipped edge is always computed from the edge's inside end, so two triangles sharing an
// edge get the same point.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/d3d8/call_log.h"
#include "platform/d3d8/device_core.h"
#include "platform/d3d8/pipeline.h"
#include "platform/d3d8/pixel_state.h"
#include "platform/d3d8/rasterizer.h"
#include "platform/d3d8/vertex_stage.h"

namespace zelk4::d3d8 {
namespace {

constexpr int kPlaneCount = 7;
constexpr float kMinW = 1e-6f;
constexpr float kGuardPixels = 4096.0f;

struct Viewport {
  float x, y, halfW, halfH, minZ, depthRange;
  float guardX, guardY;  // |x| <= guardX * w keeps screen x inside the guard band
};

Viewport MakeViewport(const D3DVIEWPORT8& vp) {
  Viewport v;
  v.x = static_cast<float>(vp.X);
  v.y = static_cast<float>(vp.Y);
  v.halfW = static_cast<float>(vp.Width) * 0.5f;
  v.halfH = static_cast<float>(vp.Height) * 0.5f;
  v.minZ = vp.MinZ;
  v.depthRange = vp.MaxZ - vp.MinZ;
  v.guardX = 1.0f + kGuardPixels / v.halfW;
  v.guardY = 1.0f + kGuardPixels / v.halfH;
  return v;
}

// Signed distance to clip plane i; inside when >= 0. NaN counts as outside.
float PlaneDistance(const ClipVertex& v, int plane, const Viewport& vp) {
  const float x = v.pos[0], y = v.pos[1], z = v.pos[2], w = v.pos[3];
  switch (plane) {
    case 0: return z;
    case 1: return w - z;
    case 2: return w - kMinW;
    case 3: return x + vp.guardX * w;
    case 4: return vp.guardX * w - x;
    case 5: return y + vp.guardY * w;
    default: return vp.guardY * w - y;
  }
}

unsigned OutCodes(const ClipVertex& v, const Viewport& vp) {
  unsigned codes = 0;
  for (int plane = 0; plane < kPlaneCount; ++plane) {
    if (!(PlaneDistance(v, plane, vp) >= 0.0f)) codes |= 1u << plane;
  }
  return codes;
}

void Lerp(const ClipVertex& inside, const ClipVertex& outside, float t, int varyings,
          ClipVertex* out) {
  for (int i = 0; i < 4; ++i) out->pos[i] = inside.pos[i] + (outside.pos[i] - inside.pos[i]) * t;
  out->eyeDistance = inside.eyeDistance + (outside.eyeDistance - inside.eyeDistance) * t;
  for (int i = 0; i < varyings; ++i) {
    out->var[i] = inside.var[i] + (outside.var[i] - inside.var[i]) * t;
  }
}

// Clips a convex polygon against every plane in `planes`; returns the vertex count (0 when
// nothing is left).
int ClipPolygon(ClipVertex* polygon, int count, unsigned planes, int varyings, const Viewport& vp,
                ClipVertex* scratch) {
  ClipVertex* in = polygon;
  ClipVertex* out = scratch;
  for (int plane = 0; plane < kPlaneCount && count > 0; ++plane) {
    if ((planes & (1u << plane)) == 0) continue;
    int n = 0;
    for (int i = 0; i < count; ++i) {
      const ClipVertex& a = in[i];
      const ClipVertex& b = in[(i + 1) % count];
      float da = PlaneDistance(a, plane, vp), db = PlaneDistance(b, plane, vp);
      bool aIn = da >= 0.0f, bIn = db >= 0.0f;
      if (aIn) out[n++] = a;
      if (aIn != bIn && std::isfinite(da) && std::isfinite(db)) {
        if (aIn) {
          Lerp(a, b, da / (da - db), varyings, &out[n++]);
        } else {
          Lerp(b, a, db / (db - da), varyings, &out[n++]);
        }
      }
    }
    count = n;
    std::swap(in, out);
  }
  if (in != polygon) {
    for (int i = 0; i < count; ++i) polygon[i] = in[i];
  }
  return count;
}

bool Project(const ClipVertex& c, const Viewport& vp, int varyings, ScreenVertex* s) {
  float q = 1.0f / c.pos[3];
  s->x = vp.x + (1.0f + c.pos[0] * q) * vp.halfW;
  s->y = vp.y + (1.0f - c.pos[1] * q) * vp.halfH;
  s->z = vp.minZ + c.pos[2] * q * vp.depthRange;
  s->q = q;
  std::memcpy(s->var, c.var, sizeof(float) * static_cast<size_t>(varyings));
  return std::isfinite(s->x) && std::isfinite(s->y) && std::isfinite(s->z) && std::isfinite(q);
}

CullRule CullFor(DWORD cullMode) {
  if (cullMode == D3DCULL_CW) return CullRule::kKeepCounterClockwise;
  if (cullMode == D3DCULL_CCW) return CullRule::kKeepClockwise;
  return CullRule::kKeepAll;
}

struct DrawContext {
  const Rasterizer* rasterizer;
  SetUpTriangles* out;  // where the draw's triangles are set up, in order
  Viewport vp;
  int varyings;
  CullRule cull;
  bool flat;
  const PixelState* pixels;
  const DeviceState* state;
  // Per processed vertex: its clip codes (kNotProjectable when inside the clip volume but
  // without a finite screen position) and, when inside, its screen position.
  const unsigned* codes = nullptr;
  const ScreenVertex* screen = nullptr;
};

constexpr unsigned kNotProjectable = 1u << kPlaneCount;

// Work buffers reused from draw to draw (draw calls come from one thread).
struct Scratch {
  std::vector<uint32_t> corners;
  std::vector<ClipVertex> processed;
  std::vector<unsigned> codes;
  std::vector<ScreenVertex> screen;
  std::vector<SetUpTriangles> parts;  // the triangles of each part of the draw, in order
  std::vector<size_t> room;           // and the room made for each in the queue
};

// A draw's vertices, and its primitives, are split into parts of about these many that the
// rasterizer's threads work on at once, once there are enough of them: handing work over to
// the other threads and back costs some 10 to 20 us, as much as the vertex work of about a
// thousand vertices or the set-up of a few hundred triangles.
constexpr UINT kPrimitivesPerPart = 256;
constexpr size_t kFewestVerticesToSplit = 2048;
constexpr UINT kFewestPrimitivesToSplit = 1024;

Scratch& DrawScratch() {
  static Scratch scratch;
  return scratch;
}

// Flat shading: every vertex takes the colours of the primitive's first vertex.
void FlatColours(const ClipVertex& first, ClipVertex* v) {
  for (int i = 0; i < kFirstTexSlot; ++i) v->var[i] = first.var[i];
}

// Draws the triangle of processed vertices ia, ib, ic.
void DrawTriangle(const DrawContext& dc, const ClipVertex* vertices, uint32_t ia, uint32_t ib,
                  uint32_t ic) {
  const unsigned ca = dc.codes[ia], cb = dc.codes[ib], cc = dc.codes[ic];
  if ((ca & cb & cc) != 0) return;  // wholly outside one plane
  if (((ca | cb | cc) & kNotProjectable) != 0) return;
  if ((ca | cb | cc) == 0) {
    // Wholly inside: the vertices' screen positions as they are.
    if (!dc.flat) {
      dc.rasterizer->SetUpTriangle(dc.screen[ia], dc.screen[ib], dc.screen[ic], dc.cull, dc.out);
      return;
    }
    ScreenVertex b = dc.screen[ib], c = dc.screen[ic];
    for (int i = 0; i < kFirstTexSlot; ++i) b.var[i] = c.var[i] = dc.screen[ia].var[i];
    dc.rasterizer->SetUpTriangle(dc.screen[ia], b, c, dc.cull, dc.out);
    return;
  }
  const ClipVertex& a = vertices[ia];
  const ClipVertex& b = vertices[ib];
  const ClipVertex& c = vertices[ic];
  ScreenVertex s[3 + kPlaneCount];
  ClipVertex polygon[3 + kPlaneCount];
  ClipVertex scratch[3 + kPlaneCount];
  polygon[0] = a;
  polygon[1] = b;
  polygon[2] = c;
  if (dc.flat) {
    FlatColours(a, &polygon[1]);
    FlatColours(a, &polygon[2]);
  }
  // Facing from the homogeneous determinant of (x, y, w): clipping keeps it, and it needs no
  // divide. A clockwise triangle on screen has a negative determinant.
  if (dc.cull != CullRule::kKeepAll) {
    auto d = [](const ClipVertex& v, int i) { return static_cast<double>(v.pos[i]); };
    double det = d(a, 0) * (d(b, 1) * d(c, 3) - d(c, 1) * d(b, 3)) -
                 d(a, 1) * (d(b, 0) * d(c, 3) - d(c, 0) * d(b, 3)) +
                 d(a, 3) * (d(b, 0) * d(c, 1) - d(c, 0) * d(b, 1));
    if (det == 0.0 || !std::isfinite(det)) return;
    bool clockwise = det < 0.0;
    if (clockwise != (dc.cull == CullRule::kKeepClockwise)) return;
  }
  int count = ClipPolygon(polygon, 3, ca | cb | cc, dc.varyings, dc.vp, scratch);
  if (count < 3) return;
  for (int i = 0; i < count; ++i) {
    if (!Project(polygon[i], dc.vp, dc.varyings, &s[i])) return;
  }
  for (int i = 1; i + 1 < count; ++i) {
    dc.rasterizer->SetUpTriangle(s[0], s[i], s[i + 1], CullRule::kKeepAll, dc.out);
  }
}

float FloatState(const DeviceState& s, D3DRENDERSTATETYPE state) {
  DWORD bits = s.rs(state);
  float f;
  std::memcpy(&f, &bits, 4);
  return std::isfinite(f) ? f : 0.0f;
}

// A point is a screen-aligned square of the point size around its centre, drawn as two
// triangles with the triangle rules; a point sprite spreads each stage's texture over it.
void DrawPoint(const DrawContext& dc, const ClipVertex& v, float vertexSize) {
  const DeviceState& s = *dc.state;
  float w = v.pos[3];
  if (!(w >= kMinW) || !(v.pos[2] >= 0.0f) || !(v.pos[2] <= w)) return;
  ScreenVertex centre;
  if (!Project(v, dc.vp, dc.varyings, &centre)) return;
  float size = vertexSize;
  if (s.rs(D3DRS_POINTSCALEENABLE) != FALSE) {
    float a = FloatState(s, D3DRS_POINTSCALE_A), b = FloatState(s, D3DRS_POINTSCALE_B),
          c = FloatState(s, D3DRS_POINTSCALE_C);
    float de = v.eyeDistance;
    float denominator = a + b * de + c * de * de;
    size = denominator > 0.0f ? dc.vp.halfH * 2.0f * size * std::sqrt(1.0f / denominator) : 0.0f;
  }
  float minSize = FloatState(s, D3DRS_POINTSIZE_MIN), maxSize = FloatState(s, D3DRS_POINTSIZE_MAX);
  if (maxSize > 256.0f) maxSize = 256.0f;  // the device's largest point
  if (size > maxSize) size = maxSize;
  if (size < minSize) size = minSize;
  if (!(size > 0.0f)) return;
  float h = size * 0.5f;
  if (std::fabs(centre.x - dc.vp.x) > kGuardPixels || std::fabs(centre.y - dc.vp.y) > kGuardPixels) {
    return;
  }
  ScreenVertex corner[4] = {centre, centre, centre, centre};
  corner[0].x -= h; corner[0].y -= h;
  corner[1].x += h; corner[1].y -= h;
  corner[2].x -= h; corner[2].y += h;
  corner[3].x += h; corner[3].y += h;
  if (s.rs(D3DRS_POINTSPRITEENABLE) != FALSE) {
    static constexpr float kU[4] = {0, 1, 0, 1}, kV[4] = {0, 0, 1, 1};
    for (int stage = 0; stage < dc.pixels->stageCount; ++stage) {
      int slot = dc.pixels->stages[stage].texSlot;
      if (slot < 0) continue;
      for (int i = 0; i < 4; ++i) {
        corner[i].var[slot] = kU[i];
        corner[i].var[slot + 1] = kV[i];
      }
    }
  }
  dc.rasterizer->SetUpTriangle(corner[0], corner[1], corner[2], CullRule::kKeepAll, dc.out);
  dc.rasterizer->SetUpTriangle(corner[1], corner[3], corner[2], CullRule::kKeepAll, dc.out);
}

// Moves a projected line end by t times the line's own length (t < 0: back past the start),
// carrying the varyings along as perspective-correct interpolation would.
ScreenVertex AlongLine(const ScreenVertex& a, const ScreenVertex& b, float t, int varyings) {
  ScreenVertex v = a;
  v.x = a.x + (b.x - a.x) * t;
  v.y = a.y + (b.y - a.y) * t;
  v.z = a.z + (b.z - a.z) * t;
  v.q = a.q + (b.q - a.q) * t;
  if (!(v.q > 0.0f)) return a;
  for (int i = 0; i < varyings; ++i) {
    v.var[i] = (a.var[i] * a.q + (b.var[i] * b.q - a.var[i] * a.q) * t) / v.q;
  }
  return v;
}

// A line lights the pixels whose diamonds (|dx| + |dy| < 1/2 around the centre) it leaves: one
// per column of an x-major line (per row of a y-major one), from the column nearest the first
// end up to the one before the column nearest the last end, which LASTPIXEL adds. It is drawn
// as a band one pixel wide across the major axis, its ends moved half a pixel back along the
// line, as two triangles under the top-left rule.
void DrawLine(const DrawContext& dc, ClipVertex a, ClipVertex b) {
  if (dc.flat) FlatColours(a, &b);
  for (int plane = 0; plane < kPlaneCount; ++plane) {
    float da = PlaneDistance(a, plane, dc.vp), db = PlaneDistance(b, plane, dc.vp);
    bool aIn = da >= 0.0f, bIn = db >= 0.0f;
    if (!aIn && !bIn) return;
    if (aIn == bIn) continue;
    if (!std::isfinite(da) || !std::isfinite(db)) return;
    ClipVertex cut;
    if (aIn) {
      Lerp(a, b, da / (da - db), dc.varyings, &cut);
      b = cut;
    } else {
      Lerp(b, a, db / (db - da), dc.varyings, &cut);
      a = cut;
    }
  }
  ScreenVertex s0, s1;
  if (!Project(a, dc.vp, dc.varyings, &s0) || !Project(b, dc.vp, dc.varyings, &s1)) return;
  const float dx = s1.x - s0.x, dy = s1.y - s0.y;
  const bool xMajor = std::fabs(dx) >= std::fabs(dy);
  const float length = std::fabs(xMajor ? dx : dy);
  if (!(length > 0.0f)) return;
  const float half = 0.5f / length;
  const float last = dc.state->rs(D3DRS_LASTPIXEL) != FALSE ? 1.0f : 0.0f;
  ScreenVertex from = AlongLine(s0, s1, -half, dc.varyings);
  ScreenVertex to = AlongLine(s0, s1, 1.0f - half + last / length, dc.varyings);
  ScreenVertex c[4] = {from, to, to, from};
  for (int i = 0; i < 4; ++i) (xMajor ? c[i].y : c[i].x) += i < 2 ? -0.5f : 0.5f;
  dc.rasterizer->SetUpTriangle(c[0], c[1], c[2], CullRule::kKeepAll, dc.out);
  dc.rasterizer->SetUpTriangle(c[0], c[2], c[3], CullRule::kKeepAll, dc.out);
}

UINT VerticesFor(D3DPRIMITIVETYPE type, UINT primitives) {
  switch (type) {
    case D3DPT_POINTLIST: return primitives;
    case D3DPT_LINELIST: return primitives * 2;
    case D3DPT_LINESTRIP: return primitives + 1;
    case D3DPT_TRIANGLELIST: return primitives * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return primitives + 2;
    default: return 0;
  }
}

// Where the vertices and (optionally) the indices of one draw come from.
struct Sources {
  const uint8_t* vertices = nullptr;
  size_t vertexBytes = 0;
  UINT stride = 0;
  const uint8_t* indices = nullptr;  // null: vertices are used in order from startVertex
  size_t indexBytes = 0;
  bool index32 = false;
  UINT first = 0;  // start vertex, or start index
  UINT baseVertex = 0;
};

HRESULT Draw(DeviceCore& core, D3DPRIMITIVETYPE type, UINT primitives, const Sources& src) {
  // Drawing happens between BeginScene and EndScene only; outside a scene nothing is drawn.
  if (!core.inScene) return D3DERR_INVALIDCALL;
  const DeviceState& s = core.state;
  UINT vertexCount = VerticesFor(type, primitives);
  if (vertexCount == 0 && primitives != 0) return D3DERR_INVALIDCALL;
  if (primitives == 0) return D3D_OK;
  if (primitives > (1u << 24)) return D3DERR_INVALIDCALL;
  FvfLayout layout = DecodeFvf(s.vertexShader);
  if (!layout.valid || src.vertices == nullptr || src.stride < layout.stride) {
    return D3DERR_INVALIDCALL;
  }
  size_t vertexLimit = src.vertexBytes < layout.stride
                           ? 0
                           : (src.vertexBytes - layout.stride) / src.stride + 1;

  // The vertex number of each primitive corner, checked against the buffers.
  Scratch& scratch = DrawScratch();
  std::vector<uint32_t>& corners = scratch.corners;
  corners.resize(vertexCount);
  uint64_t lo = UINT64_MAX, hi = 0;
  for (UINT k = 0; k < vertexCount; ++k) {
    uint64_t vertex;
    if (src.indices != nullptr) {
      uint64_t at = (static_cast<uint64_t>(src.first) + k) * (src.index32 ? 4 : 2);
      if (at + (src.index32 ? 4 : 2) > src.indexBytes) return D3DERR_INVALIDCALL;
      uint32_t index;
      if (src.index32) {
        std::memcpy(&index, src.indices + at, 4);
      } else {
        uint16_t i16;
        std::memcpy(&i16, src.indices + at, 2);
        index = i16;
      }
      vertex = static_cast<uint64_t>(src.baseVertex) + index;
    } else {
      vertex = static_cast<uint64_t>(src.first) + k;
    }
    if (vertex >= vertexLimit) return D3DERR_INVALIDCALL;
    corners[k] = static_cast<uint32_t>(vertex);
    lo = vertex < lo ? vertex : lo;
    hi = vertex > hi ? vertex : hi;
  }

  if (DrawingSuspended()) return D3D_OK;  // checked as if drawn, nothing drawn
  PixelState pixels;
  BuildPixelState(core, &pixels);
  if (pixels.clipX0 >= pixels.clipX1 || pixels.clipY0 >= pixels.clipY1) return D3D_OK;

  const size_t count = static_cast<size_t>(hi - lo + 1);
  std::vector<ClipVertex>& processed = scratch.processed;
  // The work buffers only grow: growing value-initializes every new element, and draws of
  // different sizes follow each other.
  auto atLeast = [count](auto& buffer) {
    if (buffer.size() < count) buffer.resize(count);
  };
  atLeast(processed);
  for (uint32_t& corner : corners) corner -= static_cast<uint32_t>(lo);
  // Clip codes and screen positions once per vertex, not once per triangle corner.
  const Viewport vp = MakeViewport(s.viewport);
  atLeast(scratch.codes);
  atLeast(scratch.screen);
  Rasterizer& rasterizer = *core.rasterizer;
  auto vertices = [&](size_t first, size_t n) {
    ProcessVertices(s, layout, pixels, src.vertices + (lo + first) * src.stride, src.stride, n,
                    processed.data() + first);
    for (size_t i = first; i < first + n; ++i) {
      unsigned codes = OutCodes(processed[i], vp);
      if (codes == 0 && !Project(processed[i], vp, pixels.varyingCount, &scratch.screen[i])) {
        codes = kNotProjectable;
      }
      scratch.codes[i] = codes;
    }
  };
  const int vertexParts = count < kFewestVerticesToSplit ? 1 : static_cast<int>(std::min<size_t>(64, count / kPrimitivesPerPart));
  rasterizer.ParallelFor(vertexParts, [&](int part) {
    const size_t first = count * static_cast<size_t>(part) / static_cast<size_t>(vertexParts);
    const size_t end = count * static_cast<size_t>(part + 1) / static_cast<size_t>(vertexParts);
    vertices(first, end - first);
  });

  rasterizer.BeginDraw(pixels);
  // Primitives [first, end) of the draw, set up into `out`.
  auto assemble = [&](SetUpTriangles* out, UINT first, UINT end) {
    DrawContext dc{&rasterizer, out, vp, pixels.varyingCount, CullFor(s.rs(D3DRS_CULLMODE)), pixels.flatShade,
                   &pixels, &s, scratch.codes.data(), scratch.screen.data()};
    const ClipVertex* v = processed.data();
    auto at = [&](UINT k) -> const ClipVertex& { return processed[corners[k]]; };
    const uint32_t* k = corners.data();
    switch (type) {
      case D3DPT_TRIANGLELIST:
        for (UINT t = first; t < end; ++t) DrawTriangle(dc, v, k[3 * t], k[3 * t + 1], k[3 * t + 2]);
        break;
      case D3DPT_TRIANGLESTRIP:
        // Every other triangle is reversed so a consistently wound strip keeps one facing.
        for (UINT t = first; t < end; ++t) {
          if (t % 2 == 0) {
            DrawTriangle(dc, v, k[t], k[t + 1], k[t + 2]);
          } else {
            DrawTriangle(dc, v, k[t], k[t + 2], k[t + 1]);
          }
        }
        break;
      case D3DPT_TRIANGLEFAN:
        for (UINT t = first; t < end; ++t) DrawTriangle(dc, v, k[t + 1], k[t + 2], k[0]);
        break;
      case D3DPT_POINTLIST: {
        float stateSize = FloatState(s, D3DRS_POINTSIZE);
        for (UINT p = first; p < end; ++p) {
          float size = stateSize;
          if (layout.pointSizeOffset >= 0) {
            std::memcpy(&size, src.vertices + static_cast<size_t>(corners[p] + lo) * src.stride +
                                   layout.pointSizeOffset, 4);
          }
          DrawPoint(dc, at(p), size);
        }
        break;
      }
      case D3DPT_LINELIST:
        for (UINT l = first; l < end; ++l) DrawLine(dc, at(2 * l), at(2 * l + 1));
        break;
      case D3DPT_LINESTRIP:
        for (UINT l = first; l < end; ++l) DrawLine(dc, at(l), at(l + 1));
        break;
      default:
        break;
    }
  };
  const int parts = rasterizer.ThreadCount() == 1 || primitives < kFewestPrimitivesToSplit
                        ? 1
                        : static_cast<int>(std::min<UINT>(64, primitives / kPrimitivesPerPart));
  if (parts == 1) {
    // Straight into the queue.
    const size_t first = rasterizer.Queued()->triangles.size();
    assemble(rasterizer.Queued(), 0, primitives);
    rasterizer.BinQueued(first);
  } else {
    if (scratch.parts.size() < static_cast<size_t>(parts)) scratch.parts.resize(static_cast<size_t>(parts));
    auto partStart = [&](int part) {
      return static_cast<UINT>(uint64_t{primitives} * static_cast<uint64_t>(part) / static_cast<uint64_t>(parts));
    };
    // Room in the queue for the triangles a part most likely makes: one per triangle, two
    // per point or line (the rest, from clipping, is copied in afterwards).
    const bool quads = type == D3DPT_POINTLIST || type == D3DPT_LINELIST || type == D3DPT_LINESTRIP;
    std::vector<size_t>& room = scratch.room;
    room.resize(static_cast<size_t>(parts));
    for (int part = 0; part < parts; ++part) room[static_cast<size_t>(part)] = (partStart(part + 1) - partStart(part)) * (quads ? 2u : 1u);
    rasterizer.OpenWindows(scratch.parts.data(), room.data(), parts);
    rasterizer.ParallelFor(parts, [&](int part) {
      SetUpTriangles& out = scratch.parts[static_cast<size_t>(part)];
      out.triangles.clear();
      out.planes.clear();
      assemble(&out, partStart(part), partStart(part + 1));
    });
    rasterizer.AddTriangles(scratch.parts.data(), parts);
  }
  return D3D_OK;
}

}  // namespace
}  // namespace zelk4::d3d8

using zelk4::d3d8::Sources;

HRESULT IDirect3DDevice8::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex,
                                        UINT PrimitiveCount) {
  D3D8_LOG("DrawPrimitive(%s, %u, %u)", zelk4::d3d8::PrimitiveName(PrimitiveType).c_str(), StartVertex,
           PrimitiveCount);
  const zelk4::d3d8::DeviceState& s = core_->state;
  if (s.stream == nullptr) return D3DERR_INVALIDCALL;
  Sources src;
  src.vertices = s.stream->data_.data();
  src.vertexBytes = s.stream->data_.size();
  src.stride = s.streamStride;
  src.first = StartVertex;
  return zelk4::d3d8::Draw(*core_, PrimitiveType, PrimitiveCount, src);
}

HRESULT IDirect3DDevice8::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT minIndex,
                                               UINT NumVertices, UINT startIndex,
                                               UINT primCount) {
  D3D8_LOG("DrawIndexedPrimitive(%s, %u, %u, %u, %u)", zelk4::d3d8::PrimitiveName(PrimitiveType).c_str(), minIndex,
           NumVertices, startIndex, primCount);
  const zelk4::d3d8::DeviceState& s = core_->state;
  if (s.stream == nullptr || s.indices == nullptr) return D3DERR_INVALIDCALL;
  Sources src;
  src.vertices = s.stream->data_.data();
  src.vertexBytes = s.stream->data_.size();
  src.stride = s.streamStride;
  src.indices = s.indices->data_.data();
  src.indexBytes = s.indices->data_.size();
  src.index32 = s.indices->desc_.Format == D3DFMT_INDEX32;
  src.first = startIndex;
  src.baseVertex = s.baseVertexIndex;
  return zelk4::d3d8::Draw(*core_, PrimitiveType, primCount, src);
}

HRESULT IDirect3DDevice8::DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                          const void* pVertexStreamZeroData,
                                          UINT VertexStreamZeroStride) {
  D3D8_LOG("DrawPrimitiveUP(%s, %u, %u)", zelk4::d3d8::PrimitiveName(PrimitiveType).c_str(), PrimitiveCount,
           VertexStreamZeroStride);
  if (pVertexStreamZeroData == nullptr || VertexStreamZeroStride == 0) return D3DERR_INVALIDCALL;
  Sources src;
  src.vertices = static_cast<const uint8_t*>(pVertexStreamZeroData);
  src.vertexBytes = static_cast<size_t>(zelk4::d3d8::VerticesFor(PrimitiveType, PrimitiveCount)) *
                    VertexStreamZeroStride;
  src.stride = VertexStreamZeroStride;
  HRESULT hr = zelk4::d3d8::Draw(*core_, PrimitiveType, PrimitiveCount, src);
  // Direct3D unbinds stream 0 after a user-pointer draw.
  SetStreamSource(0, nullptr, 0);
  return hr;
}

HRESULT IDirect3DDevice8::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType,
                                                 UINT MinVertexIndex, UINT NumVertexIndices,
                                                 UINT PrimitiveCount, const void* pIndexData,
                                                 D3DFORMAT IndexDataFormat,
                                                 const void* pVertexStreamZeroData,
                                                 UINT VertexStreamZeroStride) {
  D3D8_LOG("DrawIndexedPrimitiveUP(%s, %u, %u, %u, %s, %u)", zelk4::d3d8::PrimitiveName(PrimitiveType).c_str(),
           MinVertexIndex, NumVertexIndices, PrimitiveCount, zelk4::d3d8::FormatName(IndexDataFormat).c_str(),
           VertexStreamZeroStride);
  if (pIndexData == nullptr || pVertexStreamZeroData == nullptr || VertexStreamZeroStride == 0 ||
      (IndexDataFormat != D3DFMT_INDEX16 && IndexDataFormat != D3DFMT_INDEX32)) {
    return D3DERR_INVALIDCALL;
  }
  Sources src;
  src.vertices = static_cast<const uint8_t*>(pVertexStreamZeroData);
  src.vertexBytes = static_cast<size_t>(MinVertexIndex + NumVertexIndices) * VertexStreamZeroStride;
  src.stride = VertexStreamZeroStride;
  src.indices = static_cast<const uint8_t*>(pIndexData);
  src.index32 = IndexDataFormat == D3DFMT_INDEX32;
  src.indexBytes = static_cast<size_t>(zelk4::d3d8::VerticesFor(PrimitiveType, PrimitiveCount)) *
                   (src.index32 ? 4 : 2);
  HRESULT hr = zelk4::d3d8::Draw(*core_, PrimitiveType, PrimitiveCount, src);
  SetStreamSource(0, nullptr, 0);
  SetIndices(nullptr, 0);
  return hr;
}
