#include "platform/d3d8/device_core.h"
HRESULT IDirect3DDevice8::DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) { return D3DERR_INVALIDCALL; }
HRESULT IDirect3DDevice8::DrawIndexedPrimitive(D3DPRIMITIVETYPE, UINT, UINT, UINT, UINT) { return D3DERR_INVALIDCALL; }
HRESULT IDirect3DDevice8::DrawPrimitiveUP(D3DPRIMITIVETYPE, UINT, const void*, UINT) { return D3DERR_INVALIDCALL; }
HRESULT IDirect3DDevice8::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE, UINT, UINT, UINT, const void*, D3DFORMAT, const void*, UINT) { return D3DERR_INVALIDCALL; }
