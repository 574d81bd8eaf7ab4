// The rasterizer: a queue of clears and triangles, each with the pixel state frozen at its draw
// call, carried out when someone needs the pixels (Present, a lock, a render-target switch, a
// full queue). The queue is binned into 64 x 64 tiles; the calling thread and the worker
// threads each take the tiles of their own band of the screen first, then any left, and a tile
// is drawn whole by one thread in queue order, so each pixel sees exactly the same sequence of
// writes whatever the thread count.
//
// Fixed rules (the same on every machine):
// - Screen positions are snapped to 1/256 pixel (round half to even). Pixel centres are at
//   integer coordinates; a centre on an edge belongs to the triangle only for top and left
//   edges, so triangles sharing an edge cover each pixel once.
// - Depth is interpolated linearly in screen space in double precision, clamped to [0, 1] and
//   stored as round(z * (2^bits - 1)).
// - Colours and texture coordinates are interpolated perspective-correctly in float, then
//   colours are rounded to 0..255; all later arithmetic is on 8-bit integers with
//   round-to-nearest divisions by 255.
#pragma once

#include <functional>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "platform/d3d8/pipeline.h"
#include "platform/d3d8/triangle.h"

namespace zelk4::d3d8 {

// A vertex after the divide by w and the viewport mapping.
struct ScreenVertex {
  float x, y;   // pixels, centres at integers
  float z;      // 0..1
  float q;      // 1 / w
  float var[kMaxVaryings];  // varyings (not yet multiplied by q)
};

enum class CullRule { kKeepAll, kKeepClockwise, kKeepCounterClockwise };

// Makes room without filling it: an element made without arguments is left uninitialised.
// The queue's triangles and planes are written whole right after room is made for them, and
// zero-filling megabytes of them first cost as much as the writes.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = UninitialisedAllocator<U>;
  };
  UninitialisedAllocator() = default;
  template <class U>
  UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

// Triangles set up but not yet queued; plane offsets count from the start of `planes`.
// A part of a large draw first fills its window, room made for it in the queue itself (see
// Rasterizer::OpenWindows), so that most of its triangles need no copying into the queue;
// the lists take the rest.
struct SetUpTriangles {
  std::vector<Triangle, UninitialisedAllocator<Triangle>> triangles;
  std::vector<float, UninitialisedAllocator<float>> planes;
  struct Window {
    Triangle* triangles = nullptr;  // its room in the queue, valid until AddTriangles
    float* planes = nullptr;
    size_t first = 0;     // the queue index of its first triangle
    size_t planesAt = 0;  // and the queue's plane offset of its planes
    size_t capacity = 0;  // triangles it has room for
    size_t used = 0;
  } window;
};

class Rasterizer {
 public:
  explicit Rasterizer(unsigned threadCount);
  ~Rasterizer();
  Rasterizer(const Rasterizer&) = delete;
  Rasterizer& operator=(const Rasterizer&) = delete;

  // Clears [x0, x1) x [y0, y1) of the colour target and/or the depth surface.
  void Clear(IDirect3DSurface8* target, IDirect3DSurface8* depth, int x0, int y0, int x1,
             int y1, DWORD flags, D3DCOLOR color, float z);

  // Starts a draw: later triangles use this pixel state. Holds references to the surfaces and
  // textures it names until the queue has run.
  void BeginDraw(const PixelState& state);
  // Queues one triangle of the current draw; returns false if it was culled or covers no area.
  bool AddTriangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                   CullRule cull);

  // The same in parts, so that a large draw's triangles can be set up on several threads:
  // OpenWindows makes room in the queue for capacity[i] triangles of sets[i];
  // SetUpTriangle (safe on any number of threads at once, each with its own `out`) adds a
  // triangle of the current draw to `out`, in its window while there is room. AddTriangles
  // then queues the sets' triangles in their order. Or, from one thread, `out` may be
  // Queued() itself: BinQueued(first) then bins the triangles set up there since it held
  // `first` of them.
  void OpenWindows(SetUpTriangles* sets, const size_t* capacity, int count);
  bool SetUpTriangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c, CullRule cull,
                     SetUpTriangles* out) const;
  void AddTriangles(SetUpTriangles* sets, int count);
  SetUpTriangles* Queued();
  void BinQueued(size_t first);

  // Runs work(0) .. work(count - 1) spread over the rasterizer's threads, which are idle
  // between runs of the queue, and returns when all are done.
  void ParallelFor(int count, const std::function<void(int)>& work);

  // Runs everything queued; afterwards every surface holds its final pixels.
  void Finish();
  bool Idle() const;

  unsigned ThreadCount() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace zelk4::d3d8
