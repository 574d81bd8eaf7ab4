// Turns render and texture-stage states into the PixelState the per-pixel work reads: which
// surfaces, which tests, which blend, and the enabled texture stages with their textures and
// the varyings that carry their coordinates.
#include "platform/d3d8/pixel_state.h"

#include "platform/d3d8/fast_span.h"

#include <cstring>

namespace zelk4::d3d8 {
namespace {

bool ReadsArg(DWORD op, DWORD arg1, DWORD arg2, DWORD which) {
  auto is = [which](DWORD arg) { return (arg & D3DTA_SELECTMASK) == which; };
  switch (op) {
    case D3DTOP_DISABLE:
      return false;
    case D3DTOP_SELECTARG1:
      return is(arg1);
    case D3DTOP_SELECTARG2:
      return is(arg2);
    default:
      return is(arg1) || is(arg2);
  }
}

bool OpReadsTexture(DWORD op, DWORD arg1, DWORD arg2) {
  return ReadsArg(op, arg1, arg2, D3DTA_TEXTURE) || op == D3DTOP_BLENDTEXTUREALPHA ||
         op == D3DTOP_BLENDTEXTUREALPHAPM || op == D3DTOP_PREMODULATE;
}

float FloatFromBits(DWORD bits) {
  float f;
  memcpy(&f, &bits, 4);
  return f;
}

}  // namespace

void BuildPixelState(const DeviceCore& core, PixelState* out) {
  const DeviceState& s = core.state;
  PixelState p;
  p.target = core.renderTarget;
  bool zOn = s.rs(D3DRS_ZENABLE) != D3DZB_FALSE && core.depthStencil != nullptr;
  p.depth = zOn ? core.depthStencil : nullptr;
  p.zTest = zOn;
  p.zWrite = zOn && s.rs(D3DRS_ZWRITEENABLE) != FALSE;
  p.zFunc = s.rs(D3DRS_ZFUNC);
  p.clipX0 = static_cast<int>(s.viewport.X);
  p.clipY0 = static_cast<int>(s.viewport.Y);
  p.clipX1 = static_cast<int>(s.viewport.X + s.viewport.Width);
  p.clipY1 = static_cast<int>(s.viewport.Y + s.viewport.Height);
  if (p.clipX1 > static_cast<int>(p.target->width_)) p.clipX1 = static_cast<int>(p.target->width_);
  if (p.clipY1 > static_cast<int>(p.target->height_)) p.clipY1 = static_cast<int>(p.target->height_);
  if (p.depth != nullptr) {
    if (p.clipX1 > static_cast<int>(p.depth->width_)) p.clipX1 = static_cast<int>(p.depth->width_);
    if (p.clipY1 > static_cast<int>(p.depth->height_)) p.clipY1 = static_cast<int>(p.depth->height_);
  }
  p.alphaTest = s.rs(D3DRS_ALPHATESTENABLE) != FALSE;
  p.alphaFunc = s.rs(D3DRS_ALPHAFUNC);
  p.alphaRef = static_cast<int>(s.rs(D3DRS_ALPHAREF) & 0xFF);
  p.blend = s.rs(D3DRS_ALPHABLENDENABLE) != FALSE;
  p.srcBlend = s.rs(D3DRS_SRCBLEND);
  p.destBlend = s.rs(D3DRS_DESTBLEND);
  // The BOTH* source factors set both sides at once.
  if (p.srcBlend == D3DBLEND_BOTHSRCALPHA) {
    p.srcBlend = D3DBLEND_SRCALPHA;
    p.destBlend = D3DBLEND_INVSRCALPHA;
  } else if (p.srcBlend == D3DBLEND_BOTHINVSRCALPHA) {
    p.srcBlend = D3DBLEND_INVSRCALPHA;
    p.destBlend = D3DBLEND_SRCALPHA;
  }
  p.blendOp = s.rs(D3DRS_BLENDOP);
  p.colorWriteMask = s.rs(D3DRS_COLORWRITEENABLE) & 0xF;
  p.specularAdd = s.rs(D3DRS_SPECULARENABLE) != FALSE;
  p.flatShade = s.rs(D3DRS_SHADEMODE) == D3DSHADE_FLAT;
  p.textureFactor = s.rs(D3DRS_TEXTUREFACTOR);
  p.usesSpecular = p.specularAdd;

  int nextSlot = kFirstTexSlot;
  p.stageCount = 0;
  for (int stage = 0; stage < kMaxStages; ++stage) {
    StageSetup& st = p.stages[stage];
    st.colorOp = s.tss(stage, D3DTSS_COLOROP);
    if (st.colorOp == D3DTOP_DISABLE || st.colorOp < D3DTOP_DISABLE || st.colorOp > D3DTOP_LERP) {
      break;
    }
    st.colorArg1 = s.tss(stage, D3DTSS_COLORARG1);
    st.colorArg2 = s.tss(stage, D3DTSS_COLORARG2);
    st.alphaOp = s.tss(stage, D3DTSS_ALPHAOP);
    st.alphaArg1 = s.tss(stage, D3DTSS_ALPHAARG1);
    st.alphaArg2 = s.tss(stage, D3DTSS_ALPHAARG2);
    if (st.alphaOp < D3DTOP_DISABLE || st.alphaOp > D3DTOP_LERP) st.alphaOp = D3DTOP_DISABLE;

    IDirect3DBaseTexture8* base = s.textures[stage];
    auto* texture = dynamic_cast<IDirect3DTexture8*>(base);
    auto* cube = dynamic_cast<IDirect3DCubeTexture8*>(base);
    st.hasTexture = (texture != nullptr && !texture->levels_.empty()) ||
                    (cube != nullptr && !cube->faces_[0].empty());
    // A stage that reads a texture it does not have passes the previous result through.
    if (!st.hasTexture) {
      if (OpReadsTexture(st.colorOp, st.colorArg1, st.colorArg2)) {
        st.colorOp = D3DTOP_SELECTARG1;
        st.colorArg1 = D3DTA_CURRENT;
      }
      if (OpReadsTexture(st.alphaOp, st.alphaArg1, st.alphaArg2)) {
        st.alphaOp = D3DTOP_SELECTARG1;
        st.alphaArg1 = D3DTA_CURRENT;
      }
    }
    if (ReadsArg(st.colorOp, st.colorArg1, st.colorArg2, D3DTA_SPECULAR) ||
        ReadsArg(st.alphaOp, st.alphaArg1, st.alphaArg2, D3DTA_SPECULAR)) {
      p.usesSpecular = true;
    }
    if (st.hasTexture) {
      DWORD first = s.tss(stage, D3DTSS_MAXMIPLEVEL);
      st.mipFilter = s.tss(stage, D3DTSS_MIPFILTER);
      if (texture != nullptr) {
        DWORD count = static_cast<DWORD>(texture->levels_.size());
        if (first >= count) first = count - 1;
        st.levels = texture->levels_.data() + first;
        st.levelCount = static_cast<int>(count - first);
        st.texDims = 2;
      } else {
        st.cube = cube;
        DWORD count = static_cast<DWORD>(cube->faces_[0].size());
        if (first >= count) first = count - 1;
        st.levelCount = static_cast<int>(count - first);
        st.texDims = 3;
      }
      if (st.mipFilter == D3DTEXF_NONE) st.levelCount = 1;
      st.addressU = s.tss(stage, D3DTSS_ADDRESSU);
      st.addressV = s.tss(stage, D3DTSS_ADDRESSV);
      st.borderColor = s.tss(stage, D3DTSS_BORDERCOLOR);
      st.magFilter = s.tss(stage, D3DTSS_MAGFILTER);
      st.minFilter = s.tss(stage, D3DTSS_MINFILTER);
      st.lodBias = FloatFromBits(s.tss(stage, D3DTSS_MIPMAPLODBIAS));
      if (!(st.lodBias > -64.0f && st.lodBias < 64.0f)) st.lodBias = 0.0f;
      st.texSlot = nextSlot;
      nextSlot += 4;
      bool differentFilters = (st.minFilter == D3DTEXF_POINT) != (st.magFilter == D3DTEXF_POINT);
      if (st.levelCount > 1 || differentFilters) p.needsDerivatives = true;
    }
    ++p.stageCount;
  }
  p.varyingCount = nextSlot;
  PrepareFastSetup(&p);
  *out = p;
}

}  // namespace zelk4::d3d8
