// The demo's scene: a small round car on a grid floor, ringed by stone pillars, with a chrome
// ring and floating crystals. The car's parts burst apart and fly back into place over frames 0
// to 50 (frame 0 and frame 50 are the same resting pose, so a replay that holds or wraps at 50
// rests there); six cameras circle, dolly and zoom over a 600-frame loop.
#include <cmath>

#include "kit/kit.h"

namespace zelk4::kit {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr uint32_t kLoopFrames = 600;

Vec3 Add(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 Sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Mul(Vec3 a, double k) { return {float(a.x * k), float(a.y * k), float(a.z * k)}; }
double Dot(Vec3 a, Vec3 b) { return double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z; }
Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3 Normalised(Vec3 a) {
  const double n = std::sqrt(Dot(a, a));
  return n > 0 ? Mul(a, 1.0 / n) : Vec3{0, 0, 1};
}

// Faces get their own three points so each can carry its light in u (see art.h).
class MeshBuilder {
 public:
  explicit MeshBuilder(std::string name, std::string material, Vec3 origin) {
    mesh_.name = std::move(name);
    mesh_.material = std::move(material);
    mesh_.origin = origin;
  }

  // A lit triangle; `inside` is a point behind the face, which fixes the outward side. v runs
  // along the material's pattern, 0 at the bottom.
  void Tri(Vec3 a, Vec3 b, Vec3 c, float va, float vb, float vc, Vec3 inside) {
    Vec3 n = Cross(Sub(b, a), Sub(c, a));
    if (Dot(n, n) < 1e-14) return;  // degenerate (a collapsed pole)
    const Vec3 centre = Mul(Add(Add(a, b), c), 1.0 / 3.0);
    if (Dot(n, Sub(centre, inside)) < 0) {
      std::swap(b, c);
      std::swap(vb, vc);
      n = Mul(n, -1);
    }
    const double facing = 0.5 + 0.5 * Dot(Normalised(n), Light());
    const float u = float(0.02 + 0.96 * std::pow(facing, 1.3));
    Emit(a, {u, Clamp(va)});
    Emit(b, {u, Clamp(vb)});
    Emit(c, {u, Clamp(vc)});
  }

  void Quad(Vec3 a, Vec3 b, Vec3 c, Vec3 d, float va, float vb, float vc, float vd, Vec3 inside) {
    Tri(a, b, c, va, vb, vc, inside);
    Tri(a, c, d, va, vc, vd, inside);
  }

  // An unlit triangle with mapping coordinates of its own (the floor).
  void Mapped(Vec3 a, Vec3 b, Vec3 c, std::array<float, 2> ta, std::array<float, 2> tb, std::array<float, 2> tc) {
    Emit(a, ta);
    Emit(b, tb);
    Emit(c, tc);
  }

  TdsMesh Take() { return std::move(mesh_); }

 private:
  static Vec3 Light() { return Normalised({-0.45f, -0.55f, 0.7f}); }
  static float Clamp(float v) { return std::clamp(v, 0.02f, 0.98f); }
  void Emit(Vec3 p, std::array<float, 2> uv) {
    const auto i = static_cast<uint16_t>(mesh_.points.size());
    mesh_.points.push_back(p);
    mesh_.uv.push_back(uv);
    if (i % 3 == 2) mesh_.faces.push_back({uint16_t(i - 2), uint16_t(i - 1), i, 7});
  }
  TdsMesh mesh_;
};

// ---- car body: a loft of rounded cross-sections along x (the nose points to +x) ----

struct Section {
  double w, zb, zt;
};

Section BodySection(double x) {
  const double t = std::clamp(x / 2.1, -1.0, 1.0);
  const double w = 0.85 * std::pow(std::max(0.0, 1 - std::pow(std::abs(t), 4.0)), 0.25);
  const double zb = 0.32 + 0.12 * t * t;
  const double roof = std::max(0.0, 1 - std::pow((x + 0.2) / 1.85, 2.0));
  const double zt = 0.8 + 0.98 * std::pow(roof, 0.62);
  return {w, zb, zt};
}

Vec3 BodyPoint(double x, double theta, double grow) {
  const Section s = BodySection(x);
  const double c = std::cos(theta), sn = std::sin(theta);
  const double e = 2.0 / 3.0;  // superellipse exponent: boxy but round
  const double y = s.w * (c < 0 ? -1 : 1) * std::pow(std::abs(c), e) * (1 - 0.22 * std::max(0.0, sn));
  const double zc = (s.zb + s.zt) / 2, h = (s.zt - s.zb) / 2;
  const double z = zc + h * (sn < 0 ? -1 : 1) * std::pow(std::abs(sn), e);
  return {float(x), float(y * grow), float(zc + (z - zc) * grow)};
}

float BodyV(const Vec3& p) { return float((p.z - 0.3) / 1.5); }

constexpr int kSlices = 28, kAround = 24;
double SliceX(int i) { return -2.1 + 4.2 * i / kSlices; }
double AroundTheta(int j) { return 2 * kPi * j / kAround; }

bool IsWindow(const Vec3& p) { return p.z > 1.12 && p.z < 1.7 && p.x > -1.4 && p.x < 0.95; }

void BuildBody(MeshBuilder& body, MeshBuilder& glass) {
  for (int i = 0; i < kSlices; ++i) {
    for (int j = 0; j < kAround; ++j) {
      const double x0 = SliceX(i), x1 = SliceX(i + 1);
      const double t0 = AroundTheta(j), t1 = AroundTheta(j + 1);
      Vec3 q[4] = {BodyPoint(x0, t0, 1), BodyPoint(x1, t0, 1), BodyPoint(x1, t1, 1), BodyPoint(x0, t1, 1)};
      const double xm = (x0 + x1) / 2;
      const Section s = BodySection(xm);
      const Vec3 inside{float(xm), 0, float((s.zb + s.zt) / 2)};
      const bool window = IsWindow(q[0]) && IsWindow(q[1]) && IsWindow(q[2]) && IsWindow(q[3]);
      if (window) {
        for (int k = 0; k < 4; ++k) q[k] = BodyPoint(k == 0 || k == 3 ? x0 : x1, k < 2 ? t0 : t1, 1.012);
        glass.Quad(q[0], q[1], q[2], q[3], BodyV(q[0]), BodyV(q[1]), BodyV(q[2]), BodyV(q[3]), inside);
      } else {
        body.Quad(q[0], q[1], q[2], q[3], BodyV(q[0]), BodyV(q[1]), BodyV(q[2]), BodyV(q[3]), inside);
      }
    }
  }
}

// ---- wheels: tyre (tread and both sidewalls) and a domed hub cap on the outer side ----

constexpr double kWheelRadius = 0.4, kRimRadius = 0.25, kWheelWidth = 0.3;
constexpr int kWheelSegments = 24;

Vec3 WheelPoint(Vec3 c, double radius, double angle, double dy) {
  return {float(c.x + radius * std::cos(angle)), float(c.y + dy), float(c.z + radius * std::sin(angle))};
}

void BuildTyre(MeshBuilder& m, Vec3 c) {
  const double hw = kWheelWidth / 2;
  for (int k = 0; k < kWheelSegments; ++k) {
    const double a0 = 2 * kPi * k / kWheelSegments, a1 = 2 * kPi * (k + 1) / kWheelSegments;
    const float v0 = float(k) / kWheelSegments, v1 = float(k + 1) / kWheelSegments;
    const Vec3 axle{c.x, c.y, c.z};
    m.Quad(WheelPoint(c, kWheelRadius, a0, -hw), WheelPoint(c, kWheelRadius, a1, -hw),
           WheelPoint(c, kWheelRadius, a1, hw), WheelPoint(c, kWheelRadius, a0, hw), v0, v1, v1, v0, axle);
    for (double side : {-hw, hw}) {
      const Vec3 behind{c.x, float(c.y - side), c.z};
      m.Quad(WheelPoint(c, kRimRadius, a0, side), WheelPoint(c, kWheelRadius, a0, side),
             WheelPoint(c, kWheelRadius, a1, side), WheelPoint(c, kRimRadius, a1, side), 0.5f, 0.5f, 0.5f, 0.5f,
             behind);
    }
  }
}

void BuildHubCap(MeshBuilder& m, Vec3 c, float outward) {
  const double hw = kWheelWidth / 2;
  const Vec3 tip{c.x, float(c.y + outward * (hw + 0.07)), c.z};
  const Vec3 behind{c.x, float(c.y - outward), c.z};
  for (int k = 0; k < kWheelSegments; ++k) {
    const double a0 = 2 * kPi * k / kWheelSegments, a1 = 2 * kPi * (k + 1) / kWheelSegments;
    const float v = (k / 3) % 2 ? 0.8f : 0.25f;  // spokes show the spin
    m.Tri(tip, WheelPoint(c, kRimRadius, a0, outward * hw), WheelPoint(c, kRimRadius, a1, outward * hw), v, v, v,
          behind);
  }
}

// ---- small solids ----

void BuildSphere(MeshBuilder& m, Vec3 c, double r, int rings, int segments) {
  auto at = [&](int i, int j) {
    const double th = kPi * i / rings - kPi / 2, ph = 2 * kPi * j / segments;
    return Vec3{float(c.x + r * std::cos(th) * std::cos(ph)), float(c.y + r * std::cos(th) * std::sin(ph)),
                float(c.z + r * std::sin(th))};
  };
  for (int i = 0; i < rings; ++i) {
    for (int j = 0; j < segments; ++j) {
      const float v0 = float(i) / rings, v1 = float(i + 1) / rings;
      m.Quad(at(i, j), at(i, j + 1), at(i + 1, j + 1), at(i + 1, j), v0, v0, v1, v1, c);
    }
  }
}

void BuildBox(MeshBuilder& m, Vec3 lo, Vec3 hi) {
  const Vec3 c = Mul(Add(lo, hi), 0.5);
  auto p = [&](int i) { return Vec3{i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z}; };
  const int faces[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
  for (const auto& f : faces) {
    const float v[4] = {p(f[0]).z > c.z ? 0.9f : 0.1f, p(f[1]).z > c.z ? 0.9f : 0.1f, p(f[2]).z > c.z ? 0.9f : 0.1f,
                        p(f[3]).z > c.z ? 0.9f : 0.1f};
    m.Quad(p(f[0]), p(f[1]), p(f[2]), p(f[3]), v[0], v[1], v[2], v[3], c);
  }
}

// A tapering four-sided pillar with a pyramid cap, standing on `base`.
void BuildPillar(MeshBuilder& m, Vec3 base, double width, double height, double turn) {
  auto corner = [&](int k, double half, double z) {
    const double a = turn + kPi / 4 + kPi / 2 * k;
    return Vec3{float(base.x + half * std::sqrt(2.0) * std::cos(a)), float(base.y + half * std::sqrt(2.0) * std::sin(a)),
                float(base.z + z)};
  };
  const Vec3 axis{base.x, base.y, float(base.z + height * 0.5)};
  const double top = height * 0.86;
  for (int k = 0; k < 4; ++k) {
    m.Quad(corner(k, width / 2, 0), corner(k + 1, width / 2, 0), corner(k + 1, width * 0.36, top),
           corner(k, width * 0.36, top), 0.02f, 0.02f, 0.86f, 0.86f, axis);
    const Vec3 apex{base.x, base.y, float(base.z + height)};
    m.Tri(corner(k, width * 0.36, top), corner(k + 1, width * 0.36, top), apex, 0.86f, 0.86f, 0.98f, axis);
  }
}

void BuildTorus(MeshBuilder& m, Vec3 c, double radius, double tube) {
  const int n = 32, t = 10;
  auto at = [&](int i, int j) {  // ring in the y-z plane, facing the car
    const double a = 2 * kPi * i / n, b = 2 * kPi * j / t;
    const double r = radius + tube * std::cos(b);
    return Vec3{float(c.x + tube * std::sin(b)), float(c.y + r * std::cos(a)), float(c.z + r * std::sin(a))};
  };
  for (int i = 0; i < n; ++i) {
    const double a = 2 * kPi * (i + 0.5) / n;
    const Vec3 spine{c.x, float(c.y + radius * std::cos(a)), float(c.z + radius * std::sin(a))};
    for (int j = 0; j < t; ++j) {
      const float v0 = float(j) / t, v1 = float(j + 1) / t;
      m.Quad(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1), v0, v0, v1, v1, spine);
    }
  }
}

void BuildOctahedron(MeshBuilder& m, Vec3 c, double r) {
  const Vec3 tips[6] = {{float(c.x + r), c.y, c.z}, {float(c.x - r), c.y, c.z}, {c.x, float(c.y + r), c.z},
                        {c.x, float(c.y - r), c.z}, {c.x, c.y, float(c.z + r * 1.5)}, {c.x, c.y, float(c.z - r * 1.5)}};
  const int ring[4] = {0, 2, 1, 3};
  for (int k = 0; k < 4; ++k) {
    const Vec3 a = tips[ring[k]], b = tips[ring[(k + 1) % 4]];
    m.Tri(a, b, tips[4], 0.5f, 0.5f, 0.98f, c);
    m.Tri(a, b, tips[5], 0.5f, 0.5f, 0.02f, c);
  }
}

void BuildFloor(MeshBuilder& m, double half, int cells) {
  auto p = [&](int i, int j) {
    return Vec3{float(-half + 2 * half * i / cells), float(-half + 2 * half * j / cells), 0.0f};
  };
  auto uv = [&](int i, int j) { return std::array<float, 2>{float(i) / cells, float(j) / cells}; };
  for (int i = 0; i < cells; ++i) {
    for (int j = 0; j < cells; ++j) {
      m.Mapped(p(i, j), p(i + 1, j), p(i + 1, j + 1), uv(i, j), uv(i + 1, j), uv(i + 1, j + 1));
      m.Mapped(p(i, j), p(i + 1, j + 1), p(i, j + 1), uv(i, j), uv(i + 1, j + 1), uv(i, j + 1));
    }
  }
}

// ---- keys ----

TdsKey Key(uint32_t frame, double a, double b = 0, double c = 0, double d = 0) {
  TdsKey k;
  k.frame = frame;
  k.values = {float(a), float(b), float(c), float(d)};
  return k;
}
TdsKey At(uint32_t frame, Vec3 p) { return Key(frame, p.x, p.y, p.z); }
// A scale key from its two horizontal factors and its vertical one. The demo's animation takes a
// node's vertical scale from the key's second value (and the second horizontal one from the
// third), so the key is written in that order.
TdsKey Scale(uint32_t frame, double x, double y, double up) { return Key(frame, x, up, y); }
TdsKey Turn(uint32_t frame, double degrees, Vec3 axis) {
  return Key(frame, degrees * kPi / 180.0, axis.x, axis.y, axis.z);
}

// A node that holds still: the engine shows it exactly where its points are.
TdsMeshNode Still(Vec3 at, int16_t parent = -1) {
  TdsMeshNode n;
  n.parent = parent;
  n.position = {At(0, at)};
  n.rotation = {Turn(0, 0, {0, 0, 1})};
  n.scale = {At(0, {1, 1, 1})};
  return n;
}

// Flies out along `away` and lands back, with a squash on landing.
TdsMeshNode Burst(Vec3 rest, Vec3 away, int16_t parent, uint32_t delay) {
  TdsMeshNode n;
  n.parent = parent;
  n.position = {At(0, rest), At(2 + delay, Add(rest, Mul(away, 0.7))), At(10 + delay, Add(rest, away)),
                At(24 + delay, Add(rest, Mul(away, 0.25))), At(32 + delay, Add(rest, Mul(away, -0.04))),
                At(40 + delay, rest), At(50, rest)};
  n.scale = {At(0, {1, 1, 1}), At(2 + delay, {0.5, 0.5, 0.5}), At(12 + delay, {1.1, 1.1, 1.1}),
             Scale(32 + delay, 1.06, 1.06, 0.9), At(40 + delay, {1, 1, 1}), At(50, {1, 1, 1})};
  return n;
}

TdsKey CamKey(uint32_t frame, Vec3 p) { return At(frame, p); }

struct CameraPath {
  const char* name;
  Vec3 (*eye)(double phi);
  Vec3 (*target)(double phi);
  double (*roll)(double phi);
  double (*fov)(double phi);
};

const CameraPath kCameras[] = {
    {"Orbit", [](double p) { return Vec3{float(7 * std::cos(p)), float(7 * std::sin(p)), float(2.2 + 0.6 * std::sin(2 * p))}; },
     [](double) { return Vec3{0, 0, 0.8f}; }, [](double) { return 0.0; },
     [](double p) { return 48 + 8 * std::sin(2 * p); }},
    {"LowFront", [](double p) { return Vec3{float(5.2 + 1.5 * std::sin(p)), float(2.5 * std::sin(2 * p)), 0.5f}; },
     [](double) { return Vec3{0, 0, 0.9f}; }, [](double p) { return 8 * std::sin(3 * p); },
     [](double p) { return 58 + 15 * std::sin(p); }},
    {"Spiral", [](double p) { return Vec3{float(5 * std::cos(-2 * p)), float(5 * std::sin(-2 * p)), 6.5f}; },
     [](double) { return Vec3{0, 0, 0.5f}; }, [](double p) { return 20 * std::sin(p); },
     [](double) { return 55.0; }},
    {"Dutch", [](double p) { return Vec3{float(2.5 * std::sin(p)), -4.4f, 1.2f}; },
     [](double p) { return Vec3{float(1.25 * std::sin(p)), 0, 0.9f}; }, [](double p) { return 18 + 5 * std::sin(2 * p); },
     [](double) { return 52.0; }},
    {"Tele", [](double p) { return Vec3{float(14 * std::cos(p + 1)), float(14 * std::sin(p + 1)), 5.5f}; },
     [](double) { return Vec3{0, 0, 0.9f}; }, [](double) { return 0.0; },
     [](double p) { return 22 + 4 * std::sin(3 * p); }},
    {"Wheel", [](double p) { return Vec3{float(2.5 + 0.4 * std::sin(p)), 2.3f, 0.55f}; },
     [](double) { return Vec3{1.35f, 0.86f, 0.42f}; }, [](double p) { return -6 * std::sin(2 * p); },
     [](double) { return 62.0; }},
};

TdsCamera BuildCamera(const CameraPath& path, bool splineFields) {
  TdsCamera c;
  c.name = path.name;
  c.eye = path.eye(0);
  c.target = path.target(0);
  c.roll = float(path.roll(0));
  c.fov = float(path.fov(0));
  for (uint32_t f = 0; f <= kLoopFrames; f += 20) {
    const double phi = 2 * kPi * f / kLoopFrames;
    c.position.push_back(CamKey(f, path.eye(phi)));
    c.targetPosition.push_back(CamKey(f, path.target(phi)));
    c.rollTrack.push_back(Key(f, path.roll(phi)));
    TdsKey fov = Key(f, path.fov(phi));
    if (splineFields) {  // plain tension and ease values, as modelling packages write them
      fov.splineFlags = 0x19;
      fov.spline = {0.0f, 0, 0, 0.0f, 0.0f};
    }
    c.fovTrack.push_back(fov);
  }
  return c;
}

}  // namespace

TdsScene VwScene() {
  TdsScene s;
  s.startFrame = 0;
  s.endFrame = kLoopFrames;
  auto material = [](const char* name, Rgb diffuse, const char* map) {
    TdsMaterial m;
    m.name = name;
    m.ambient = {uint8_t(diffuse.r / 3), uint8_t(diffuse.g / 3), uint8_t(diffuse.b / 3)};
    m.diffuse = diffuse;
    m.specular = {230, 230, 230};
    m.textureFile = map;
    return m;
  };
  s.materials = {material("PAINT", {200, 40, 30}, "paint.png"),    material("GLASS", {60, 100, 150}, "glass.jpg"),
                 material("TYRE", {40, 40, 40}, "tyre.tga"),       material("CHROME", {210, 210, 220}, "chrome.tga"),
                 material("FLOOR", {120, 90, 130}, "floor.pcx"),   material("STONE", {220, 190, 150}, "stone.pkm"),
                 material("CRYSTAL", {120, 200, 255}, "glass.jpg")};

  auto add = [&](TdsMesh mesh, TdsMeshNode node) {
    node.pivot = {0, 0, 0};
    s.meshes.push_back(std::move(mesh));
    s.meshNodes.push_back(std::move(node));
    return int16_t(s.meshes.size() - 1);
  };

  // Car. The body jumps, twirls once and lands with a squash; its parts fly off and back.
  const Vec3 bodyCentre{0, 0, 0.9f};
  MeshBuilder body("Body", "PAINT", bodyCentre), glass("Glass", "GLASS", {-0.2f, 0, 1.4f});
  BuildBody(body, glass);
  TdsMeshNode bodyNode;
  bodyNode.position = {At(0, bodyCentre), At(4, Add(bodyCentre, {0, 0, 0.9f})), At(12, Add(bodyCentre, {0, 0, 1.6f})),
                       At(22, Add(bodyCentre, {0, 0, -0.15f})), At(30, Add(bodyCentre, {0, 0, 0.25f})),
                       At(40, bodyCentre), At(50, bodyCentre)};
  bodyNode.scale = {Scale(0, 1, 1, 1), Scale(4, 0.85, 0.85, 1.3), Scale(12, 1, 1, 1), Scale(22, 1.15, 1.15, 0.75),
                    Scale(30, 0.96, 0.96, 1.05), Scale(40, 1, 1, 1), Scale(50, 1, 1, 1)};
  bodyNode.rotation = {Turn(0, 0, {0, 0, 1}), Turn(6, 120, {0, 0, 1}), Turn(14, 120, {0, 0, 1}),
                       Turn(22, 120, {0, 0, 1}), Turn(50, 0, {0, 0, 1})};
  const int16_t bodyIndex = add(body.Take(), bodyNode);

  TdsMeshNode glassNode = Burst({-0.2f, 0, 1.4f}, {0, 0, 2.6f}, bodyIndex, 2);
  glassNode.rotation = {Turn(0, 0, {1, 0, 0}), Turn(8, 90, {1, 0, 0}), Turn(16, 90, {1, 0, 0}), Turn(24, 90, {1, 0, 0}),
                        Turn(32, 90, {1, 0, 0}), Turn(50, 0, {1, 0, 0})};
  add(glass.Take(), glassNode);

  const Vec3 wheels[4] = {{1.35f, 0.86f, 0.4f}, {1.35f, -0.86f, 0.4f}, {-1.3f, 0.86f, 0.4f}, {-1.3f, -0.86f, 0.4f}};
  for (int w = 0; w < 4; ++w) {
    const Vec3 c = wheels[w];
    const float side = c.y > 0 ? 1.0f : -1.0f;
    TdsMeshNode node;
    node.parent = bodyIndex;
    const Vec3 out{0, side, 0};
    node.position = {At(0, c), At(3, Add(c, Add(Mul(out, 2.5), {0, 0, 1.2f}))), At(10, Add(c, Add(Mul(out, 3.5), {0, 0, 2.0f}))),
                     At(20, Add(c, Add(Mul(out, 1.5), {0, 0, 0.8f}))), At(30, Add(c, Mul(out, -0.1))), At(38, c), At(50, c)};
    node.scale = {At(0, {1, 1, 1}), At(3, {0.6f, 0.6f, 0.6f}), At(12, {1.2f, 1.2f, 1.2f}), At(24, {1, 1, 1}), At(50, {1, 1, 1})};
    node.rotation.push_back(Turn(0, 0, {0, 1, 0}));
    for (uint32_t f = 3; f <= 48; f += 3) node.rotation.push_back(Turn(f, 90, {0, 1, 0}));  // four turns
    node.rotation.push_back(Turn(50, 0, {0, 1, 0}));
    static const char* kTyreNames[4] = {"TyreFL", "TyreFR", "TyreRL", "TyreRR"};
    static const char* kCapNames[4] = {"CapFL", "CapFR", "CapRL", "CapRR"};
    MeshBuilder tyre(kTyreNames[w], "TYRE", c), cap(kCapNames[w], "CHROME", c);
    BuildTyre(tyre, c);
    BuildHubCap(cap, c, side);
    const int16_t tyreIndex = add(tyre.Take(), node);
    TdsMeshNode capNode = node;
    capNode.parent = tyreIndex;
    add(cap.Take(), capNode);
  }

  for (int k = 0; k < 2; ++k) {
    const Vec3 c{1.72f, k ? -0.5f : 0.5f, 0.98f};
    MeshBuilder lamp(k ? "LampR" : "LampL", "CHROME", c);
    BuildSphere(lamp, c, 0.16, 6, 10);
    add(lamp.Take(), Burst(c, {3.0f, k ? -1.0f : 1.0f, 0.6f}, bodyIndex, 1));
  }
  for (int k = 0; k < 2; ++k) {
    const float x = k ? -2.12f : 2.08f;
    const Vec3 c{x, 0, 0.45f};
    MeshBuilder bumper(k ? "BumperR" : "BumperF", "CHROME", c);
    BuildBox(bumper, {x - 0.06f, -0.8f, 0.4f}, {x + 0.06f, 0.8f, 0.5f});
    add(bumper.Take(), Burst(c, {k ? -3.0f : 3.0f, 0, 0.4f}, bodyIndex, 3));
  }

  // Floor.
  MeshBuilder floor("Floor", "FLOOR", {0, 0, 0});
  BuildFloor(floor, 12, 12);
  add(floor.Take(), Still({0, 0, 0}));

  // Pillars: they drop into the floor and rise again one after another.
  for (int k = 0; k < 6; ++k) {
    const double a = kPi / 6 + k * kPi / 3;
    const Vec3 base{float(7.5 * std::cos(a)), float(7.5 * std::sin(a)), 0};
    MeshBuilder pillar("Pillar" + std::to_string(k + 1), "STONE", base);
    BuildPillar(pillar, base, 0.7, 3.6, a);
    TdsMeshNode n = Still(base);
    const uint32_t d = uint32_t(k * 3);
    n.scale = {Scale(0, 1, 1, 1), Scale(2, 1, 1, 0.05), Scale(6 + d, 1, 1, 0.05), Scale(16 + d, 1.05, 1.05, 1.15),
               Scale(24 + d, 1, 1, 1), Scale(50, 1, 1, 1)};
    n.rotation = {Turn(0, 0, {0, 0, 1}), Turn(2, 0, {0, 0, 1}), Turn(10 + d, 120, {0, 0, 1}), Turn(18 + d, 120, {0, 0, 1}),
                  Turn(26 + d, 120, {0, 0, 1}), Turn(50, 0, {0, 0, 1})};  // one whole turn while rising
    add(pillar.Take(), n);
  }

  // Chrome ring behind the car: it spins once about the vertical.
  const Vec3 ringCentre{-10.0f, 0, 3.2f};  // beyond the orbiting camera
  MeshBuilder ring("Ring", "CHROME", ringCentre);
  BuildTorus(ring, ringCentre, 2.2, 0.22);
  TdsMeshNode ringNode = Still(ringCentre);
  ringNode.rotation = {Turn(0, 0, {0, 0, 1}), Turn(10, 120, {0, 0, 1}), Turn(20, 120, {0, 0, 1}), Turn(30, 120, {0, 0, 1}),
                       Turn(50, 0, {0, 0, 1})};
  ringNode.scale = {At(0, {1, 1, 1}), At(2, {0.2f, 0.2f, 0.2f}), At(20, {1.1f, 1.1f, 1.1f}), At(30, {1, 1, 1}), At(50, {1, 1, 1})};
  add(ring.Take(), ringNode);

  // Crystals hovering over the floor: they shoot up from the floor, tumbling.
  const Vec3 crystals[3] = {{3.5f, 4.0f, 2.4f}, {-2.5f, -4.5f, 2.9f}, {4.2f, -3.2f, 1.9f}};
  for (int k = 0; k < 3; ++k) {
    const Vec3 c = crystals[k];
    MeshBuilder crystal("Crystal" + std::to_string(k + 1), "CRYSTAL", c);
    BuildOctahedron(crystal, c, 0.45);
    TdsMeshNode n = Still(c);
    n.position = {At(0, c), At(2, {c.x, c.y, 0.2f}), At(18 + 4 * k, Add(c, {0, 0, 0.6f})), At(34 + 2 * k, c), At(50, c)};
    n.scale = {At(0, {1, 1, 1}), At(2, {0.1f, 0.1f, 0.1f}), At(18, {1.2f, 1.2f, 1.2f}), At(34, {1, 1, 1}), At(50, {1, 1, 1})};
    const Vec3 axis = Normalised({0.3f, float(0.2 * k), 1.0f});
    n.rotation = {Turn(0, 0, axis)};
    for (uint32_t f = 5; f <= 45; f += 5) n.rotation.push_back(Turn(f, 80, axis));  // two turns
    n.rotation.push_back(Turn(50, 0, axis));
    add(crystal.Take(), n);
  }

  for (size_t i = 0; i < std::size(kCameras); ++i) s.cameras.push_back(BuildCamera(kCameras[i], i == 0));
  return s;
}

}  // namespace zelk4::kit
