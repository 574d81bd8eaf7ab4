// A cross-check scene on Mesa's OpenGL fixed-function pipeline (OSMesa, llvmpipe), in the state
// that is equivalent to the Direct3D one:
// - Projection: Direct3D's matrices are used as they are (a row-vector matrix stored row by row
//   is the same sixteen floats as OpenGL's column-major matrix for column vectors), preceded by
//   a fix-up that maps Direct3D's clip depth 0..w to OpenGL's -w..w and moves the picture by
//   half a pixel: Direct3D puts pixel centres on integer screen coordinates, OpenGL half-way
//   between them.
// - Winding: the fix-up keeps the picture the right way up, so a triangle that looks clockwise
//   on screen is front-facing in both (glFrontFace(GL_CW)); a render-target pass is drawn
//   upside down in OpenGL (row 0 of a texture is its top row in Direct3D, its bottom row in
//   OpenGL), which turns the winding round as well.
// - Lighting runs in Direct3D's camera space (the model-view matrix is World x View), with the
//   local viewer and separate specular colour, which is where Direct3D adds its specular.
// - Stages map onto GL_COMBINE texture environments; D3DTA_CURRENT is GL_PREVIOUS.
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/osmesa.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "crosscheck/renderers.h"

namespace zelk4::crosscheck {
namespace {

struct GlArrays {
  std::vector<float> position;  // 4 per vertex
  std::vector<float> normal;
  std::vector<uint8_t> colour, secondary;  // RGBA / RGB bytes
  std::vector<float> tex0, tex1;
  GLsizei count = 0;  // corners drawn
};

void Rgba(uint32_t argb, uint8_t* out) {
  out[0] = static_cast<uint8_t>(argb >> 16);
  out[1] = static_cast<uint8_t>(argb >> 8);
  out[2] = static_cast<uint8_t>(argb);
  out[3] = static_cast<uint8_t>(argb >> 24);
}

GlArrays MakeArrays(const Draw& d) {
  GlArrays a;
  bool screen = (d.fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
  for (const Vertex& v : d.vertices) {
    if (screen) {
      float w = v.rhw > 0.0f ? 1.0f / v.rhw : 1.0f;
      a.position.insert(a.position.end(), {v.x * w, v.y * w, v.z * w, w});
    } else {
      a.position.insert(a.position.end(), {v.x, v.y, v.z, 1.0f});
    }
    a.normal.insert(a.normal.end(), {v.nx, v.ny, v.nz});
    uint8_t c[4];
    Rgba((d.fvf & D3DFVF_DIFFUSE) ? v.diffuse : 0xFFFFFFFFu, c);
    a.colour.insert(a.colour.end(), c, c + 4);
    Rgba((d.fvf & D3DFVF_SPECULAR) ? v.specular : 0u, c);
    a.secondary.insert(a.secondary.end(), c, c + 3);
    a.tex0.insert(a.tex0.end(), {v.u, v.v});
    a.tex1.insert(a.tex1.end(), {v.u1, v.v1});
  }
  size_t corners = d.indices.empty() ? d.vertices.size() : d.indices.size();
  switch (d.type) {
    case D3DPT_LINELIST: corners -= corners % 2; break;
    case D3DPT_TRIANGLELIST: corners -= corners % 3; break;
    default: break;
  }
  a.count = static_cast<GLsizei>(corners);
  return a;
}

GLenum GlPrimitive(D3DPRIMITIVETYPE type) {
  switch (type) {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
    default: return GL_TRIANGLES;
  }
}

GLenum GlBlend(DWORD f) {
  switch (f) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    default: return GL_ONE;
  }
}

GLenum GlCompare(DWORD f) {
  switch (f) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

// A D3DTA_* argument as a combiner source and operand.
void GlArgument(DWORD arg, bool alpha, GLenum* source, GLenum* operand) {
  switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE: *source = GL_PRIMARY_COLOR; break;
    case D3DTA_TEXTURE: *source = GL_TEXTURE; break;
    case D3DTA_TFACTOR: *source = GL_CONSTANT; break;
    default: *source = GL_PREVIOUS; break;
  }
  bool complement = (arg & D3DTA_COMPLEMENT) != 0;
  if (alpha || (arg & D3DTA_ALPHAREPLICATE) != 0) {
    *operand = complement ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
  } else {
    *operand = complement ? GL_ONE_MINUS_SRC_COLOR : GL_SRC_COLOR;
  }
}

// One half (colour or alpha) of a stage as a GL_COMBINE set-up on the active unit.
void GlCombine(DWORD op, DWORD arg1, DWORD arg2, bool alpha) {
  const GLenum combine = alpha ? GL_COMBINE_ALPHA : GL_COMBINE_RGB;
  const GLenum src[3] = {alpha ? GLenum(GL_SRC0_ALPHA) : GLenum(GL_SRC0_RGB),
                         alpha ? GLenum(GL_SRC1_ALPHA) : GLenum(GL_SRC1_RGB),
                         alpha ? GLenum(GL_SRC2_ALPHA) : GLenum(GL_SRC2_RGB)};
  const GLenum operand[3] = {alpha ? GLenum(GL_OPERAND0_ALPHA) : GLenum(GL_OPERAND0_RGB),
                             alpha ? GLenum(GL_OPERAND1_ALPHA) : GLenum(GL_OPERAND1_RGB),
                             alpha ? GLenum(GL_OPERAND2_ALPHA) : GLenum(GL_OPERAND2_RGB)};
  GLenum s1, o1, s2, o2;
  GlArgument(arg1, alpha, &s1, &o1);
  GlArgument(arg2, alpha, &s2, &o2);
  GLenum mode = GL_MODULATE;
  float scale = 1.0f;
  GLenum blendSource = 0;
  switch (op) {
    case D3DTOP_DISABLE: mode = GL_REPLACE; s1 = GL_PREVIOUS; o1 = alpha ? GL_SRC_ALPHA : GL_SRC_COLOR; break;
    case D3DTOP_SELECTARG1: mode = GL_REPLACE; break;
    case D3DTOP_SELECTARG2: mode = GL_REPLACE; s1 = s2; o1 = o2; break;
    case D3DTOP_MODULATE2X: scale = 2.0f; break;
    case D3DTOP_MODULATE4X: scale = 4.0f; break;
    case D3DTOP_ADD: mode = GL_ADD; break;
    case D3DTOP_ADDSIGNED: mode = GL_ADD_SIGNED; break;
    case D3DTOP_SUBTRACT: mode = GL_SUBTRACT; break;
    case D3DTOP_BLENDDIFFUSEALPHA: mode = GL_INTERPOLATE; blendSource = GL_PRIMARY_COLOR; break;
    case D3DTOP_BLENDTEXTUREALPHA: mode = GL_INTERPOLATE; blendSource = GL_TEXTURE; break;
    case D3DTOP_BLENDFACTORALPHA: mode = GL_INTERPOLATE; blendSource = GL_CONSTANT; break;
    case D3DTOP_BLENDCURRENTALPHA: mode = GL_INTERPOLATE; blendSource = GL_PREVIOUS; break;
    default: break;
  }
  glTexEnvi(GL_TEXTURE_ENV, combine, static_cast<GLint>(mode));
  glTexEnvi(GL_TEXTURE_ENV, src[0], static_cast<GLint>(s1));
  glTexEnvi(GL_TEXTURE_ENV, operand[0], static_cast<GLint>(o1));
  glTexEnvi(GL_TEXTURE_ENV, src[1], static_cast<GLint>(s2));
  glTexEnvi(GL_TEXTURE_ENV, operand[1], static_cast<GLint>(o2));
  if (blendSource != 0) {
    glTexEnvi(GL_TEXTURE_ENV, src[2], static_cast<GLint>(blendSource));
    glTexEnvi(GL_TEXTURE_ENV, operand[2], GL_SRC_ALPHA);
  }
  glTexEnvf(GL_TEXTURE_ENV, alpha ? GL_ALPHA_SCALE : GL_RGB_SCALE, scale);
}

// The fix-up in front of Direct3D's projection (see the top of the file). flip: the pass draws
// into a render-target texture.
void LoadClipFix(uint32_t width, uint32_t height, bool flip) {
  float m[16] = {1, 0, 0, 0, 0, flip ? -1.0f : 1.0f, 0, 0, 0, 0, 2, 0, 0, 0, -1, 1};
  m[12] = 1.0f / static_cast<float>(width);
  m[13] = (flip ? 1.0f : -1.0f) / static_cast<float>(height);
  glLoadMatrixf(m);
}

}  // namespace

struct GlRenderer::Impl {
  const Scene& scene;
  std::string error;
  OSMesaContext context = nullptr;
  std::vector<uint8_t> buffer;
  bool rgb565 = false;
  std::vector<GLuint> textures;
  GLuint white = 0;
  std::vector<GlArrays> arrays;

  explicit Impl(const Scene& s) : scene(s) {}
  ~Impl() {
    if (context != nullptr) OSMesaDestroyContext(context);
  }
  bool Setup(unsigned threads);
  void DrawOne(size_t index, int target);
  void SetStages(const Draw& d, bool screen);
  void SetLighting(const Draw& d);
  uint32_t TargetWidth(int target) const {
    return target < 0 ? scene.width : scene.textures[static_cast<size_t>(target)].size;
  }
  uint32_t TargetHeight(int target) const {
    return target < 0 ? scene.height : scene.textures[static_cast<size_t>(target)].size;
  }
};

bool GlRenderer::Impl::Setup(unsigned threads) {
  if (threads > 0 && std::getenv("LP_NUM_THREADS") == nullptr) {
    setenv("LP_NUM_THREADS", std::to_string(threads).c_str(), 1);
  }
  for (const TextureDesc& t : scene.textures) {
    // A render-target pass is drawn in the corner of the frame buffer and copied out.
    if (t.renderTarget && (t.size > scene.width || t.size > scene.height)) {
      error = "a render-target texture larger than the frame";
      return false;
    }
  }
  rgb565 = scene.backBuffer == D3DFMT_R5G6B5;
  context = OSMesaCreateContextExt(rgb565 ? OSMESA_RGB_565 : OSMESA_RGBA, 24, 0, 0, nullptr);
  if (context == nullptr) {
    error = "OSMesaCreateContextExt failed";
    return false;
  }
  buffer.assign(static_cast<size_t>(scene.width) * scene.height * (rgb565 ? 2 : 4), 0);
  if (!OSMesaMakeCurrent(context, buffer.data(), rgb565 ? GL_UNSIGNED_SHORT_5_6_5 : GL_UNSIGNED_BYTE,
                         static_cast<GLsizei>(scene.width), static_cast<GLsizei>(scene.height))) {
    error = "OSMesaMakeCurrent failed";
    return false;
  }
  glDisable(GL_DITHER);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glGenTextures(1, &white);
  glBindTexture(GL_TEXTURE_2D, white);
  const uint32_t one = 0xFFFFFFFFu;
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_BGRA, GL_UNSIGNED_BYTE, &one);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  for (const TextureDesc& t : scene.textures) {
    GLuint name = 0;
    glGenTextures(1, &name);
    textures.push_back(name);
    GLint internal = t.format == D3DFMT_X8R8G8B8 ? GL_RGB8 : GL_RGBA8;
    GLsizei size = static_cast<GLsizei>(t.size);
    if (t.cube) {
      glBindTexture(GL_TEXTURE_CUBE_MAP, name);
      for (int f = 0; f < 6; ++f) {
        glTexImage2D(static_cast<GLenum>(GL_TEXTURE_CUBE_MAP_POSITIVE_X + f), 0, internal, size, size,
                     0, GL_BGRA, GL_UNSIGNED_BYTE, t.faces[f].data());
      }
    } else {
      glBindTexture(GL_TEXTURE_2D, name);
      glTexImage2D(GL_TEXTURE_2D, 0, internal, size, size, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                   t.renderTarget ? nullptr : t.faces[0].data());
      for (size_t level = 0; level < t.mips.size(); ++level) {
        GLsizei s = size >> (level + 1);
        glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level + 1), internal, s, s, 0, GL_BGRA,
                     GL_UNSIGNED_BYTE, t.mips[level].data());
      }
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(t.mips.size()));
    }
  }
  for (const Draw& d : scene.draws) arrays.push_back(MakeArrays(d));
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glEnableClientState(GL_SECONDARY_COLOR_ARRAY);
  for (int unit = 0; unit < 2; ++unit) {
    glClientActiveTexture(static_cast<GLenum>(GL_TEXTURE0 + unit));
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  return true;
}

void GlRenderer::Impl::SetLighting(const Draw& d) {
  if (!d.lighting) {
    glDisable(GL_LIGHTING);
    return;
  }
  glEnable(GL_LIGHTING);
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);
  glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
  uint8_t a[4];
  Rgba(d.ambient, a);
  float ambient[4] = {a[0] / 255.0f, a[1] / 255.0f, a[2] / 255.0f, 1.0f};
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
  const D3DMATERIAL8& m = d.material;
  float zero[4] = {0, 0, 0, 0};
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, &m.Ambient.r);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, &m.Diffuse.r);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, d.specularEnable ? &m.Specular.r : zero);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, &m.Emissive.r);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, m.Power);
  // Direct3D's default material sources: diffuse from the vertex colour when there is one.
  if (d.fvf & D3DFVF_DIFFUSE) {
    glColorMaterial(GL_FRONT_AND_BACK, GL_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
  } else {
    glDisable(GL_COLOR_MATERIAL);
  }
  // Light positions are given in world space: transformed by the view matrix alone.
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixf(&d.view._11);
  for (int i = 0; i < 8; ++i) {
    GLenum light = static_cast<GLenum>(GL_LIGHT0 + i);
    if (i >= static_cast<int>(d.lights.size())) {
      glDisable(light);
      continue;
    }
    const Light& l = d.lights[static_cast<size_t>(i)];
    glEnable(light);
    float position[4] = {l.x, l.y, l.z, 1.0f};
    glLightfv(light, GL_POSITION, position);
    glLightfv(light, GL_AMBIENT, &l.ambient.r);
    glLightfv(light, GL_DIFFUSE, &l.diffuse.r);
    glLightfv(light, GL_SPECULAR, &l.specular.r);
    glLightf(light, GL_CONSTANT_ATTENUATION, l.att0);
    glLightf(light, GL_LINEAR_ATTENUATION, l.att1);
    glLightf(light, GL_QUADRATIC_ATTENUATION, l.att2);
  }
}

void GlRenderer::Impl::SetStages(const Draw& d, bool screen) {
  bool enabled = true;
  for (int i = 0; i < 2; ++i) {
    const Stage& st = d.stages[static_cast<size_t>(i)];
    glActiveTexture(static_cast<GLenum>(GL_TEXTURE0 + i));
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_CUBE_MAP);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    if (!enabled || st.colorOp == D3DTOP_DISABLE) {
      enabled = false;
      continue;
    }
    bool cube = st.texture >= 0 && scene.textures[static_cast<size_t>(st.texture)].cube;
    GLenum target = cube ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D;
    glEnable(target);
    glBindTexture(target, st.texture >= 0 ? textures[static_cast<size_t>(st.texture)] : white);
    GLint filter = st.filter == D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, filter);
    GLint minFilter = filter;
    if (st.mipFilter == D3DTEXF_POINT) {
      minFilter = filter == GL_LINEAR ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    } else if (st.mipFilter == D3DTEXF_LINEAR) {
      minFilter = filter == GL_LINEAR ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    }
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, minFilter);
    GLint wrap = st.address == D3DTADDRESS_CLAMP ? GL_CLAMP_TO_EDGE
                 : st.address == D3DTADDRESS_MIRROR ? GL_MIRRORED_REPEAT : GL_REPEAT;
    glTexParameteri(target, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, wrap);
    glTexParameteri(target, GL_TEXTURE_WRAP_R, wrap);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    GlCombine(st.colorOp, st.colorArg1, st.colorArg2, false);
    GlCombine(st.alphaOp, st.alphaArg1, st.alphaArg2, true);
    glTexEnvi(GL_POINT_SPRITE, GL_COORD_REPLACE, d.pointSprite ? GL_TRUE : GL_FALSE);

    DWORD generation = screen ? 0 : (st.texCoordIndex & 0xFFFF0000u);
    if (generation == D3DTSS_TCI_CAMERASPACENORMAL ||
        generation == D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR) {
      GLint mode = generation == D3DTSS_TCI_CAMERASPACENORMAL ? GL_NORMAL_MAP : GL_REFLECTION_MAP;
      for (GLenum c : {GL_S, GL_T, GL_R}) glTexGeni(c, GL_TEXTURE_GEN_MODE, mode);
      glEnable(GL_TEXTURE_GEN_S);
      glEnable(GL_TEXTURE_GEN_T);
      glEnable(GL_TEXTURE_GEN_R);
    }
    DWORD count = st.transformFlags & 0xFF;
    if (!screen && count != D3DTTFF_DISABLE) {
      // Direct3D feeds stored 2D coordinates as (u, v, 1, 0), OpenGL as (s, t, 0, 1): the
      // matrix row Direct3D applies to the 1 becomes the row OpenGL applies to q. The output
      // q stays 1 unless the transform is projected.
      D3DMATRIX m = st.transform;
      if (generation == 0) {
        for (int c = 0; c < 4; ++c) {
          m.m[3][c] = m.m[2][c];
          m.m[2][c] = 0.0f;
        }
      }
      if ((st.transformFlags & D3DTTFF_PROJECTED) == 0) {
        m._14 = m._24 = m._34 = 0.0f;
        m._44 = 1.0f;
      }
      glLoadMatrixf(&m._11);
    }
  }
  glActiveTexture(GL_TEXTURE0);
}

void GlRenderer::Impl::DrawOne(size_t index, int target) {
  const Draw& d = scene.draws[index];
  const GlArrays& a = arrays[index];
  const bool rt = target >= 0;
  const uint32_t targetH = TargetHeight(target);
  D3DVIEWPORT8 vp = d.viewport;
  if (vp.Width == 0) vp = {0, 0, TargetWidth(target), targetH, 0, 1};
  const uint32_t w = vp.Width, h = vp.Height;
  // The viewport rectangle in OpenGL's rows, which run bottom-up (a render-target pass is
  // upside down already).
  const GLint glX = static_cast<GLint>(vp.X);
  const GLint glY = rt ? static_cast<GLint>(vp.Y) : static_cast<GLint>(targetH - vp.Y - vp.Height);
  if (d.clear) {
    uint8_t c[4];
    Rgba(d.clearColour, c);
    glClearColor(c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f, c[3] / 255.0f);
    glClearDepth(1.0);
    glDepthMask(GL_TRUE);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glEnable(GL_SCISSOR_TEST);
    glScissor(glX, glY, static_cast<GLsizei>(w), static_cast<GLsizei>(h));
    GLbitfield bits = 0;
    if (d.clearFlags & D3DCLEAR_TARGET) bits |= GL_COLOR_BUFFER_BIT;
    if (d.clearFlags & D3DCLEAR_ZBUFFER) bits |= GL_DEPTH_BUFFER_BIT;
    glClear(bits);
    glDisable(GL_SCISSOR_TEST);
    return;
  }
  const bool screen = (d.fvf & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
  SetLighting(d);
  glMatrixMode(GL_PROJECTION);
  if (screen) {
    // Pixels (centres at integers) and 0..1 depth straight to OpenGL's clip space.
    const float fw = static_cast<float>(w), fh = static_cast<float>(h);
    const float fx = static_cast<float>(vp.X), fy = static_cast<float>(vp.Y);
    float m[16] = {};
    m[0] = 2.0f / fw;
    m[12] = (1.0f - 2.0f * fx) / fw - 1.0f;
    m[5] = (rt ? 2.0f : -2.0f) / fh;
    m[13] = rt ? (1.0f - 2.0f * fy) / fh - 1.0f : 1.0f + (2.0f * fy - 1.0f) / fh;
    m[10] = 2.0f;
    m[14] = -1.0f;
    m[15] = 1.0f;
    glLoadMatrixf(m);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
  } else {
    LoadClipFix(w, h, rt);
    glMultMatrixf(&d.projection._11);
    glMatrixMode(GL_MODELVIEW);
    D3DMATRIX worldView = Multiply(d.world, d.view);
    glLoadMatrixf(&worldView._11);
  }
  glViewport(glX, glY, static_cast<GLsizei>(w), static_cast<GLsizei>(h));
  // Pre-transformed depth is final; transformed depth is mapped into MinZ..MaxZ.
  if (screen) {
    glDepthRange(0.0, 1.0);
  } else {
    glDepthRange(vp.MinZ, vp.MaxZ);
  }
  glFrontFace(rt ? GL_CCW : GL_CW);
  if (d.cull == D3DCULL_NONE) {
    glDisable(GL_CULL_FACE);
  } else {
    glEnable(GL_CULL_FACE);
    glCullFace(d.cull == D3DCULL_CCW ? GL_BACK : GL_FRONT);
  }
  if (d.zEnable) {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GlCompare(d.zFunc));
  } else {
    glDisable(GL_DEPTH_TEST);
  }
  glDepthMask(d.zEnable && d.zWrite ? GL_TRUE : GL_FALSE);
  if (d.blend) {
    glEnable(GL_BLEND);
    glBlendFunc(GlBlend(d.srcBlend), GlBlend(d.destBlend));
  } else {
    glDisable(GL_BLEND);
  }
  if (d.alphaTest) {
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GEQUAL, static_cast<float>(d.alphaRef & 255) / 255.0f);
  } else {
    glDisable(GL_ALPHA_TEST);
  }
  glEnable(GL_NORMALIZE);
  if (!d.normalizeNormals) glDisable(GL_NORMALIZE);
  // Direct3D adds the vertex specular colour only when SPECULARENABLE is set.
  if (!d.lighting && d.specularEnable && (d.fvf & D3DFVF_SPECULAR)) {
    glEnable(GL_COLOR_SUM);
  } else {
    glDisable(GL_COLOR_SUM);
  }
  // Points: Direct3D's scaled size carries the viewport height as a factor.
  if (d.pointSprite) {
    glEnable(GL_POINT_SPRITE);
  } else {
    glDisable(GL_POINT_SPRITE);
  }
  glPointParameterf(GL_POINT_SIZE_MIN, d.pointSizeMin);
  glPointParameterf(GL_POINT_SIZE_MAX, d.pointSizeMax);
  float attenuation[3] = {1, 0, 0};
  float size = d.pointSize;
  if (d.pointScale && !screen) {
    attenuation[0] = d.scaleA;
    attenuation[1] = d.scaleB;
    attenuation[2] = d.scaleC;
    size *= static_cast<float>(h);
  }
  glPointParameterfv(GL_POINT_DISTANCE_ATTENUATION, attenuation);
  glPointSize(size);
  SetStages(d, screen);

  glVertexPointer(4, GL_FLOAT, 0, a.position.data());
  glNormalPointer(GL_FLOAT, 0, a.normal.data());
  glColorPointer(4, GL_UNSIGNED_BYTE, 0, a.colour.data());
  glSecondaryColorPointer(3, GL_UNSIGNED_BYTE, 0, a.secondary.data());
  for (int unit = 0; unit < 2; ++unit) {
    glClientActiveTexture(static_cast<GLenum>(GL_TEXTURE0 + unit));
    DWORD set = d.stages[static_cast<size_t>(unit)].texCoordIndex & 0xFFFF;
    glTexCoordPointer(2, GL_FLOAT, 0, set == 1 ? a.tex1.data() : a.tex0.data());
  }
  glClientActiveTexture(GL_TEXTURE0);
  if (d.indices.empty()) {
    glDrawArrays(GlPrimitive(d.type), 0, a.count);
  } else {
    glDrawElements(GlPrimitive(d.type), a.count, GL_UNSIGNED_SHORT, d.indices.data());
  }
}

GlRenderer::GlRenderer(const Scene& scene, unsigned threads) : impl_(std::make_unique<Impl>(scene)) {
  if (!impl_->Setup(threads) && impl_->error.empty()) impl_->error = "OpenGL set-up failed";
}

GlRenderer::~GlRenderer() = default;

bool GlRenderer::ok() const { return impl_->error.empty(); }
const std::string& GlRenderer::error() const { return impl_->error; }

std::string GlRenderer::RendererName() const {
  if (!ok()) return {};
  const GLubyte* name = glGetString(GL_RENDERER);
  return name != nullptr ? reinterpret_cast<const char*>(name) : "";
}

void GlRenderer::Render() {
  if (!ok()) return;
  const Scene& scene = impl_->scene;
  // Another renderer's context may have been made current since (the benchmark keeps two).
  OSMesaMakeCurrent(impl_->context, impl_->buffer.data(),
                    impl_->rgb565 ? GL_UNSIGNED_SHORT_5_6_5 : GL_UNSIGNED_BYTE,
                    static_cast<GLsizei>(scene.width), static_cast<GLsizei>(scene.height));
  int current = -1;
  auto finishTarget = [&](int target) {
    if (target < 0) return;
    // The pass drew upside down into the bottom-left corner: row 0 is the target's top row.
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, impl_->textures[static_cast<size_t>(target)]);
    GLsizei size = static_cast<GLsizei>(scene.textures[static_cast<size_t>(target)].size);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, size, size);
  };
  for (size_t i = 0; i < scene.draws.size(); ++i) {
    int target = scene.draws[i].target;
    if (target != current) {
      finishTarget(current);
      current = target;
    }
    impl_->DrawOne(i, target);
  }
  finishTarget(current);
  glFinish();
}

Image GlRenderer::Read() const {
  Image image;
  if (!ok()) return image;
  const Scene& scene = impl_->scene;
  image.width = scene.width;
  image.height = scene.height;
  image.pixels.resize(static_cast<size_t>(scene.width) * scene.height);
  for (uint32_t y = 0; y < scene.height; ++y) {
    uint32_t row = scene.height - 1 - y;  // OSMesa's rows run bottom-up
    for (uint32_t x = 0; x < scene.width; ++x) {
      size_t at = static_cast<size_t>(row) * scene.width + x;
      uint32_t argb;
      if (impl_->rgb565) {
        uint16_t p;
        std::memcpy(&p, impl_->buffer.data() + 2 * at, 2);
        uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
        argb = 0xFF000000u | (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) |
               ((b << 3) | (b >> 2));
      } else {
        const uint8_t* p = impl_->buffer.data() + 4 * at;
        argb = (static_cast<uint32_t>(p[3]) << 24) | (static_cast<uint32_t>(p[0]) << 16) |
               (static_cast<uint32_t>(p[1]) << 8) | p[2];
      }
      image.pixels[static_cast<size_t>(y) * scene.width + x] = argb;
    }
  }
  return image;
}

}  // namespace zelk4::crosscheck
