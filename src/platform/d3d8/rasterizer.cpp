// The draw queue, triangle setup and the row walk. See rasterizer.h for the fixed rules.
//
// Row walk: the triangle's edge steppers (triangle.h) are set up once at its first row; a
// tile further down moves them on to its own first row at once.
#include "platform/d3d8/rasterizer.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include <immintrin.h>

#include "platform/d3d8/fast_span.h"
#include "platform/d3d8/fast_triangle.h"
#include "platform/d3d8/pixel_math.h"
#include "platform/d3d8/shade_span.h"
#include "platform/d3d8/triangle.h"

namespace zelk4::d3d8 {
namespace {

constexpr int kTileShift = 6;  // the screen is drawn in tiles of 64 x 64 pixels
constexpr int kTileSize = 1 << kTileShift;
static_assert(kTileSize == kTilePixels);
constexpr size_t kQueueLimit = 1 << 16;  // triangles queued before the queue is run
constexpr float kMaxScreen = 1 << 20;   // snapped positions stay well inside 32-bit 24.8

}  // namespace

struct Rasterizer::Impl {
  // A bin entry: a triangle's index, or a clear's index with kClearBit set.
  static constexpr uint32_t kClearBit = 1u << 31;
  struct ClearCommand {
    IDirect3DSurface8* target = nullptr;
    IDirect3DSurface8* depth = nullptr;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    D3DCOLOR colour = 0;
    float z = 0;
  };

  unsigned threadCount = 1;
  std::vector<PixelState> states;
  SetUpTriangles queued;  // the queue's triangles and their planes
  decltype(SetUpTriangles::triangles)& triangles = queued.triangles;
  decltype(SetUpTriangles::planes)& planes = queued.planes;
  std::vector<ClearCommand> clears;
  std::vector<IDirect3DUnknown8*> held;  // references kept until the queue has run
  bool drawing = false;                   // a BeginDraw has come since the last clear

  // The tile grid over the surfaces of the queue (one colour target and one depth surface:
  // switching either runs the queue first).
  IDirect3DSurface8* gridTarget = nullptr;
  IDirect3DSurface8* gridDepth = nullptr;
  int tileColumns = 0, tileRows = 0;
  std::vector<std::vector<uint32_t>> bins;  // per tile, entries in queue order
  std::vector<std::unique_ptr<TileBatch>> batches;  // per thread: its tile's deferred draws

  std::vector<std::thread> workers;
  std::mutex mutex;
  std::condition_variable wake, done;
  uint64_t generation = 0;
  unsigned pending = 0;
  const std::function<void(unsigned)>* job = nullptr;  // what the workers run this generation
  bool stopping = false;
  // Per thread's band of tiles: the next one nobody has taken (each on its own cache line).
  struct alignas(64) Band {
    std::atomic<int> next{0};
  };
  std::unique_ptr<Band[]> bands;

  ~Impl() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stopping = true;
    }
    wake.notify_all();
    for (auto& worker : workers) worker.join();
  }

  void Hold(IDirect3DUnknown8* object) {
    if (object == nullptr) return;
    object->AddRef();
    held.push_back(object);
  }

  bool Empty() const { return triangles.empty() && clears.empty(); }

  // Makes the grid cover the surfaces an entry draws on; a queue for other surfaces is run
  // first.
  void UseSurfaces(IDirect3DSurface8* target, IDirect3DSurface8* depth) {
    IDirect3DSurface8* surface = target != nullptr ? target : depth;
    if (surface == nullptr) return;
    const bool sameTarget = target == nullptr || gridTarget == nullptr || target == gridTarget;
    const bool sameDepth = depth == nullptr || gridDepth == nullptr || depth == gridDepth;
    if (!Empty() && (!sameTarget || !sameDepth)) Run();
    if (target != nullptr) gridTarget = target;
    if (depth != nullptr) gridDepth = depth;
    const int columns = static_cast<int>((surface->width_ + kTileSize - 1) >> kTileShift);
    const int rows = static_cast<int>((surface->height_ + kTileSize - 1) >> kTileShift);
    if (columns > tileColumns || rows > tileRows) {
      if (!Empty()) Run();
      tileColumns = std::max(tileColumns, columns);
      tileRows = std::max(tileRows, rows);
      bins.resize(static_cast<size_t>(tileColumns) * tileRows);
    }
  }

  void Bin(uint32_t entry, int x0, int y0, int x1, int y1) {  // inclusive pixel bounds
    const int tx1 = std::min(x1 >> kTileShift, tileColumns - 1);
    const int ty1 = std::min(y1 >> kTileShift, tileRows - 1);
    for (int ty = y0 >> kTileShift; ty <= ty1; ++ty) {
      for (int tx = x0 >> kTileShift; tx <= tx1; ++tx) {
        bins[static_cast<size_t>(ty) * tileColumns + tx].push_back(entry);
      }
    }
  }

  // A triangle goes only to the tiles of its bounding box that can hold one of its pixel
  // centres: a tile is left out when some edge has every centre of the tile outside it.
  void BinTriangle(uint32_t entry, const Triangle& t, int x0, int y0, int x1, int y1) {
    if ((x0 >> kTileShift) == (x1 >> kTileShift) && (y0 >> kTileShift) == (y1 >> kTileShift)) {
      Bin(entry, x0, y0, x1, y1);
      return;
    }
    // Centre (X, Y) is inside edge i when E = dx (256 Y - y0) - dy (256 X - x0) >= t_i, with
    // t_i = 0 for top and left edges and 1 otherwise (see EdgeStepper).
    struct Edge {
      int64_t dx, dy, x0, y0, t;
      int64_t Most(int64_t xLow, int64_t xHigh, int64_t yLow, int64_t yHigh) const {
        const int64_t x = dy > 0 ? xLow : xHigh, y = dx > 0 ? yHigh : yLow;
        return dx * (y * kSubPixel - y0) - dy * (x * kSubPixel - x0) - t;
      }
    } edges[3];
    for (int i = 0; i < 3; ++i) {
      const int j = (i + 1) % 3;
      Edge& e = edges[i];
      e.dx = static_cast<int64_t>(t.x[j]) - t.x[i];
      e.dy = static_cast<int64_t>(t.y[j]) - t.y[i];
      e.x0 = t.x[i];
      e.y0 = t.y[i];
      e.t = (e.dy < 0 || (e.dy == 0 && e.dx > 0)) ? 0 : 1;
    }
    const int tx1 = std::min(x1 >> kTileShift, tileColumns - 1);
    const int ty1 = std::min(y1 >> kTileShift, tileRows - 1);
    for (int ty = y0 >> kTileShift; ty <= ty1; ++ty) {
      const int64_t yLow = std::max(ty << kTileShift, y0), yHigh = std::min(((ty + 1) << kTileShift) - 1, y1);
      for (int tx = x0 >> kTileShift; tx <= tx1; ++tx) {
        const int64_t xLow = std::max(tx << kTileShift, x0), xHigh = std::min(((tx + 1) << kTileShift) - 1, x1);
        bool reaches = true;
        for (const Edge& e : edges) reaches = reaches && e.Most(xLow, xHigh, yLow, yHigh) >= 0;
        if (reaches) bins[static_cast<size_t>(ty) * tileColumns + tx].push_back(entry);
      }
    }
  }

  void BinRange(size_t first, size_t end) {
    for (size_t i = first; i < end; ++i) {
      const Triangle& t = triangles[i];
      BinTriangle(static_cast<uint32_t>(i), t, t.xMin, t.yMin, t.xMax, t.yMax);
    }
  }

  // Pixels of one tile: [x0, x1) x [y0, y1).
  struct Tile {
    int x0, y0, x1, y1;
  };

  static void RunClear(const ClearCommand& c, const Tile& tile) {
    const int x0 = std::max(c.x0, tile.x0), x1 = std::min(c.x1, tile.x1);
    const int y0 = std::max(c.y0, tile.y0), y1 = std::min(c.y1, tile.y1);
    if (x0 >= x1) return;
    for (int y = y0; y < y1; ++y) {
      if (c.target != nullptr) ClearColourRow(c.target, y, x0, x1, c.colour);
      if (c.depth != nullptr) ClearDepthRow(c.depth, y, x0, x1, c.z);
    }
  }

  // The triangle's rows inside the tile. Each row's values are interpolated from the first
  // pixel the triangle covers in the clip rectangle, whichever tile that pixel is in, so a
  // pixel gets the same value however the screen is cut into tiles.
  void RunTriangle(uint32_t index, const Tile& tile, TileBatch* batch) const {
    const Triangle& t = triangles[index];
    const int yFirst = std::max(t.yMin, tile.y0), yLast = std::min(t.yMax, tile.y1 - 1);
    if (yFirst > yLast) return;
    const PixelState& ps = states[t.state];
    EdgeStepper e[3] = {t.edges[0], t.edges[1], t.edges[2]};
    if (yFirst > t.yMin) {
      for (auto& edge : e) edge.SkipRows(yFirst - t.yMin);
    }
    // The walk in locals, without branches: the left edges bound a row from below, the right
    // ones from above (a flat edge only decides which rows there are, see AddTriangle). Two
    // slots of each; a slot without an edge never binds.
    struct Walk {
      int64_t q, r, d, qStep, rStep;
      void Next() {
        q += qStep;
        r += rStep;
        const int64_t carry = r >= d ? 1 : 0;
        q += carry;
        r -= d & -carry;
      }
    };
    constexpr int64_t kFar = int64_t{1} << 40;  // beyond any pixel
    Walk left[2] = {{kFar, 0, INT64_MAX, 0, 0}, {kFar, 0, INT64_MAX, 0, 0}};
    Walk right[2] = {{kFar, 0, INT64_MAX, 0, 0}, {kFar, 0, INT64_MAX, 0, 0}};
    int lefts = 0, rights = 0;
    for (const EdgeStepper& edge : e) {
      if (edge.flat) continue;
      (edge.left ? left[lefts++] : right[rights++]) = Walk{edge.q, edge.r, edge.d, edge.qStep, edge.rStep};
    }
    const float* p = planes.data() + t.planes;
    SpanRow rows[kTileSize];
    int count = 0;
    const int64_t clipLo = std::max(ps.clipX0, tile.x0), clipHi = std::min(ps.clipX1, tile.x1) - 1;
    for (int y = yFirst; y <= yLast; ++y) {
      const int64_t lo = std::max({static_cast<int64_t>(ps.clipX0), -left[0].q, -left[1].q});
      const int64_t hi = std::min({clipHi, right[0].q, right[1].q});
      const int64_t x0 = std::max(lo, clipLo);
      if (x0 <= hi) {
        rows[count++] = SpanRow{y, static_cast<int>(lo), static_cast<int>(x0), static_cast<int>(hi + 1)};
      }
      left[0].Next();
      left[1].Next();
      right[0].Next();
      right[1].Next();
    }
    if (count == 0) return;
    if (ps.fast.deferred) {
      DepthRowsFast(ps, t, p, rows, count, batch);
      return;
    }
    Resolve(batch);
    if (ps.fast.applies) {
      ShadeRowsFast(ps, t, p, rows, count);
    } else {
      for (int i = 0; i < count; ++i) ShadeSpan(ps, t, p, rows[i]);
    }
  }

  // Shades what the tile's deferred draws left.
  void Resolve(TileBatch* batch) const {
    if (batch->Empty()) return;
    ShadeBatchFast(states.data(), batch);
  }

  void RunTile(int index, TileBatch* batch) const {
    const int tx = index % tileColumns, ty = index / tileColumns;
    const Tile tile{tx << kTileShift, ty << kTileShift, (tx + 1) << kTileShift, (ty + 1) << kTileShift};
    batch->x0 = tile.x0;
    batch->y0 = tile.y0;
    for (uint32_t entry : bins[static_cast<size_t>(index)]) {
      if (entry & kClearBit) {
        Resolve(batch);
        RunClear(clears[entry & ~kClearBit], tile);
      } else {
        RunTriangle(entry, tile, batch);
      }
    }
    Resolve(batch);
  }

  // The tiles are cut into one band per thread. Every thread takes the next untaken tile of
  // its own band, then of the others' bands, until none is left; a tile is drawn by one thread
  // from the start of its bin to the end, so the order of writes to each pixel is the queue's
  // order. A thread mostly gets the same tiles frame after frame, and finds their pixels still
  // in its own caches instead of the other core's.
  void TakeTiles(unsigned thread) {
    const int count = tileColumns * tileRows;
    for (unsigned k = 0; k < threadCount; ++k) {
      const unsigned band = (thread + k) % threadCount;
      const int end = BandStart(band + 1, count);
      std::atomic<int>& next = bands[band].next;
      for (int i = next.fetch_add(1, std::memory_order_relaxed); i < end; i = next.fetch_add(1, std::memory_order_relaxed)) {
        if (!bins[static_cast<size_t>(i)].empty()) RunTile(i, batches[thread].get());
      }
    }
  }

  int BandStart(unsigned band, int count) const {
    return static_cast<int>(static_cast<int64_t>(count) * band / threadCount);
  }

  void WorkerLoop(unsigned thread) {
    uint64_t seen = 0;
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mutex);
        wake.wait(lock, [&] { return stopping || generation != seen; });
        if (stopping) return;
        seen = generation;
      }
      (*job)(thread);
      {
        std::lock_guard<std::mutex> lock(mutex);
        --pending;
      }
      done.notify_one();
    }
  }

  // Runs work(thread) on every thread, the calling one as thread 0, and returns when all
  // are done.
  void OnEveryThread(const std::function<void(unsigned)>& work) {
    if (threadCount == 1) {
      work(0);
      return;
    }
    if (workers.empty()) {
      for (unsigned i = 1; i < threadCount; ++i) workers.emplace_back([this, i] { WorkerLoop(i); });
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      job = &work;
      ++generation;
      pending = threadCount - 1;
    }
    wake.notify_all();
    work(0);
    std::unique_lock<std::mutex> lock(mutex);
    done.wait(lock, [&] { return pending == 0; });
  }

  // Draws what is queued and lets go of the surfaces and textures held for it (also when
  // every triangle was culled and nothing is queued).
  void Run() {
    if (!Empty()) {
      const int count = tileColumns * tileRows;
      for (unsigned band = 0; band < threadCount; ++band) bands[band].next.store(BandStart(band, count), std::memory_order_relaxed);
      OnEveryThread([this](unsigned thread) { TakeTiles(thread); });
    }
    for (auto& bin : bins) bin.clear();
    clears.clear();
    triangles.clear();
    planes.clear();
    states.clear();
    drawing = false;
    gridTarget = gridDepth = nullptr;
    for (IDirect3DUnknown8* object : held) object->Release();
    held.clear();
  }
};

Rasterizer::Rasterizer(unsigned threadCount) : impl_(std::make_unique<Impl>()) {
  if (threadCount == 0) {
    threadCount = std::thread::hardware_concurrency();
    if (threadCount == 0) threadCount = 1;
    if (threadCount > 4) threadCount = 4;
  }
  impl_->threadCount = threadCount;
  impl_->bands = std::make_unique<Impl::Band[]>(threadCount);
  for (unsigned i = 0; i < threadCount; ++i) impl_->batches.push_back(std::make_unique<TileBatch>());
}

Rasterizer::~Rasterizer() { impl_->Run(); }

unsigned Rasterizer::ThreadCount() const { return impl_->threadCount; }

bool Rasterizer::Idle() const { return impl_->Empty(); }

void Rasterizer::Finish() { impl_->Run(); }

void Rasterizer::Clear(IDirect3DSurface8* target, IDirect3DSurface8* depth, int x0, int y0,
                       int x1, int y1, DWORD flags, D3DCOLOR color, float z) {
  Impl& m = *impl_;
  Impl::ClearCommand c{};
  c.target = (flags & D3DCLEAR_TARGET) ? target : nullptr;
  c.depth = (flags & D3DCLEAR_ZBUFFER) ? depth : nullptr;
  // Never outside either surface.
  for (IDirect3DSurface8* s : {c.target, c.depth}) {
    if (s == nullptr) continue;
    x1 = std::min(x1, static_cast<int>(s->width_));
    y1 = std::min(y1, static_cast<int>(s->height_));
  }
  c.x0 = std::max(x0, 0);
  c.y0 = std::max(y0, 0);
  c.x1 = x1;
  c.y1 = y1;
  if (c.x0 >= c.x1 || c.y0 >= c.y1) return;
  c.colour = color;
  c.z = z;
  m.UseSurfaces(c.target, c.depth);
  m.Hold(c.target);
  m.Hold(c.depth);
  m.drawing = false;
  m.clears.push_back(c);
  m.Bin(static_cast<uint32_t>(m.clears.size() - 1) | Impl::kClearBit, c.x0, c.y0, c.x1 - 1, c.y1 - 1);
}

void Rasterizer::BeginDraw(const PixelState& state) {
  Impl& m = *impl_;
  if (m.triangles.size() >= kQueueLimit) m.Run();
  m.UseSurfaces(state.target, state.depth);
  m.states.push_back(state);
  m.Hold(state.target);
  m.Hold(state.depth);
  for (int s = 0; s < state.stageCount; ++s) {
    const StageSetup& st = state.stages[s];
    if (!st.hasTexture) continue;
    if (st.cube != nullptr) {
      m.Hold(st.cube);
    } else {
      m.Hold(st.levels[0]);  // a level's count is its texture's
    }
  }
  m.drawing = true;
}

namespace {

// Sets up a triangle of a draw with pixel state ps: snapped clockwise vertices, rows, edges,
// planes (3 * (1 + ps.varyingCount) floats at `planes`, with offset 0). False when it is
// culled or covers no pixel centre. Reads nothing but its arguments, so any thread may call it.
bool SetUp(const PixelState& ps, const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
           CullRule cull, Triangle* triangle, float* planes) {
  Triangle& t = *triangle;
  const ScreenVertex* v[3] = {&a, &b, &c};
  for (int i = 0; i < 3; ++i) {
    if (!(std::fabs(v[i]->x) < kMaxScreen && std::fabs(v[i]->y) < kMaxScreen)) return false;
  }
  // Round half to even: the conversion rounds as the default rounding mode says, and nothing
  // here changes it. Snapped into locals first: the area below reads them back at once.
  auto snap = [](float f) { return static_cast<int32_t>(_mm_cvtss_si32(_mm_set_ss(f * kSubPixel))); };
  const int32_t sx[3] = {snap(a.x), snap(b.x), snap(c.x)}, sy[3] = {snap(a.y), snap(b.y), snap(c.y)};
  for (int i = 0; i < 3; ++i) {
    t.x[i] = sx[i];
    t.y[i] = sy[i];
  }
  int64_t area = (static_cast<int64_t>(sx[1]) - sx[0]) * (static_cast<int64_t>(sy[2]) - sy[0]) -
                 (static_cast<int64_t>(sx[2]) - sx[0]) * (static_cast<int64_t>(sy[1]) - sy[0]);
  if (area == 0) return false;
  if (cull == CullRule::kKeepClockwise && area < 0) return false;
  if (cull == CullRule::kKeepCounterClockwise && area > 0) return false;
  if (area < 0) {  // walk clockwise
    std::swap(t.x[1], t.x[2]);
    std::swap(t.y[1], t.y[2]);
    std::swap(v[1], v[2]);
    area = -area;
  }
  int32_t minY = std::min({t.y[0], t.y[1], t.y[2]}), maxY = std::max({t.y[0], t.y[1], t.y[2]});
  int32_t minX = std::min({t.x[0], t.x[1], t.x[2]}), maxX = std::max({t.x[0], t.x[1], t.x[2]});
  // Rows and columns whose centres can be inside, within the clip rectangle.
  // Shifting right divides by kSubPixel rounding down, also below zero.
  t.yMin = std::max((minY + kSubPixel - 1) >> kSubPixelBits, ps.clipY0);
  t.yMax = std::min(maxY >> kSubPixelBits, ps.clipY1 - 1);
  t.xMin = std::max((minX + kSubPixel - 1) >> kSubPixelBits, ps.clipX0);
  t.xMax = std::min(maxX >> kSubPixelBits, ps.clipX1 - 1);
  for (int i = 0; i < 3; ++i) {
    const int j = (i + 1) % 3;
    t.edges[i].Init(t.x[i], t.y[i], t.x[j], t.y[j], t.yMin);
    // A flat edge lies along the top or the bottom: a top one (left to right, the rule's
    // "top" edge) keeps its own row, a bottom one leaves it out, and it decides no other row.
    if (t.edges[i].flat && t.x[j] < t.x[i] && maxY % kSubPixel == 0 && t.yMax == maxY / kSubPixel) --t.yMax;
  }
  if (t.yMin > t.yMax || t.xMin > t.xMax) return false;
  // Plane equations from the snapped positions: value(x, y) = at0 + ddx (x - x0) + ddy (y - y0).
  const double x0 = t.x[0] / double(kSubPixel), y0 = t.y[0] / double(kSubPixel);
  const double dx1 = t.x[1] / double(kSubPixel) - x0, dy1 = t.y[1] / double(kSubPixel) - y0;
  const double dx2 = t.x[2] / double(kSubPixel) - x0, dy2 = t.y[2] / double(kSubPixel) - y0;
  const double inv = 1.0 / (dx1 * dy2 - dx2 * dy1);
  t.refX = static_cast<float>(x0);
  t.refY = static_cast<float>(y0);
  auto gradients = [&](double a0, double a1, double a2, double* ddx, double* ddy) {
    *ddx = ((a1 - a0) * dy2 - (a2 - a0) * dy1) * inv;
    *ddy = ((a2 - a0) * dx1 - (a1 - a0) * dx2) * inv;
  };
  t.z0 = v[0]->z;
  gradients(v[0]->z, v[1]->z, v[2]->z, &t.zdx, &t.zdy);
  t.affine = v[0]->q == v[1]->q && v[0]->q == v[2]->q;
  t.wConst = t.affine ? 1.0f / static_cast<float>(v[0]->q) : 0.0f;
  const int n = ps.varyingCount;
  float* out = planes;
  auto plane = [&](double a0, double a1, double a2) {
    double ddx, ddy;
    gradients(a0, a1, a2, &ddx, &ddy);
    out[0] = static_cast<float>(a0);
    out[1] = static_cast<float>(ddx);
    out[2] = static_cast<float>(ddy);
    out += 3;
  };
  t.flatColour = true;
  for (int i = 0; i < kFirstTexSlot; ++i) {
    t.colour[i] = v[0]->var[i];
    if (v[1]->var[i] != v[0]->var[i] || v[2]->var[i] != v[0]->var[i]) t.flatColour = false;
  }
  t.flags = (t.affine ? kAffine : 0) | (t.flatColour ? kFlatColour : 0);
  t.flatDiffuse = (static_cast<uint32_t>(ToByte(t.colour[3])) << 24) |
                  (static_cast<uint32_t>(ToByte(t.colour[0])) << 16) |
                  (static_cast<uint32_t>(ToByte(t.colour[1])) << 8) | static_cast<uint32_t>(ToByte(t.colour[2]));
  // Planes that are never read stay zero: the colours of a flat triangle (its colour is kept
  // whole above), a specular colour nothing uses, coordinates past a stage's own.
  plane(v[0]->q, v[1]->q, v[2]->q);
  auto varying = [&](int i) {
    out = planes + 3 * (1 + i);
    plane(double(v[0]->var[i]) * v[0]->q, double(v[1]->var[i]) * v[1]->q, double(v[2]->var[i]) * v[2]->q);
  };
  if (!t.flatColour) {
    const int colours = ps.usesSpecular ? kFirstTexSlot : kSpecularSlot;
    for (int i = 0; i < colours && i < n; ++i) varying(i);
  }
  for (int slot = kFirstTexSlot; slot < n; slot += 4) {
    for (int i = slot; i < slot + 3 && i < n; ++i) varying(i);  // up to three coordinates per stage
  }
  return true;
}

}  // namespace

namespace {

size_t PlanesPerTriangle(const PixelState& ps) { return 3 * static_cast<size_t>(1 + ps.varyingCount); }

}  // namespace

bool Rasterizer::SetUpTriangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                               CullRule cull, SetUpTriangles* out) const {
  const Impl& m = *impl_;
  if (!m.drawing) return false;
  const PixelState& ps = m.states.back();
  const size_t planeCount = PlanesPerTriangle(ps);
  const uint32_t state = static_cast<uint32_t>(m.states.size() - 1);
  // Into the window while it has room (the plane offset is then the queue's own), else
  // appended to the lists.
  SetUpTriangles::Window& w = out->window;
  const bool inWindow = w.used < w.capacity;
  Triangle* t;
  float* planes;
  size_t offset;
  if (inWindow) {
    t = w.triangles + w.used;
    planes = w.planes + w.used * planeCount;
    offset = w.planesAt + w.used * planeCount;
  } else {
    offset = out->planes.size();
    out->planes.resize(offset + planeCount);
    out->triangles.emplace_back();
    t = &out->triangles.back();
    planes = out->planes.data() + offset;
  }
  std::fill_n(planes, planeCount, 0.0f);  // planes the triangle does not use stay zero (see SetUp)
  if (!SetUp(ps, a, b, c, cull, t, planes)) {
    if (!inWindow) {
      out->triangles.pop_back();
      out->planes.resize(offset);
    }
    return false;
  }
  t->state = state;
  t->planes = static_cast<uint32_t>(offset);
  if (inWindow) ++w.used;
  return true;
}

SetUpTriangles* Rasterizer::Queued() { return &impl_->queued; }

void Rasterizer::BinQueued(size_t first) {
  Impl& m = *impl_;
  m.BinRange(first, m.triangles.size());
}

void Rasterizer::OpenWindows(SetUpTriangles* sets, const size_t* capacity, int count) {
  Impl& m = *impl_;
  const size_t planeCount = m.drawing ? PlanesPerTriangle(m.states.back()) : 0;
  size_t end = m.triangles.size();
  for (int i = 0; i < count; ++i) {
    SetUpTriangles::Window& w = sets[i].window;
    w.first = end;
    w.capacity = m.drawing ? capacity[i] : 0;
    w.used = 0;
    w.planesAt = m.planes.size() + (w.first - m.triangles.size()) * planeCount;
    end += w.capacity;
  }
  // Room without zero-filling it; what a window leaves unused is never binned or read.
  m.planes.resize(m.planes.size() + (end - m.triangles.size()) * planeCount);
  m.triangles.resize(end);
  for (int i = 0; i < count; ++i) {
    SetUpTriangles::Window& w = sets[i].window;
    w.triangles = m.triangles.data() + w.first;
    w.planes = m.planes.data() + w.planesAt;
  }
}

void Rasterizer::AddTriangles(SetUpTriangles* sets, int count) {
  Impl& m = *impl_;
  // Each set's window is already in place; what did not fit is copied after the windows.
  // The bins take each set's window, then its copied rest, so the queue order is the sets'.
  for (int i = 0; i < count; ++i) {
    SetUpTriangles& set = sets[i];
    const SetUpTriangles::Window w = set.window;
    set.window = {};
    m.BinRange(w.first, w.first + w.used);
    if (set.triangles.empty()) continue;
    const size_t triangleAt = m.triangles.size(), planeAt = m.planes.size();
    m.triangles.insert(m.triangles.end(), set.triangles.begin(), set.triangles.end());
    m.planes.insert(m.planes.end(), set.planes.begin(), set.planes.end());
    for (size_t k = triangleAt; k < m.triangles.size(); ++k) m.triangles[k].planes += static_cast<uint32_t>(planeAt);
    m.BinRange(triangleAt, m.triangles.size());
  }
}

bool Rasterizer::AddTriangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                             CullRule cull) {
  const size_t first = impl_->triangles.size();
  if (!SetUpTriangle(a, b, c, cull, Queued())) return false;
  BinQueued(first);
  return true;
}

void Rasterizer::ParallelFor(int count, const std::function<void(int)>& work) {
  Impl& m = *impl_;
  if (count <= 1 || m.threadCount == 1) {
    for (int i = 0; i < count; ++i) work(i);
    return;
  }
  std::atomic<int> next{0};
  m.OnEveryThread([&](unsigned) {
    for (int i = next.fetch_add(1, std::memory_order_relaxed); i < count; i = next.fetch_add(1, std::memory_order_relaxed)) {
      work(i);
    }
  });
}

}  // namespace zelk4::d3d8
