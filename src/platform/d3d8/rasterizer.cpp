#include "platform/d3d8/rasterizer.h"
namespace d3d8 {
struct Rasterizer::Impl {};
Rasterizer::Rasterizer(unsigned) : impl_(std::make_unique<Impl>()) {}
Rasterizer::~Rasterizer() = default;
void Rasterizer::Clear(IDirect3DSurface8*, IDirect3DSurface8*, int, int, int, int, DWORD, D3DCOLOR, float) {}
void Rasterizer::BeginDraw(const PixelState&) {}
bool Rasterizer::AddTriangle(const ScreenVertex&, const ScreenVertex&, const ScreenVertex&, CullRule) { return false; }
void Rasterizer::Finish() {}
bool Rasterizer::Idle() const { return true; }
unsigned Rasterizer::ThreadCount() const { return 1; }
}  // namespace d3d8
