// Per-pixel work. Order, as Direct3D does it: texture stages, specular add, alpha test, depth
// test and write, blending, colour write. (The depth test is made first, before any texturing;
// that changes nothing visible because a test has no effect of its own, and the depth write
// still waits for the alpha test.)
//
// Arithmetic: channels are integers 0..255. A product of two channels is round(a*b/255);
// blends and stage blends round the same way; sums saturate at 255. Interpolated colours are
// rounded to the nearest integer; depth is round(z * (2^bits - 1)).
#include "platform/d3d8/shade_span.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>

#include "platform/d3d8/pixel_math.h"
#include "platform/d3d8/sampler.h"

namespace zelk4::d3d8 {
namespace {

struct Rgba {
  int r, g, b, a;
};

inline int Saturate(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

inline Rgba Unpack(uint32_t c) {
  return {static_cast<int>((c >> 16) & 255), static_cast<int>((c >> 8) & 255),
          static_cast<int>(c & 255), static_cast<int>(c >> 24)};
}

inline uint32_t Pack(const Rgba& c) {
  return (static_cast<uint32_t>(c.a) << 24) | (static_cast<uint32_t>(c.r) << 16) |
         (static_cast<uint32_t>(c.g) << 8) | static_cast<uint32_t>(c.b);
}

// The registers a stage argument can name.
struct Registers {
  Rgba current, diffuse, texture, specular, factor, temp;
};

inline Rgba Arg(DWORD arg, const Registers& r) {
  Rgba v;
  switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE: v = r.diffuse; break;
    case D3DTA_CURRENT: v = r.current; break;
    case D3DTA_TEXTURE: v = r.texture; break;
    case D3DTA_TFACTOR: v = r.factor; break;
    case D3DTA_SPECULAR: v = r.specular; break;
    case D3DTA_TEMP: v = r.temp; break;
    default: v = Rgba{0, 0, 0, 0}; break;
  }
  if (arg & D3DTA_COMPLEMENT) v = Rgba{255 - v.r, 255 - v.g, 255 - v.b, 255 - v.a};
  if (arg & D3DTA_ALPHAREPLICATE) v.r = v.g = v.b = v.a;
  return v;
}

// One channel of a stage operation. `blendAlpha` is the alpha a BLEND* operation uses.
inline int Op(DWORD op, int x, int y, int blendAlpha) {
  switch (op) {
    case D3DTOP_SELECTARG2: return y;
    case D3DTOP_MODULATE: return Mul255(x, y);
    case D3DTOP_MODULATE2X: return std::min(255, (2 * x * y + 127) / 255);
    case D3DTOP_MODULATE4X: return std::min(255, (4 * x * y + 127) / 255);
    case D3DTOP_ADD: return std::min(255, x + y);
    case D3DTOP_ADDSIGNED: return Saturate((2 * (x + y) - 255 + 1) >> 1);
    case D3DTOP_ADDSIGNED2X: return Saturate(2 * (x + y) - 255);
    case D3DTOP_SUBTRACT: return std::max(0, x - y);
    case D3DTOP_ADDSMOOTH: return std::min(255, x + Mul255(y, 255 - x));
    case D3DTOP_BLENDDIFFUSEALPHA:
    case D3DTOP_BLENDTEXTUREALPHA:
    case D3DTOP_BLENDFACTORALPHA:
    case D3DTOP_BLENDCURRENTALPHA:
      return (x * blendAlpha + y * (255 - blendAlpha) + 127) / 255;
    case D3DTOP_BLENDTEXTUREALPHAPM: return std::min(255, x + Mul255(y, 255 - blendAlpha));
    default: return x;  // SELECTARG1, and operations this device does not offer
  }
}

inline int BlendAlphaFor(DWORD op, const Registers& r) {
  switch (op) {
    case D3DTOP_BLENDDIFFUSEALPHA: return r.diffuse.a;
    case D3DTOP_BLENDTEXTUREALPHA:
    case D3DTOP_BLENDTEXTUREALPHAPM: return r.texture.a;
    case D3DTOP_BLENDFACTORALPHA: return r.factor.a;
    case D3DTOP_BLENDCURRENTALPHA: return r.current.a;
    default: return 0;
  }
}

// Blend factor for one channel. s, d: source and destination colours.
inline int Factor(DWORD blend, int channel, const Rgba& s, const Rgba& d) {
  int sc = channel == 0 ? s.r : channel == 1 ? s.g : channel == 2 ? s.b : s.a;
  int dc = channel == 0 ? d.r : channel == 1 ? d.g : channel == 2 ? d.b : d.a;
  switch (blend) {
    case D3DBLEND_ZERO: return 0;
    case D3DBLEND_ONE: return 255;
    case D3DBLEND_SRCCOLOR: return sc;
    case D3DBLEND_INVSRCCOLOR: return 255 - sc;
    case D3DBLEND_SRCALPHA: return s.a;
    case D3DBLEND_INVSRCALPHA: return 255 - s.a;
    case D3DBLEND_DESTALPHA: return d.a;
    case D3DBLEND_INVDESTALPHA: return 255 - d.a;
    case D3DBLEND_DESTCOLOR: return dc;
    case D3DBLEND_INVDESTCOLOR: return 255 - dc;
    case D3DBLEND_SRCALPHASAT: return channel == 3 ? 255 : std::min(s.a, 255 - d.a);
    default: return 255;
  }
}

inline int BlendChannel(DWORD op, int s, int fs, int d, int fd) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT: return Saturate((s * fs - d * fd + (s * fs >= d * fd ? 127 : -127)) / 255);
    case D3DBLENDOP_REVSUBTRACT: return Saturate((d * fd - s * fs + (d * fd >= s * fs ? 127 : -127)) / 255);
    case D3DBLENDOP_MIN: return std::min(s, d);
    case D3DBLENDOP_MAX: return std::max(s, d);
    default: return BlendAdd(s, fs, d, fd);
  }
}

inline Rgba ReadColour(const uint8_t* p, D3DFORMAT format) {
  if (format == D3DFMT_R5G6B5) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    int r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
    return {(r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2), 255};
  }
  uint32_t v;
  std::memcpy(&v, p, 4);
  Rgba c = Unpack(v);
  if (format == D3DFMT_X8R8G8B8) c.a = 255;  // no alpha channel: reads as opaque
  return c;
}

inline void WriteColour(uint8_t* p, D3DFORMAT format, const Rgba& c) {
  if (format == D3DFMT_R5G6B5) {
    uint16_t v = static_cast<uint16_t>((((c.r * 31 + 127) / 255) << 11) |
                                       (((c.g * 63 + 127) / 255) << 5) | ((c.b * 31 + 127) / 255));
    std::memcpy(p, &v, 2);
    return;
  }
  uint32_t v = Pack(c);
  std::memcpy(p, &v, 4);
}

inline uint32_t DepthBits(D3DFORMAT format) { return format == D3DFMT_D16 ? 16 : 24; }

inline uint32_t ReadDepth(const uint8_t* p, D3DFORMAT format) {
  if (format == D3DFMT_D16) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  }
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v >> 8;
}

inline void WriteDepth(uint8_t* p, D3DFORMAT format, uint32_t value) {
  if (format == D3DFMT_D16) {
    uint16_t v = static_cast<uint16_t>(value);
    std::memcpy(p, &v, 2);
    return;
  }
  uint32_t v = (value << 8) | 0xFFu;
  std::memcpy(p, &v, 4);
}

// n words of one value, four at a time.
void FillWords(uint32_t* p, int n, uint32_t value) {
  const __m128i v = _mm_set1_epi32(static_cast<int>(value));
  int i = 0;
  for (; i + 4 <= n; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), v);
  for (; i < n; ++i) p[i] = value;
}

}  // namespace

void ShadeSpan(const PixelState& ps, const Triangle& t, const float* planes, const SpanRow& row) {
  const int y = row.y, xBase = row.xBase, x0 = row.x0, x1 = row.x1;
  IDirect3DSurface8& target = *ps.target;
  const D3DFORMAT targetFormat = target.format_;
  const int targetBytes = targetFormat == D3DFMT_R5G6B5 ? 2 : 4;
  uint8_t* colourRow = target.bits_.data() + static_cast<size_t>(y) * target.pitch_;
  uint8_t* depthRow = nullptr;
  D3DFORMAT depthFormat = D3DFMT_UNKNOWN;
  int depthBytes = 4;
  uint32_t depthMax = 0;
  if (ps.depth != nullptr) {
    depthRow = ps.depth->bits_.data() + static_cast<size_t>(y) * ps.depth->pitch_;
    depthFormat = ps.depth->format_;
    depthBytes = depthFormat == D3DFMT_D16 ? 2 : 4;
    depthMax = (1u << DepthBits(depthFormat)) - 1;
  }

  const float fy = static_cast<float>(y) - t.refY;
  const float fx0 = static_cast<float>(xBase) - t.refX;
  const int n = ps.varyingCount;
  // Values at the span's first pixel, and their steps per pixel.
  float start[1 + kMaxVaryings], step[1 + kMaxVaryings];
  for (int i = 0; i <= n; ++i) {
    const float* p = planes + 3 * i;
    start[i] = p[0] + p[1] * fx0 + p[2] * fy;
    step[i] = p[1];
  }
  const double zStart = t.z0 + t.zdx * (static_cast<double>(xBase) - t.refX) +
                        t.zdy * (static_cast<double>(y) - t.refY);

  Registers reg{};
  reg.factor = Unpack(ps.textureFactor);
  if (t.flatColour) {
    reg.diffuse = {ToByte(t.colour[0]), ToByte(t.colour[1]), ToByte(t.colour[2]),
                   ToByte(t.colour[3])};
    reg.specular = {ToByte(t.colour[4]), ToByte(t.colour[5]), ToByte(t.colour[6]),
                    ToByte(t.colour[7])};
  }
  const float qConst = planes[0];
  const float wConst = t.affine ? 1.0f / qConst : 0.0f;

  for (int x = x0; x < x1; ++x) {
    const float i = static_cast<float>(x - xBase);
    uint32_t depthValue = 0;
    if (depthRow != nullptr) {
      depthValue = QuantizeDepth(zStart + t.zdx * static_cast<double>(x - xBase), depthMax);
      if (ps.zTest &&
          !Compare(ps.zFunc, depthValue, ReadDepth(depthRow + depthBytes * x, depthFormat))) {
        continue;
      }
    }
    const float q = t.affine ? qConst : start[0] + step[0] * i;
    const float w = t.affine ? wConst : 1.0f / q;
    auto varying = [&](int k) { return (start[1 + k] + step[1 + k] * i) * w; };
    if (!t.flatColour) {
      reg.diffuse = {ToByte(varying(0)), ToByte(varying(1)), ToByte(varying(2)),
                     ToByte(varying(3))};
      if (ps.usesSpecular) {
        reg.specular = {ToByte(varying(4)), ToByte(varying(5)), ToByte(varying(6)),
                        ToByte(varying(7))};
      }
    }
    reg.current = reg.diffuse;
    reg.temp = Rgba{0, 0, 0, 0};
    for (int s = 0; s < ps.stageCount; ++s) {
      const StageSetup& st = ps.stages[s];
      if (st.hasTexture) {
        float coords[4];
        for (int k = 0; k < st.texDims; ++k) coords[k] = varying(st.texSlot + k);
        float lod = 0.0f;
        if (ps.needsDerivatives && st.cube == nullptr) {
          // d(u)/dx = (dU/dx - u dq/dx) / q for U = u q, in texels of the top level.
          const float* pu = planes + 3 * (1 + st.texSlot);
          const float* pv = pu + 3;
          const float qx = planes[1], qy = planes[2];
          const float tw = static_cast<float>(st.levels[0]->width_);
          const float th = static_cast<float>(st.levels[0]->height_);
          float dudx = (pu[1] - coords[0] * qx) * w * tw, dudy = (pu[2] - coords[0] * qy) * w * tw;
          float dvdx = (pv[1] - coords[1] * qx) * w * th, dvdy = (pv[2] - coords[1] * qy) * w * th;
          float rx = dudx * dudx + dvdx * dvdx, ry = dudy * dudy + dvdy * dvdy;
          lod = 0.5f * FastLog2(rx > ry ? rx : ry) + st.lodBias;
        }
        reg.texture = Unpack(SampleStage(st, coords, lod));
      } else {
        reg.texture = Rgba{255, 255, 255, 255};
      }
      const Rgba c1 = Arg(st.colorArg1, reg), c2 = Arg(st.colorArg2, reg);
      const int colourBlend = BlendAlphaFor(st.colorOp, reg);
      Rgba out;
      out.r = Op(st.colorOp, c1.r, c2.r, colourBlend);
      out.g = Op(st.colorOp, c1.g, c2.g, colourBlend);
      out.b = Op(st.colorOp, c1.b, c2.b, colourBlend);
      if (st.alphaOp == D3DTOP_DISABLE) {
        out.a = reg.current.a;
      } else {
        const int a1 = Arg(st.alphaArg1, reg).a, a2 = Arg(st.alphaArg2, reg).a;
        out.a = Op(st.alphaOp, a1, a2, BlendAlphaFor(st.alphaOp, reg));
      }
      reg.current = out;
    }
    Rgba colour = reg.current;
    if (ps.specularAdd) {
      colour.r = std::min(255, colour.r + reg.specular.r);
      colour.g = std::min(255, colour.g + reg.specular.g);
      colour.b = std::min(255, colour.b + reg.specular.b);
    }
    if (ps.alphaTest && !Compare(ps.alphaFunc, static_cast<uint32_t>(colour.a),
                                 static_cast<uint32_t>(ps.alphaRef))) {
      continue;
    }
    if (ps.zWrite) WriteDepth(depthRow + depthBytes * x, depthFormat, depthValue);

    uint8_t* pixel = colourRow + targetBytes * x;
    if (ps.blend || ps.colorWriteMask != 0xF) {
      const Rgba dest = ReadColour(pixel, targetFormat);
      if (ps.blend) {
        Rgba blended;
        blended.r = BlendChannel(ps.blendOp, colour.r, Factor(ps.srcBlend, 0, colour, dest), dest.r,
                                 Factor(ps.destBlend, 0, colour, dest));
        blended.g = BlendChannel(ps.blendOp, colour.g, Factor(ps.srcBlend, 1, colour, dest), dest.g,
                                 Factor(ps.destBlend, 1, colour, dest));
        blended.b = BlendChannel(ps.blendOp, colour.b, Factor(ps.srcBlend, 2, colour, dest), dest.b,
                                 Factor(ps.destBlend, 2, colour, dest));
        blended.a = BlendChannel(ps.blendOp, colour.a, Factor(ps.srcBlend, 3, colour, dest), dest.a,
                                 Factor(ps.destBlend, 3, colour, dest));
        colour = blended;
      }
      if (!(ps.colorWriteMask & D3DCOLORWRITEENABLE_RED)) colour.r = dest.r;
      if (!(ps.colorWriteMask & D3DCOLORWRITEENABLE_GREEN)) colour.g = dest.g;
      if (!(ps.colorWriteMask & D3DCOLORWRITEENABLE_BLUE)) colour.b = dest.b;
      if (!(ps.colorWriteMask & D3DCOLORWRITEENABLE_ALPHA)) colour.a = dest.a;
    }
    WriteColour(pixel, targetFormat, colour);
  }
}

void ClearColourRow(IDirect3DSurface8* target, int y, int x0, int x1, D3DCOLOR colour) {
  uint8_t* row = target->bits_.data() + static_cast<size_t>(y) * target->pitch_;
  if (target->format_ == D3DFMT_R5G6B5) {
    uint16_t value;
    WriteColour(reinterpret_cast<uint8_t*>(&value), D3DFMT_R5G6B5, Unpack(colour));
    std::fill(reinterpret_cast<uint16_t*>(row) + x0, reinterpret_cast<uint16_t*>(row) + x1, value);
    return;
  }
  FillWords(reinterpret_cast<uint32_t*>(row) + x0, x1 - x0, colour);
}

void ClearDepthRow(IDirect3DSurface8* depth, int y, int x0, int x1, float z) {
  uint8_t* row = depth->bits_.data() + static_cast<size_t>(y) * depth->pitch_;
  const D3DFORMAT format = depth->format_;
  const uint32_t value = QuantizeDepth(z, (1u << DepthBits(format)) - 1);
  if (format == D3DFMT_D16) {
    std::fill(reinterpret_cast<uint16_t*>(row) + x0, reinterpret_cast<uint16_t*>(row) + x1,
              static_cast<uint16_t>(value));
    return;
  }
  FillWords(reinterpret_cast<uint32_t*>(row) + x0, x1 - x0, (value << 8) | 0xFFu);
}

}  // namespace zelk4::d3d8
