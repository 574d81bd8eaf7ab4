#include "platform/d3d8/call_log.h"

#include <cstdarg>
#include <cstdio>
#include <typeinfo>

#include "platform/d3d8/device_control.h"

namespace zelk4::d3d8 {
namespace {
bool g_logOn = false;
std::vector<std::string> g_log;
}  // namespace

void EnableCallLog(bool enabled) { g_logOn = enabled; }
bool CallLogEnabled() { return g_logOn; }
bool CallLogOn() { return g_logOn; }
const std::vector<std::string>& CallLog() { return g_log; }
void ClearCallLog() { g_log.clear(); }

void LogCall(const char* format, ...) {
  char line[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(line, sizeof line, format, args);  // a longer line is cut, never overflows
  va_end(args);
  g_log.emplace_back(line);
}

std::string ObjectName(const IDirect3DUnknown8* object) {
  if (object == nullptr) return "null";
  const char* kind = "object";
  if (dynamic_cast<const IDirect3DTexture8*>(object)) kind = "texture";
  else if (dynamic_cast<const IDirect3DCubeTexture8*>(object)) kind = "cubetexture";
  else if (dynamic_cast<const IDirect3DSurface8*>(object)) kind = "surface";
  else if (dynamic_cast<const IDirect3DVertexBuffer8*>(object)) kind = "vertexbuffer";
  else if (dynamic_cast<const IDirect3DIndexBuffer8*>(object)) kind = "indexbuffer";
  else if (dynamic_cast<const IDirect3DDevice8*>(object)) kind = "device";
  else if (dynamic_cast<const IDirect3D8*>(object)) kind = "direct3d";
  return std::string(kind) + "#" + std::to_string(object->objectId_);
}

std::string MatrixText(const D3DMATRIX* matrix) {
  if (matrix == nullptr) return "null";
  std::string text = "[";
  char number[32];
  for (int i = 0; i < 16; ++i) {
    snprintf(number, sizeof number, "%.9g", static_cast<double>(matrix->m[i / 4][i % 4]));
    if (i) text += ", ";
    text += number;
  }
  return text + "]";
}

}  // namespace zelk4::d3d8
