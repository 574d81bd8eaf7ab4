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

}  // namespace zelk4::d3d8

#define D3D8_LOG(...)                              \
  do {                                             \
    if (::zelk4::d3d8::CallLogOn()) ::zelk4::d3d8::LogCall(__VA_ARGS__); \
  } while (0)
