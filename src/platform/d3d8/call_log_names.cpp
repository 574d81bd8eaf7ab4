// The call log's names: states, stage states, transforms, primitive types and the values they
// take, written as the SDK spells them without the prefix ("ALPHAREF", "MODULATE"), so a logged
// frame reads as the behaviour it pins. A value without a name is written as its number.
#include <cstdio>
#include <cstring>

#include "platform/d3d8/call_log.h"

namespace zelk4::d3d8 {
namespace {

struct Name {
  DWORD value;
  const char* text;
};

template <size_t N>
const char* Find(const Name (&names)[N], DWORD value) {
  for (const Name& n : names) {
    if (n.value == value) return n.text;
  }
  return nullptr;
}

std::string Number(DWORD value) { return std::to_string(value); }

template <size_t N>
std::string NameOr(const Name (&names)[N], DWORD value) {
  const char* text = Find(names, value);
  return text != nullptr ? text : Number(value);
}

std::string FloatBits(DWORD value) {
  float f;
  std::memcpy(&f, &value, sizeof f);
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(f));
  return text;
}

std::string Hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

std::string Bool(DWORD value) { return value == 0 ? "FALSE" : value == 1 ? "TRUE" : Number(value); }

// Flags joined with '|'; leftover bits as a hexadecimal number; no bit: `none`.
template <size_t N>
std::string Flags(const Name (&names)[N], DWORD value, const char* none) {
  std::string text;
  for (const Name& n : names) {
    if (n.value != 0 && (value & n.value) == n.value) {
      if (!text.empty()) text += "|";
      text += n.text;
      value &= ~n.value;
    }
  }
  if (value != 0) {
    if (!text.empty()) text += "|";
    text += Hex(value);
  }
  return text.empty() ? none : text;
}

constexpr Name kRenderStates[] = {
    {7, "ZENABLE"}, {8, "FILLMODE"}, {9, "SHADEMODE"}, {10, "LINEPATTERN"},
    {14, "ZWRITEENABLE"}, {15, "ALPHATESTENABLE"}, {16, "LASTPIXEL"}, {19, "SRCBLEND"},
    {20, "DESTBLEND"}, {22, "CULLMODE"}, {23, "ZFUNC"}, {24, "ALPHAREF"}, {25, "ALPHAFUNC"},
    {26, "DITHERENABLE"}, {27, "ALPHABLENDENABLE"}, {28, "FOGENABLE"}, {29, "SPECULARENABLE"},
    {30, "ZVISIBLE"}, {34, "FOGCOLOR"}, {35, "FOGTABLEMODE"}, {36, "FOGSTART"}, {37, "FOGEND"},
    {38, "FOGDENSITY"}, {40, "EDGEANTIALIAS"}, {47, "ZBIAS"}, {48, "RANGEFOGENABLE"},
    {52, "STENCILENABLE"}, {53, "STENCILFAIL"}, {54, "STENCILZFAIL"}, {55, "STENCILPASS"},
    {56, "STENCILFUNC"}, {57, "STENCILREF"}, {58, "STENCILMASK"}, {59, "STENCILWRITEMASK"},
    {60, "TEXTUREFACTOR"}, {128, "WRAP0"}, {129, "WRAP1"}, {130, "WRAP2"}, {131, "WRAP3"},
    {132, "WRAP4"}, {133, "WRAP5"}, {134, "WRAP6"}, {135, "WRAP7"}, {136, "CLIPPING"},
    {137, "LIGHTING"}, {139, "AMBIENT"}, {140, "FOGVERTEXMODE"}, {141, "COLORVERTEX"},
    {142, "LOCALVIEWER"}, {143, "NORMALIZENORMALS"}, {145, "DIFFUSEMATERIALSOURCE"},
    {146, "SPECULARMATERIALSOURCE"}, {147, "AMBIENTMATERIALSOURCE"},
    {148, "EMISSIVEMATERIALSOURCE"}, {151, "VERTEXBLEND"}, {152, "CLIPPLANEENABLE"},
    {153, "SOFTWAREVERTEXPROCESSING"}, {154, "POINTSIZE"}, {155, "POINTSIZE_MIN"},
    {156, "POINTSPRITEENABLE"}, {157, "POINTSCALEENABLE"}, {158, "POINTSCALE_A"},
    {159, "POINTSCALE_B"}, {160, "POINTSCALE_C"}, {161, "MULTISAMPLEANTIALIAS"},
    {162, "MULTISAMPLEMASK"}, {163, "PATCHEDGESTYLE"}, {164, "PATCHSEGMENTS"},
    {165, "DEBUGMONITORTOKEN"}, {166, "POINTSIZE_MAX"}, {167, "INDEXEDVERTEXBLENDENABLE"},
    {168, "COLORWRITEENABLE"}, {170, "TWEENFACTOR"}, {171, "BLENDOP"}, {172, "POSITIONORDER"},
    {173, "NORMALORDER"}};

constexpr Name kBlends[] = {{1, "ZERO"}, {2, "ONE"}, {3, "SRCCOLOR"}, {4, "INVSRCCOLOR"},
                            {5, "SRCALPHA"}, {6, "INVSRCALPHA"}, {7, "DESTALPHA"},
                            {8, "INVDESTALPHA"}, {9, "DESTCOLOR"}, {10, "INVDESTCOLOR"},
                            {11, "SRCALPHASAT"}, {12, "BOTHSRCALPHA"}, {13, "BOTHINVSRCALPHA"}};
constexpr Name kCompares[] = {{1, "NEVER"}, {2, "LESS"}, {3, "EQUAL"}, {4, "LESSEQUAL"},
                              {5, "GREATER"}, {6, "NOTEQUAL"}, {7, "GREATEREQUAL"}, {8, "ALWAYS"}};
constexpr Name kCulls[] = {{1, "NONE"}, {2, "CW"}, {3, "CCW"}};
constexpr Name kFills[] = {{1, "POINT"}, {2, "WIREFRAME"}, {3, "SOLID"}};
constexpr Name kShades[] = {{1, "FLAT"}, {2, "GOURAUD"}, {3, "PHONG"}};
constexpr Name kDepthBuffers[] = {{0, "FALSE"}, {1, "TRUE"}, {2, "USEW"}};
constexpr Name kFogModes[] = {{0, "NONE"}, {1, "EXP"}, {2, "EXP2"}, {3, "LINEAR"}};
constexpr Name kColourSources[] = {{0, "MATERIAL"}, {1, "COLOR1"}, {2, "COLOR2"}};
constexpr Name kBlendOps[] = {{1, "ADD"}, {2, "SUBTRACT"}, {3, "REVSUBTRACT"}, {4, "MIN"},
                              {5, "MAX"}};
constexpr Name kStencilOps[] = {{1, "KEEP"}, {2, "ZERO"}, {3, "REPLACE"}, {4, "INCRSAT"},
                                {5, "DECRSAT"}, {6, "INVERT"}, {7, "INCR"}, {8, "DECR"}};

constexpr Name kStageStates[] = {
    {1, "COLOROP"}, {2, "COLORARG1"}, {3, "COLORARG2"}, {4, "ALPHAOP"}, {5, "ALPHAARG1"},
    {6, "ALPHAARG2"}, {7, "BUMPENVMAT00"}, {8, "BUMPENVMAT01"}, {9, "BUMPENVMAT10"},
    {10, "BUMPENVMAT11"}, {11, "TEXCOORDINDEX"}, {13, "ADDRESSU"}, {14, "ADDRESSV"},
    {15, "BORDERCOLOR"}, {16, "MAGFILTER"}, {17, "MINFILTER"}, {18, "MIPFILTER"},
    {19, "MIPMAPLODBIAS"}, {20, "MAXMIPLEVEL"}, {21, "MAXANISOTROPY"}, {22, "BUMPENVLSCALE"},
    {23, "BUMPENVLOFFSET"}, {24, "TEXTURETRANSFORMFLAGS"}, {25, "ADDRESSW"}, {26, "COLORARG0"},
    {27, "ALPHAARG0"}, {28, "RESULTARG"}};

constexpr Name kTextureOps[] = {
    {1, "DISABLE"}, {2, "SELECTARG1"}, {3, "SELECTARG2"}, {4, "MODULATE"}, {5, "MODULATE2X"},
    {6, "MODULATE4X"}, {7, "ADD"}, {8, "ADDSIGNED"}, {9, "ADDSIGNED2X"}, {10, "SUBTRACT"},
    {11, "ADDSMOOTH"}, {12, "BLENDDIFFUSEALPHA"}, {13, "BLENDTEXTUREALPHA"},
    {14, "BLENDFACTORALPHA"}, {15, "BLENDTEXTUREALPHAPM"}, {16, "BLENDCURRENTALPHA"},
    {17, "PREMODULATE"}, {18, "MODULATEALPHA_ADDCOLOR"}, {19, "MODULATECOLOR_ADDALPHA"},
    {20, "MODULATEINVALPHA_ADDCOLOR"}, {21, "MODULATEINVCOLOR_ADDALPHA"}, {22, "BUMPENVMAP"},
    {23, "BUMPENVMAPLUMINANCE"}, {24, "DOTPRODUCT3"}, {25, "MULTIPLYADD"}, {26, "LERP"}};
constexpr Name kArguments[] = {{0, "DIFFUSE"}, {1, "CURRENT"}, {2, "TEXTURE"}, {3, "TFACTOR"},
                               {4, "SPECULAR"}, {5, "TEMP"}};
constexpr Name kArgumentModifiers[] = {{0x10, "COMPLEMENT"}, {0x20, "ALPHAREPLICATE"}};
constexpr Name kFilters[] = {{0, "NONE"}, {1, "POINT"}, {2, "LINEAR"}, {3, "ANISOTROPIC"},
                             {4, "FLATCUBIC"}, {5, "GAUSSIANCUBIC"}};
constexpr Name kAddresses[] = {{1, "WRAP"}, {2, "MIRROR"}, {3, "CLAMP"}, {4, "BORDER"},
                               {5, "MIRRORONCE"}};
constexpr Name kCoordinateSources[] = {{0x00000, "PASSTHRU"},
                                       {0x10000, "CAMERASPACENORMAL"},
                                       {0x20000, "CAMERASPACEPOSITION"},
                                       {0x30000, "CAMERASPACEREFLECTIONVECTOR"}};
constexpr Name kTransformCounts[] = {{0, "DISABLE"}, {1, "COUNT1"}, {2, "COUNT2"},
                                     {3, "COUNT3"}, {4, "COUNT4"}};

constexpr Name kPrimitives[] = {{1, "POINTLIST"}, {2, "LINELIST"}, {3, "LINESTRIP"},
                                {4, "TRIANGLELIST"}, {5, "TRIANGLESTRIP"}, {6, "TRIANGLEFAN"}};

constexpr Name kFormats[] = {
    {0, "UNKNOWN"}, {20, "R8G8B8"}, {21, "A8R8G8B8"}, {22, "X8R8G8B8"}, {23, "R5G6B5"},
    {24, "X1R5G5B5"}, {25, "A1R5G5B5"}, {26, "A4R4G4B4"}, {27, "R3G3B2"}, {28, "A8"},
    {29, "A8R3G3B2"}, {30, "X4R4G4B4"}, {50, "L8"}, {51, "A8L8"}, {70, "D16_LOCKABLE"},
    {71, "D32"}, {73, "D15S1"}, {75, "D24S8"}, {77, "D24X8"}, {79, "D24X4S4"}, {80, "D16"},
    {100, "VERTEXDATA"}, {101, "INDEX16"}, {102, "INDEX32"}};
constexpr Name kPools[] = {{0, "DEFAULT"}, {1, "MANAGED"}, {2, "SYSTEMMEM"}, {3, "SCRATCH"}};
constexpr Name kUsages[] = {{0x01, "RENDERTARGET"}, {0x02, "DEPTHSTENCIL"}, {0x08, "WRITEONLY"},
                            {0x10, "SOFTWAREPROCESSING"}, {0x20, "DONOTCLIP"}, {0x40, "POINTS"},
                            {0x80, "RTPATCHES"}, {0x100, "NPATCHES"}, {0x200, "DYNAMIC"}};
constexpr Name kLocks[] = {{0x10, "READONLY"}, {0x800, "NOSYSLOCK"}, {0x1000, "NOOVERWRITE"},
                           {0x2000, "DISCARD"}, {0x8000, "NO_DIRTY_UPDATE"}};
constexpr Name kClears[] = {{1, "TARGET"}, {2, "ZBUFFER"}, {4, "STENCIL"}};
constexpr Name kPositions[] = {{0x002, "XYZ"},   {0x004, "XYZRHW"}, {0x006, "XYZB1"}, {0x008, "XYZB2"},
                               {0x00A, "XYZB3"}, {0x00C, "XYZB4"},  {0x00E, "XYZB5"}};
constexpr Name kVertexParts[] = {{0x010, "NORMAL"}, {0x020, "PSIZE"}, {0x040, "DIFFUSE"},
                                 {0x080, "SPECULAR"}};
constexpr Name kLightTypes[] = {{1, "POINT"}, {2, "SPOT"}, {3, "DIRECTIONAL"}};

std::string RenderStateValue(DWORD state, DWORD value) {
  switch (state) {
    case D3DRS_ZENABLE: return NameOr(kDepthBuffers, value);
    case D3DRS_FILLMODE: return NameOr(kFills, value);
    case D3DRS_SHADEMODE: return NameOr(kShades, value);
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND: return NameOr(kBlends, value);
    case D3DRS_CULLMODE: return NameOr(kCulls, value);
    case D3DRS_ZFUNC:
    case D3DRS_ALPHAFUNC:
    case D3DRS_STENCILFUNC: return NameOr(kCompares, value);
    case D3DRS_FOGTABLEMODE:
    case D3DRS_FOGVERTEXMODE: return NameOr(kFogModes, value);
    case D3DRS_DIFFUSEMATERIALSOURCE:
    case D3DRS_SPECULARMATERIALSOURCE:
    case D3DRS_AMBIENTMATERIALSOURCE:
    case D3DRS_EMISSIVEMATERIALSOURCE: return NameOr(kColourSources, value);
    case D3DRS_BLENDOP: return NameOr(kBlendOps, value);
    case D3DRS_STENCILFAIL:
    case D3DRS_STENCILZFAIL:
    case D3DRS_STENCILPASS: return NameOr(kStencilOps, value);
    case D3DRS_FOGSTART:
    case D3DRS_FOGEND:
    case D3DRS_FOGDENSITY:
    case D3DRS_POINTSIZE:
    case D3DRS_POINTSIZE_MIN:
    case D3DRS_POINTSIZE_MAX:
    case D3DRS_POINTSCALE_A:
    case D3DRS_POINTSCALE_B:
    case D3DRS_POINTSCALE_C:
    case D3DRS_TWEENFACTOR: return FloatBits(value);
    case D3DRS_FOGCOLOR:
    case D3DRS_TEXTUREFACTOR:
    case D3DRS_AMBIENT:
    case D3DRS_STENCILMASK:
    case D3DRS_STENCILWRITEMASK:
    case D3DRS_MULTISAMPLEMASK:
    case D3DRS_COLORWRITEENABLE: return Hex(value);
    case D3DRS_ZWRITEENABLE:
    case D3DRS_ALPHATESTENABLE:
    case D3DRS_LASTPIXEL:
    case D3DRS_DITHERENABLE:
    case D3DRS_ALPHABLENDENABLE:
    case D3DRS_FOGENABLE:
    case D3DRS_SPECULARENABLE:
    case D3DRS_ZVISIBLE:
    case D3DRS_EDGEANTIALIAS:
    case D3DRS_RANGEFOGENABLE:
    case D3DRS_STENCILENABLE:
    case D3DRS_CLIPPING:
    case D3DRS_LIGHTING:
    case D3DRS_COLORVERTEX:
    case D3DRS_LOCALVIEWER:
    case D3DRS_NORMALIZENORMALS:
    case D3DRS_SOFTWAREVERTEXPROCESSING:
    case D3DRS_POINTSPRITEENABLE:
    case D3DRS_POINTSCALEENABLE:
    case D3DRS_MULTISAMPLEANTIALIAS:
    case D3DRS_INDEXEDVERTEXBLENDENABLE: return Bool(value);
    default: return Number(value);  // ALPHAREF, STENCILREF, ZBIAS, WRAPn and the rest
  }
}

std::string Argument(DWORD value) {
  std::string text = NameOr(kArguments, value & D3DTA_SELECTMASK);
  const DWORD modifiers = value & ~D3DTA_SELECTMASK;
  if (modifiers != 0) text += "|" + Flags(kArgumentModifiers, modifiers, "");
  return text;
}

std::string StageStateValue(DWORD type, DWORD value) {
  switch (type) {
    case D3DTSS_COLOROP:
    case D3DTSS_ALPHAOP: return NameOr(kTextureOps, value);
    case D3DTSS_COLORARG0:
    case D3DTSS_COLORARG1:
    case D3DTSS_COLORARG2:
    case D3DTSS_ALPHAARG0:
    case D3DTSS_ALPHAARG1:
    case D3DTSS_ALPHAARG2:
    case D3DTSS_RESULTARG: return Argument(value);
    case D3DTSS_MAGFILTER:
    case D3DTSS_MINFILTER:
    case D3DTSS_MIPFILTER: return NameOr(kFilters, value);
    case D3DTSS_ADDRESSU:
    case D3DTSS_ADDRESSV:
    case D3DTSS_ADDRESSW: return NameOr(kAddresses, value);
    case D3DTSS_TEXCOORDINDEX: {
      // The coordinate source in the high word, the coordinate set in the low one.
      const char* source = Find(kCoordinateSources, value & 0xFFFF0000u);
      if (source == nullptr) return Hex(value);
      return std::string(source) + "|" + Number(value & 0xFFFFu);
    }
    case D3DTSS_TEXTURETRANSFORMFLAGS: {
      std::string text = NameOr(kTransformCounts, value & 0xFFu);
      if (value & D3DTTFF_PROJECTED) text += "|PROJECTED";
      if (value & ~0x1FFu) text += "|" + Hex(value & ~0x1FFu);
      return text;
    }
    case D3DTSS_BORDERCOLOR: return Hex(value);
    case D3DTSS_MIPMAPLODBIAS:
    case D3DTSS_BUMPENVMAT00:
    case D3DTSS_BUMPENVMAT01:
    case D3DTSS_BUMPENVMAT10:
    case D3DTSS_BUMPENVMAT11:
    case D3DTSS_BUMPENVLSCALE:
    case D3DTSS_BUMPENVLOFFSET: return FloatBits(value);
    default: return Number(value);
  }
}

}  // namespace

std::string RenderStateText(DWORD state, DWORD value) {
  return NameOr(kRenderStates, state) + ", " + RenderStateValue(state, value);
}

std::string StageStateText(DWORD type, DWORD value) {
  return NameOr(kStageStates, type) + ", " + StageStateValue(type, value);
}

std::string TransformName(DWORD state) {
  if (state == D3DTS_VIEW) return "VIEW";
  if (state == D3DTS_PROJECTION) return "PROJECTION";
  if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) return "TEXTURE" + Number(state - D3DTS_TEXTURE0);
  if (state == 256) return "WORLD";
  if (state > 256 && state < 512) return "WORLDMATRIX(" + Number(state - 256) + ")";
  return Number(state);
}

std::string PrimitiveName(DWORD type) { return NameOr(kPrimitives, type); }
std::string FormatName(DWORD format) { return NameOr(kFormats, format); }
std::string PoolName(DWORD pool) { return NameOr(kPools, pool); }
std::string UsageText(DWORD usage) { return Flags(kUsages, usage, "0"); }
std::string LockText(DWORD flags) { return Flags(kLocks, flags, "0"); }
std::string ClearText(DWORD flags) { return Flags(kClears, flags, "0"); }
std::string LightTypeName(DWORD type) { return NameOr(kLightTypes, type); }

std::string FvfText(DWORD fvf) {
  std::string text;
  if (const char* position = Find(kPositions, fvf & 0x00Eu)) text = position;
  const std::string parts = Flags(kVertexParts, fvf & 0xF1u, "");
  if (!parts.empty()) text += (text.empty() ? "" : "|") + parts;
  const DWORD texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
  if (texCount != 0) text += (text.empty() ? "TEX" : "|TEX") + Number(texCount);
  const DWORD rest = fvf & ~(0xFFu | D3DFVF_TEXCOUNT_MASK);
  if (rest != 0) text += (text.empty() ? "" : "|") + Hex(rest);
  return text.empty() ? "0" : text;
}

}  // namespace zelk4::d3d8
