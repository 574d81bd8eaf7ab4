// Per-vertex work, in the order Direct3D's fixed-function pipeline does it: position to clip
// space (row vector times World, View, Projection), lighting in camera space, then texture
// coordinates (stored or generated, then the stage's texture transform). Colours leave this
// stage on the 0..255 scale, clamped.
#include "platform/d3d8/vertex_stage.h"

#include <cmath>
#include <cstring>

namespace zelk4::d3d8 {
namespace {

struct Vec3 {
  float x, y, z;
};

Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
Vec3 Normalized(Vec3 a) {
  float l = Length(a);
  return l > 0.0f ? a * (1.0f / l) : Vec3{0, 0, 0};
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
  D3DMATRIX out{};
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      out.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                    a.m[i][3] * b.m[3][j];
    }
  }
  return out;
}

// (x, y, z, 1) times m.
void TransformPoint(const D3DMATRIX& m, const float* p, float* out) {
  for (int j = 0; j < 4; ++j) {
    out[j] = p[0] * m.m[0][j] + p[1] * m.m[1][j] + p[2] * m.m[2][j] + m.m[3][j];
  }
}

Vec3 TransformPoint3(const D3DMATRIX& m, Vec3 p) {
  float in[3] = {p.x, p.y, p.z}, out[4];
  TransformPoint(m, in, out);
  return {out[0], out[1], out[2]};
}

Vec3 TransformDirection(const D3DMATRIX& m, Vec3 d) {
  return {d.x * m._11 + d.y * m._21 + d.z * m._31, d.x * m._12 + d.y * m._22 + d.z * m._32,
          d.x * m._13 + d.y * m._23 + d.z * m._33};
}

// The matrix that carries normals: the inverse transpose of the upper 3x3 (a singular matrix
// falls back to the 3x3 itself, which only differs for non-uniform scaling).
D3DMATRIX NormalMatrix(const D3DMATRIX& m) {
  float a = m._11, b = m._12, c = m._13, d = m._21, e = m._22, f = m._23, g = m._31, h = m._32,
        i = m._33;
  float A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
  float det = a * A + b * B + c * C;
  D3DMATRIX n{};
  n._44 = 1.0f;
  if (det == 0.0f || !std::isfinite(det)) {
    n._11 = a; n._12 = b; n._13 = c; n._21 = d; n._22 = e; n._23 = f; n._31 = g; n._32 = h;
    n._33 = i;
    return n;
  }
  float r = 1.0f / det;
  // Inverse transpose = cofactor matrix / det.
  n._11 = A * r; n._12 = B * r; n._13 = C * r;
  n._21 = -(b * i - c * h) * r; n._22 = (a * i - c * g) * r; n._23 = -(a * h - b * g) * r;
  n._31 = (b * f - c * e) * r; n._32 = -(a * f - c * d) * r; n._33 = (a * e - b * d) * r;
  return n;
}

struct Color {
  float r, g, b, a;
};

Color FromD3DColor(DWORD c) {
  return {static_cast<float>((c >> 16) & 255) / 255.0f, static_cast<float>((c >> 8) & 255) / 255.0f,
          static_cast<float>(c & 255) / 255.0f, static_cast<float>(c >> 24) / 255.0f};
}

Color FromValue(const D3DCOLORVALUE& v) { return {v.r, v.g, v.b, v.a}; }

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

void Store255(const Color& c, float* out) {
  out[0] = Clamp01(c.r) * 255.0f;
  out[1] = Clamp01(c.g) * 255.0f;
  out[2] = Clamp01(c.b) * 255.0f;
  out[3] = Clamp01(c.a) * 255.0f;
}

// A light as the lighting loop uses it, in camera space.
struct ViewLight {
  D3DLIGHTTYPE type;
  Vec3 position;
  Vec3 toLight;  // directional: -direction, normalised
  Vec3 spotDirection;
  Color diffuse, specular, ambient;
  float range, att0, att1, att2, cosHalfTheta, cosHalfPhi, falloff;
};

// Everything per draw that does not change from vertex to vertex.
struct DrawSetup {
  D3DMATRIX worldView{};
  D3DMATRIX worldViewProjection{};
  D3DMATRIX normalMatrix{};
  bool lighting = false;
  bool normalize = false;
  bool localViewer = true;
  bool specular = false;
  bool colorVertex = true;
  DWORD diffuseSource = D3DMCS_COLOR1, specularSource = D3DMCS_COLOR2,
        ambientSource = D3DMCS_MATERIAL, emissiveSource = D3DMCS_MATERIAL;
  Color globalAmbient{};
  std::vector<ViewLight> lights;
};

DrawSetup PrepareDraw(const DeviceState& s) {
  DrawSetup d;
  d.worldView = Multiply(s.world[0], s.view);
  d.worldViewProjection = Multiply(d.worldView, s.projection);
  d.normalMatrix = NormalMatrix(d.worldView);
  d.lighting = s.rs(D3DRS_LIGHTING) != FALSE;
  d.normalize = s.rs(D3DRS_NORMALIZENORMALS) != FALSE;
  d.localViewer = s.rs(D3DRS_LOCALVIEWER) != FALSE;
  d.specular = s.rs(D3DRS_SPECULARENABLE) != FALSE;
  d.colorVertex = s.rs(D3DRS_COLORVERTEX) != FALSE;
  d.diffuseSource = s.rs(D3DRS_DIFFUSEMATERIALSOURCE);
  d.specularSource = s.rs(D3DRS_SPECULARMATERIALSOURCE);
  d.ambientSource = s.rs(D3DRS_AMBIENTMATERIALSOURCE);
  d.emissiveSource = s.rs(D3DRS_EMISSIVEMATERIALSOURCE);
  d.globalAmbient = FromD3DColor(s.rs(D3DRS_AMBIENT));
  if (d.lighting) {
    for (const LightSlot& slot : s.lights) {
      if (!slot.enabled) continue;
      const D3DLIGHT8& l = slot.light;
      ViewLight v{};
      v.type = l.Type;
      v.position = TransformPoint3(s.view, {l.Position.x, l.Position.y, l.Position.z});
      Vec3 direction = Normalized(TransformDirection(s.view, {l.Direction.x, l.Direction.y, l.Direction.z}));
      v.toLight = direction * -1.0f;
      v.spotDirection = direction;
      v.diffuse = FromValue(l.Diffuse);
      v.specular = FromValue(l.Specular);
      v.ambient = FromValue(l.Ambient);
      v.range = l.Range;
      v.att0 = l.Attenuation0;
      v.att1 = l.Attenuation1;
      v.att2 = l.Attenuation2;
      v.cosHalfTheta = std::cos(l.Theta * 0.5f);
      v.cosHalfPhi = std::cos(l.Phi * 0.5f);
      v.falloff = l.Falloff;
      d.lights.push_back(v);
    }
  }
  return d;
}

// Picks a material colour: the vertex's colour where the source and COLORVERTEX say so and the
// vertex has it, the material's otherwise.
Color Source(const DrawSetup& d, DWORD source, const Color& material, const Color* color1,
             const Color* color2) {
  if (d.colorVertex) {
    if (source == D3DMCS_COLOR1 && color1 != nullptr) return *color1;
    if (source == D3DMCS_COLOR2 && color2 != nullptr) return *color2;
  }
  return material;
}

// The lighting equation in camera space. With no enabled light a vertex gets the emissive
// colour plus the global ambient times the ambient colour.
void Light(const DrawSetup& d, const D3DMATERIAL8& material, Vec3 position, const Vec3* normal,
           const Color* vertexDiffuse, const Color* vertexSpecular, Color* outDiffuse,
           Color* outSpecular) {
  Color cd = Source(d, d.diffuseSource, FromValue(material.Diffuse), vertexDiffuse, vertexSpecular);
  Color ca = Source(d, d.ambientSource, FromValue(material.Ambient), vertexDiffuse, vertexSpecular);
  Color cs = Source(d, d.specularSource, FromValue(material.Specular), vertexDiffuse, vertexSpecular);
  Color ce = Source(d, d.emissiveSource, FromValue(material.Emissive), vertexDiffuse, vertexSpecular);

  Color ambient = d.globalAmbient, diffuse{0, 0, 0, 0}, specular{0, 0, 0, 0};
  Vec3 n = normal != nullptr ? *normal : Vec3{0, 0, 0};
  Vec3 toEye = d.localViewer ? Normalized(position * -1.0f) : Vec3{0, 0, -1};
  for (const ViewLight& l : d.lights) {
    Vec3 toLight;
    float attenuation = 1.0f;
    if (l.type == D3DLIGHT_DIRECTIONAL) {
      toLight = l.toLight;
    } else {
      Vec3 offset = l.position - position;
      float distance = Length(offset);
      if (distance > l.range) continue;  // beyond the range: not even its ambient counts
      toLight = distance > 0.0f ? offset * (1.0f / distance) : Vec3{0, 0, 0};
      float denominator = l.att0 + l.att1 * distance + l.att2 * distance * distance;
      attenuation = denominator > 0.0f ? 1.0f / denominator : 0.0f;
      if (l.type == D3DLIGHT_SPOT) {
        float rho = -Dot(toLight, l.spotDirection);
        if (rho <= l.cosHalfPhi) {
          attenuation = 0.0f;
        } else if (rho <= l.cosHalfTheta) {
          float t = (rho - l.cosHalfPhi) / (l.cosHalfTheta - l.cosHalfPhi);
          attenuation *= l.falloff == 1.0f ? t : std::pow(t, l.falloff);
        }
      }
    }
    ambient.r += attenuation * l.ambient.r;
    ambient.g += attenuation * l.ambient.g;
    ambient.b += attenuation * l.ambient.b;
    float nDotL = Dot(n, toLight);
    if (nDotL > 0.0f) {
      if (nDotL > 1.0f) nDotL = 1.0f;
      diffuse.r += attenuation * l.diffuse.r * nDotL;
      diffuse.g += attenuation * l.diffuse.g * nDotL;
      diffuse.b += attenuation * l.diffuse.b * nDotL;
      if (d.specular) {
        Vec3 half = Normalized(toLight + toEye);
        float nDotH = Dot(n, half);
        if (nDotH > 0.0f) {
          float power = material.Power == 0.0f ? 1.0f : std::pow(nDotH, material.Power);
          specular.r += attenuation * l.specular.r * power;
          specular.g += attenuation * l.specular.g * power;
          specular.b += attenuation * l.specular.b * power;
        }
      }
    }
  }
  outDiffuse->r = ca.r * Clamp01(ambient.r) + cd.r * Clamp01(diffuse.r) + ce.r;
  outDiffuse->g = ca.g * Clamp01(ambient.g) + cd.g * Clamp01(diffuse.g) + ce.g;
  outDiffuse->b = ca.b * Clamp01(ambient.b) + cd.b * Clamp01(diffuse.b) + ce.b;
  outDiffuse->a = cd.a;
  outSpecular->r = cs.r * Clamp01(specular.r);
  outSpecular->g = cs.g * Clamp01(specular.g);
  outSpecular->b = cs.b * Clamp01(specular.b);
  outSpecular->a = cs.a;
}

float ReadFloat(const uint8_t* p) {
  float f;
  memcpy(&f, p, 4);
  return f;
}

DWORD ReadDword(const uint8_t* p) {
  DWORD v;
  memcpy(&v, p, 4);
  return v;
}

// The coordinates a stage samples with: a stored set or a generated vector, then the stage's
// texture transform. Writes 4 values.
void TexCoords(const DeviceState& s, const DrawSetup& d, const FvfLayout& layout, int stage,
               const uint8_t* vertex, Vec3 viewPosition, const Vec3* viewNormal, float* out) {
  DWORD index = s.tss(stage, D3DTSS_TEXCOORDINDEX);
  DWORD generation = index & 0xFFFF0000u;
  DWORD set = index & 0xFFFFu;
  float in[4] = {0, 0, 0, 0};
  int dims = 2;
  if (generation == D3DTSS_TCI_PASSTHRU || layout.pretransformed) {
    if (set < static_cast<DWORD>(layout.texCount)) {
      dims = layout.texDims[set];
      for (int i = 0; i < dims; ++i) in[i] = ReadFloat(vertex + layout.texOffset[set] + 4 * i);
    }
    // The 4-vector a texture transform sees: a 1 right after the stored components.
    if (dims < 4) in[dims] = 1.0f;
  } else {
    Vec3 n = viewNormal != nullptr ? *viewNormal : Vec3{0, 0, 0};
    Vec3 g{0, 0, 0};
    if (generation == D3DTSS_TCI_CAMERASPACENORMAL) {
      g = n;
    } else if (generation == D3DTSS_TCI_CAMERASPACEPOSITION) {
      g = viewPosition;
    } else if (generation == D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR) {
      Vec3 incident = d.localViewer ? Normalized(viewPosition) : Vec3{0, 0, 1};
      g = incident - n * (2.0f * Dot(n, incident));
    }
    in[0] = g.x;
    in[1] = g.y;
    in[2] = g.z;
    in[3] = 1.0f;
    dims = 3;
  }
  DWORD flags = s.tss(stage, D3DTSS_TEXTURETRANSFORMFLAGS);
  DWORD count = flags & 0xFF;
  if (count == D3DTTFF_DISABLE || layout.pretransformed || count > 4) {
    for (int i = 0; i < 4; ++i) out[i] = i < dims ? in[i] : 0.0f;
    return;
  }
  const D3DMATRIX& m = s.textureTransforms[stage];
  float t[4];
  for (int j = 0; j < 4; ++j) {
    t[j] = in[0] * m.m[0][j] + in[1] * m.m[1][j] + in[2] * m.m[2][j] + in[3] * m.m[3][j];
  }
  if ((flags & D3DTTFF_PROJECTED) != 0 && count >= 2) {
    float last = t[count - 1];
    float r = last != 0.0f ? 1.0f / last : 0.0f;
    for (DWORD i = 0; i + 1 < count; ++i) t[i] *= r;
    count -= 1;
  }
  for (DWORD i = 0; i < 4; ++i) out[i] = i < count ? t[i] : 0.0f;
}

}  // namespace

void ProcessVertices(const DeviceState& s, const FvfLayout& layout, const PixelState& pixels,
                     const uint8_t* src, UINT stride, size_t count, ClipVertex* out) {
  DrawSetup d = PrepareDraw(s);
  const D3DVIEWPORT8& vp = s.viewport;
  const float halfW = static_cast<float>(vp.Width) * 0.5f;
  const float halfH = static_cast<float>(vp.Height) * 0.5f;
  const float depthRange = vp.MaxZ - vp.MinZ;
  const bool needsTex = pixels.varyingCount > kFirstTexSlot;
  // What the vertices need in camera space: the position for lighting, generated texture
  // coordinates and scaled points (the distance to the eye); the normal for lighting and
  // generated normals and reflections. The rest is left unworked.
  bool texGenPosition = false, texGenNormal = false;
  if (needsTex && !layout.pretransformed) {
    for (int stage = 0; stage < pixels.stageCount; ++stage) {
      if (pixels.stages[stage].texSlot < 0) continue;
      const DWORD generation = s.tss(stage, D3DTSS_TEXCOORDINDEX) & 0xFFFF0000u;
      texGenPosition = texGenPosition || generation == D3DTSS_TCI_CAMERASPACEPOSITION ||
                       generation == D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR;
      texGenNormal = texGenNormal || generation == D3DTSS_TCI_CAMERASPACENORMAL ||
                     generation == D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR;
    }
  }
  const bool lit = d.lighting && !layout.pretransformed;
  const bool scaledPoints = s.rs(D3DRS_POINTSCALEENABLE) != FALSE;
  const bool needsViewPosition = !layout.pretransformed && (lit || texGenPosition || scaledPoints);
  const bool needsViewNormal = lit || texGenNormal;

  for (size_t i = 0; i < count; ++i) {
    const uint8_t* v = src + i * stride;
    ClipVertex& o = *out++;
    float p[3] = {ReadFloat(v), ReadFloat(v + 4), ReadFloat(v + 8)};
    const bool hasDiffuse = layout.diffuseOffset >= 0;
    const bool hasSpecular = layout.specularOffset >= 0;
    Color vertexDiffuse = hasDiffuse ? FromD3DColor(ReadDword(v + layout.diffuseOffset))
                                     : Color{1, 1, 1, 1};
    Color vertexSpecular = hasSpecular ? FromD3DColor(ReadDword(v + layout.specularOffset))
                                       : Color{0, 0, 0, 0};
    Vec3 viewPosition{0, 0, 0};
    Vec3 viewNormal{0, 0, 0};
    bool hasNormal = layout.normalOffset >= 0;

    if (layout.pretransformed) {
      // x, y in pixels, z in 0..1, then 1/w: put back into clip space so the same clipper and
      // viewport mapping apply.
      float rhw = ReadFloat(v + 12);
      float w = rhw > 0.0f ? 1.0f / rhw : 1.0f;
      o.pos[0] = ((p[0] - static_cast<float>(vp.X)) / halfW - 1.0f) * w;
      o.pos[1] = (1.0f - (p[1] - static_cast<float>(vp.Y)) / halfH) * w;
      o.pos[2] = (depthRange != 0.0f ? (p[2] - vp.MinZ) / depthRange : p[2]) * w;
      o.pos[3] = w;
    } else {
      TransformPoint(d.worldViewProjection, p, o.pos);
    }

    o.eyeDistance = 0.0f;
    if (needsViewPosition) {
      viewPosition = TransformPoint3(d.worldView, {p[0], p[1], p[2]});
      if (scaledPoints) o.eyeDistance = Length(viewPosition);
    }
    if (needsViewNormal) {
      if (hasNormal) {
        const uint8_t* n = v + layout.normalOffset;
        viewNormal = TransformDirection(d.normalMatrix, {ReadFloat(n), ReadFloat(n + 4), ReadFloat(n + 8)});
        if (d.normalize) viewNormal = Normalized(viewNormal);
      }
    }
    if (lit) {
      Color diffuse, specular;
      Light(d, s.material, viewPosition, hasNormal ? &viewNormal : nullptr,
            hasDiffuse ? &vertexDiffuse : nullptr, hasSpecular ? &vertexSpecular : nullptr,
            &diffuse, &specular);
      Store255(diffuse, o.var + kDiffuseSlot);
      Store255(specular, o.var + kSpecularSlot);
    } else {
      Store255(vertexDiffuse, o.var + kDiffuseSlot);
      Store255(vertexSpecular, o.var + kSpecularSlot);
    }
    if (needsTex) {
      for (int stage = 0; stage < pixels.stageCount; ++stage) {
        int slot = pixels.stages[stage].texSlot;
        if (slot < 0) continue;
        TexCoords(s, d, layout, stage, v, viewPosition, hasNormal ? &viewNormal : nullptr,
                  o.var + slot);
      }
    }
  }
}

}  // namespace zelk4::d3d8
