// The call log's writer side (private). LogCall formats one line only while the log is on.
#pragma once

#include <string>

#include "platform/d3d8/d3d8.h"

namespace zelk4::d3d8 {

bool CallLogOn();
void LogCall(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "texture#3", "surface#1", "null": how objects appear in the log.
std::string ObjectName(const IDirect3DUnknown8* object);
// "[1, 0, 0, 0, ...]": 16 floats with %.9g.
std::string MatrixText(const D3DMATRIX* matrix);

// Names as the SDK spells them without their prefix (call_log_names.cpp); a value without a name
// comes out as its number. "ALPHAREF, 200", "CULLMODE, NONE", "POINTSIZE, 1".
std::string RenderStateText(DWORD state, DWORD value);
// "COLOROP, MODULATE", "COLORARG1, TEXTURE|ALPHAREPLICATE", "TEXCOORDINDEX, CAMERASPACENORMAL|0".
std::string StageStateText(DWORD type, DWORD value);
std::string TransformName(DWORD state);  // "WORLD", "VIEW", "TEXTURE1"
std::string PrimitiveName(DWORD type);   // "TRIANGLELIST"
std::string FormatName(DWORD format);    // "A8R8G8B8"
std::string PoolName(DWORD pool);        // "MANAGED"
std::string UsageText(DWORD usage);      // "RENDERTARGET|DYNAMIC", or "0"
std::string LockText(DWORD flags);       // "NOSYSLOCK", or "0"
std::string ClearText(DWORD flags);      // "TARGET|ZBUFFER"
std::string LightTypeName(DWORD type);   // "POINT"
std::string FvfText(DWORD fvf);          // "XYZ|DIFFUSE|TEX1"

}  // namespace zelk4::d3d8

#define D3D8_LOG(...)                              \
  do {                                             \
    if (::zelk4::d3d8::CallLogOn()) ::zelk4::d3d8::LogCall(__VA_ARGS__); \
  } while (0)
