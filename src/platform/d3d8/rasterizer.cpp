// The draw queue, triangle setup and the row walk. See rasterizer.h for the fixed rules.
//
// Row walk: for each edge the pixel centres X with E(X, Y) >= t lie on one side of
// X = floor((b(Y) - t) / d) (d = 256 |dy|, b the edge function's part that does not depend on
// X, t = 0 for top and left edges and 1 otherwise, so a centre exactly on a right or bottom
// edge is left out). floor((b - t) / d) is stepped row to row exactly with a quotient and a
// remainder, so no division is made per row.
#include "platform/d3d8/rasterizer.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/d3d8/fast_span.h"
#include "platform/d3d8/shade_span.h"
#include "platform/d3d8/triangle.h"

namespace d3d8 {
namespace {

constexpr int kBandShift = 4;  // rows are dealt to threads in bands of 16
constexpr size_t kQueueLimit = 1 << 16;  // triangles queued before the queue is run
constexpr float kMaxScreen = 1 << 20;   // snapped positions stay well inside 32-bit 24.8

// floor(n / d) for d > 0 and |n|, d below 2^50. The quotient in double is within one of the
// true one; the integer checks make it exact (cheaper than a 64-bit division).
int64_t FloorDiv(int64_t n, int64_t d) {
  int64_t q = static_cast<int64_t>(std::floor(static_cast<double>(n) / static_cast<double>(d)));
  if (q * d > n) --q;
  if ((q + 1) * d <= n) ++q;
  return q;
}

// floor((b(Y) - t) / d) for consecutive rows.
struct EdgeStepper {
  int64_t q, r, d, qStep, rStep;
  bool left;      // bounds X from below (X >= -q) rather than from above (X <= q)
  bool flat;      // horizontal: a whole row is in or out, by the sign of n = b - t

  void Init(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int row) {
    int64_t dx = static_cast<int64_t>(x1) - x0, dy = static_cast<int64_t>(y1) - y0;
    bool topLeft = dy < 0 || (dy == 0 && dx > 0);
    int64_t t = topLeft ? 0 : 1;
    int64_t b = dx * (static_cast<int64_t>(row) * kSubPixel - y0) + dy * x0;
    flat = dy == 0;
    int64_t n = b - t;
    if (flat) {
      q = n;
      qStep = dx * kSubPixel;
      return;
    }
    left = dy < 0;
    d = (dy < 0 ? -dy : dy) * kSubPixel;
    q = FloorDiv(n, d);
    r = n - q * d;
    int64_t inc = dx * kSubPixel;
    qStep = FloorDiv(inc, d);
    rStep = inc - qStep * d;
  }

  bool RowInside() const { return !flat || q >= 0; }

  // k rows on at once: the same q and r as k calls of NextRow.
  void SkipRows(int64_t k) {
    q += k * qStep;
    if (flat) return;
    const int64_t carried = r + k * rStep;  // below (k + 1) d
    const int64_t whole = carried / d;
    q += whole;
    r = carried - whole * d;
  }

  void NextRow() {
    q += qStep;
    if (flat) return;
    r += rStep;
    if (r >= d) {
      ++q;
      r -= d;
    }
  }
};

}  // namespace

struct Rasterizer::Impl {
  enum class Kind { kClear, kTriangles };
  struct Command {
    Kind kind;
    uint32_t state = 0;
    size_t first = 0, count = 0;  // triangles
    IDirect3DSurface8* target = nullptr;
    IDirect3DSurface8* depth = nullptr;
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    D3DCOLOR colour = 0;
    float z = 0;
  };

  unsigned threadCount = 1;
  std::vector<PixelState> states;
  std::vector<Triangle> triangles;
  std::vector<float> planes;
  std::vector<Command> commands;
  std::vector<IDirect3DUnknown8*> held;  // references kept until the queue has run

  std::vector<std::thread> workers;
  std::mutex mutex;
  std::condition_variable wake, done;
  uint64_t generation = 0;
  unsigned pending = 0;
  bool stopping = false;

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

  bool OwnsRow(unsigned share, int y) const {
    return threadCount == 1 || static_cast<unsigned>(y >> kBandShift) % threadCount == share;
  }

  void RunClear(const Command& c, unsigned share) {
    for (int y = c.y0; y < c.y1; ++y) {
      if (!OwnsRow(share, y)) continue;
      if (c.target != nullptr) ClearColourRow(c.target, y, c.x0, c.x1, c.colour);
      if (c.depth != nullptr) ClearDepthRow(c.depth, y, c.x0, c.x1, c.z);
    }
  }

  // Whether any of rows y0..y1 is this share's.
  bool OwnsAnyRow(unsigned share, int y0, int y1) const {
    if (threadCount == 1) return true;
    const int firstBand = y0 >> kBandShift, lastBand = y1 >> kBandShift;
    if (lastBand - firstBand + 1 >= static_cast<int>(threadCount)) return true;
    for (int band = firstBand; band <= lastBand; ++band) {
      if (static_cast<unsigned>(band) % threadCount == share) return true;
    }
    return false;
  }

  void RunTriangle(const Triangle& t, unsigned share) {
    if (!OwnsAnyRow(share, t.yMin, t.yMax)) return;  // small triangles in other threads' bands
    const PixelState& ps = states[t.state];
    EdgeStepper e[3];
    for (int i = 0; i < 3; ++i) {
      int j = (i + 1) % 3;
      e[i].Init(t.x[i], t.y[i], t.x[j], t.y[j], t.yMin);
    }
    const float* p = planes.data() + t.planes;
    for (int y = t.yMin; y <= t.yMax; ++y) {
      if (!OwnsRow(share, y)) {
        // On to the next band, which is another thread's only when there are more than two.
        const int next = std::min(((y >> kBandShift) + 1) << kBandShift, t.yMax + 1);
        for (auto& edge : e) edge.SkipRows(next - y);
        y = next - 1;
        continue;
      }
      if (e[0].RowInside() && e[1].RowInside() && e[2].RowInside()) {
        int64_t lo = ps.clipX0, hi = static_cast<int64_t>(ps.clipX1) - 1;
        for (int i = 0; i < 3; ++i) {
          if (e[i].flat) continue;
          if (e[i].left) {
            lo = std::max(lo, -e[i].q);
          } else {
            hi = std::min(hi, e[i].q);
          }
        }
        if (lo <= hi) {
          if (ps.fast.applies) {
            ShadeSpanFast(ps, t, p, y, static_cast<int>(lo), static_cast<int>(hi) + 1);
          } else {
            ShadeSpan(ps, t, p, y, static_cast<int>(lo), static_cast<int>(hi) + 1);
          }
        }
      }
      for (auto& edge : e) edge.NextRow();
    }
  }

  void RunShare(unsigned share) {
    for (const Command& c : commands) {
      if (c.kind == Kind::kClear) {
        RunClear(c, share);
      } else {
        for (size_t i = 0; i < c.count; ++i) RunTriangle(triangles[c.first + i], share);
      }
    }
  }

  void WorkerLoop(unsigned share) {
    uint64_t seen = 0;
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mutex);
        wake.wait(lock, [&] { return stopping || generation != seen; });
        if (stopping) return;
        seen = generation;
      }
      RunShare(share);
      {
        std::lock_guard<std::mutex> lock(mutex);
        --pending;
      }
      done.notify_one();
    }
  }

  void Run() {
    if (commands.empty()) return;
    if (threadCount > 1) {
      if (workers.empty()) {
        for (unsigned share = 1; share < threadCount; ++share) {
          workers.emplace_back([this, share] { WorkerLoop(share); });
        }
      }
      {
        std::lock_guard<std::mutex> lock(mutex);
        ++generation;
        pending = threadCount - 1;
      }
      wake.notify_all();
      RunShare(0);
      std::unique_lock<std::mutex> lock(mutex);
      done.wait(lock, [&] { return pending == 0; });
    } else {
      RunShare(0);
    }
    commands.clear();
    triangles.clear();
    planes.clear();
    states.clear();
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
}

Rasterizer::~Rasterizer() { impl_->Run(); }

unsigned Rasterizer::ThreadCount() const { return impl_->threadCount; }

bool Rasterizer::Idle() const { return impl_->commands.empty(); }

void Rasterizer::Finish() { impl_->Run(); }

void Rasterizer::Clear(IDirect3DSurface8* target, IDirect3DSurface8* depth, int x0, int y0,
                       int x1, int y1, DWORD flags, D3DCOLOR color, float z) {
  Impl::Command c{};
  c.kind = Impl::Kind::kClear;
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
  impl_->Hold(c.target);
  impl_->Hold(c.depth);
  impl_->commands.push_back(c);
}

void Rasterizer::BeginDraw(const PixelState& state) {
  Impl& m = *impl_;
  if (m.triangles.size() >= kQueueLimit) m.Run();
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
  Impl::Command c{};
  c.kind = Impl::Kind::kTriangles;
  c.state = static_cast<uint32_t>(m.states.size() - 1);
  c.first = m.triangles.size();
  m.commands.push_back(c);
}

bool Rasterizer::AddTriangle(const ScreenVertex& a, const ScreenVertex& b, const ScreenVertex& c,
                             CullRule cull) {
  Impl& m = *impl_;
  if (m.commands.empty() || m.commands.back().kind != Impl::Kind::kTriangles) return false;
  const PixelState& ps = m.states[m.commands.back().state];
  const ScreenVertex* v[3] = {&a, &b, &c};
  Triangle t;
  for (int i = 0; i < 3; ++i) {
    if (!(std::fabs(v[i]->x) < kMaxScreen && std::fabs(v[i]->y) < kMaxScreen)) return false;
    // Round half to even (the default rounding mode; nothing here changes it).
    t.x[i] = static_cast<int32_t>(std::nearbyint(v[i]->x * kSubPixel));
    t.y[i] = static_cast<int32_t>(std::nearbyint(v[i]->y * kSubPixel));
  }
  int64_t area = (static_cast<int64_t>(t.x[1]) - t.x[0]) * (static_cast<int64_t>(t.y[2]) - t.y[0]) -
                 (static_cast<int64_t>(t.x[2]) - t.x[0]) * (static_cast<int64_t>(t.y[1]) - t.y[0]);
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
  t.yMin = std::max(static_cast<int>(FloorDiv(minY + kSubPixel - 1, kSubPixel)), ps.clipY0);
  t.yMax = std::min(static_cast<int>(FloorDiv(maxY, kSubPixel)), ps.clipY1 - 1);
  int xMin = std::max(static_cast<int>(FloorDiv(minX + kSubPixel - 1, kSubPixel)), ps.clipX0);
  int xMax = std::min(static_cast<int>(FloorDiv(maxX, kSubPixel)), ps.clipX1 - 1);
  if (t.yMin > t.yMax || xMin > xMax) return false;

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
  t.state = m.commands.back().state;
  t.planes = static_cast<uint32_t>(m.planes.size());
  t.affine = v[0]->q == v[1]->q && v[0]->q == v[2]->q;
  const int n = ps.varyingCount;
  m.planes.resize(m.planes.size() + 3 * static_cast<size_t>(1 + n));
  float* out = m.planes.data() + t.planes;
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
  // Planes that are never read stay zero: the colours of a flat triangle (its colour is kept
  // whole above), a specular colour nothing uses, coordinates past a stage's own.
  plane(v[0]->q, v[1]->q, v[2]->q);
  for (int i = 0; i < n; ++i) {
    bool needed;
    if (i < kSpecularSlot) {
      needed = !t.flatColour;
    } else if (i < kFirstTexSlot) {
      needed = !t.flatColour && ps.usesSpecular;
    } else {
      needed = (i - kFirstTexSlot) % 4 < 3;  // up to three coordinates per stage
    }
    if (!needed) {
      out += 3;
      continue;
    }
    plane(double(v[0]->var[i]) * v[0]->q, double(v[1]->var[i]) * v[1]->q,
          double(v[2]->var[i]) * v[2]->q);
  }
  m.triangles.push_back(t);
  ++m.commands.back().count;
  return true;
}

}  // namespace d3d8
