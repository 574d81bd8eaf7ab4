#include "kit/art.h"

#include <cmath>
#include <functional>
#include <string_view>

#include "kit/font.h"
#include "kit/random.h"

namespace zelk4::kit {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Box {
  double x0, y0, x1, y1;
};

struct Colour {
  double r, g, b;
};

// Porter-Duff "over" of a colour with coverage alpha (0..255) onto a pixel.
void Over(uint32_t& px, Colour c, double alpha) {
  if (alpha <= 0) return;
  const double a = std::min(alpha, 255.0) / 255.0;
  const double da = (px >> 24) / 255.0;
  const double oa = a + da * (1 - a);
  auto mix = [&](double src, int shift) {
    const double dst = (px >> shift) & 0xFF;
    return (src * a + dst * da * (1 - a)) / oa;
  };
  px = Argb(oa * 255.0, mix(c.r, 16), mix(c.g, 8), mix(c.b, 0));
}

double BoxDistance(double px, double py, const Box& b) {
  const double cx = (b.x0 + b.x1) / 2, cy = (b.y0 + b.y1) / 2;
  const double hx = (b.x1 - b.x0) / 2, hy = (b.y1 - b.y0) / 2;
  const double dx = std::abs(px - cx) - hx, dy = std::abs(py - cy) - hy;
  const double ox = std::max(dx, 0.0), oy = std::max(dy, 0.0);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(dx, dy), 0.0);
}

// Paints a shape given by its signed distance in pixels (negative inside) within `area`: the
// inside at `solid` alpha with a one-pixel soft edge, and a glow of `glowAlpha` fading over
// `glow` pixels outside.
void PaintShape(Picture& pic, Box area, Colour c, double solid, double glowAlpha, double glow,
                const std::function<double(double, double)>& distance) {
  const int x0 = std::max(0, int(area.x0 - glow - 2)), x1 = std::min(pic.width, int(area.x1 + glow + 2));
  const int y0 = std::max(0, int(area.y0 - glow - 2)), y1 = std::min(pic.height, int(area.y1 + glow + 2));
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const double d = distance(x + 0.5, y + 0.5);
      double a = solid * std::clamp(0.5 - d, 0.0, 1.0);
      if (glow > 0 && d > 0 && d < glow) {
        const double g = 1 - d / glow;
        a = std::max(a, glowAlpha * g * g);
      }
      Over(pic.At(x, y), c, a);
    }
  }
}

// Text in the block font: each lit cell a slightly rounded square.
Box TextBox(std::string_view text, double x, double y, double cell) {
  return {x, y, x + (text.size() * 6.0 - 1.0) * cell, y + 7.0 * cell};
}

void PaintText(Picture& pic, std::string_view text, double x, double y, double cell, Colour c,
               double solid, double glowAlpha, double glow) {
  std::vector<Box> cells;
  for (size_t i = 0; i < text.size(); ++i) {
    const uint8_t* rows = Glyph(text[i]);
    for (int r = 0; r < 7; ++r) {
      for (int k = 0; k < 5; ++k) {
        if (rows[r] & (0x10 >> k)) {
          const double cx = x + (i * 6.0 + k) * cell, cy = y + r * cell;
          cells.push_back({cx + 0.5, cy + 0.5, cx + cell - 0.5, cy + cell - 0.5});
        }
      }
    }
  }
  PaintShape(pic, TextBox(text, x, y, cell), c, solid, glowAlpha, glow, [&](double px, double py) {
    double best = 1e9;
    for (const Box& b : cells) best = std::min(best, BoxDistance(px, py, b) - cell * 0.08);
    return best;
  });
}

void PaintRect(Picture& pic, Box b, Colour c, double solid, double glowAlpha, double glow) {
  PaintShape(pic, b, c, solid, glowAlpha, glow, [&](double px, double py) { return BoxDistance(px, py, b); });
}

void PaintRing(Picture& pic, double cx, double cy, double radius, double thickness, Colour c,
               double solid, double glowAlpha, double glow) {
  const Box area{cx - radius - thickness, cy - radius - thickness, cx + radius + thickness, cy + radius + thickness};
  PaintShape(pic, area, c, solid, glowAlpha, glow, [&](double px, double py) {
    return std::abs(std::hypot(px - cx, py - cy) - radius) - thickness / 2;
  });
}

Colour Scale(Colour c, double k) { return {c.r * k, c.g * k, c.b * k}; }

// u: light (0 = facing away, 1 = facing the light), base: the material colour at this v.
uint32_t Lit(Colour base, double u, double highlight) {
  const double light = 0.22 + 0.9 * u;
  const double specular = highlight * std::pow(u, 14.0) * 255.0;
  return Argb(255, base.r * light + specular, base.g * light + specular, base.b * light + specular);
}

}  // namespace

Picture LoadingPicture() {
  Picture pic(640, 480);
  for (int y = 0; y < pic.height; ++y) {
    for (int x = 0; x < pic.width; ++x) {
      const double r = std::hypot((x - 320) / 320.0, (y - 220) / 240.0);
      const double glow = std::exp(-r * r * 2.2);
      const bool grid = (x % 32 == 0) || (y % 32 == 0);
      const double g = grid ? 10 * glow : 0;
      pic.At(x, y) = Argb(255, 8 + 40 * glow + g, 10 + 30 * glow + g, 24 + 70 * glow + g);
    }
  }
  const Colour white{235, 240, 255};
  PaintText(pic, "ZELK4", 320 - (29 * 16) / 2.0, 150, 16, white, 255, 90, 18);
  PaintText(pic, "LOADING", 320 - (41 * 5) / 2.0, 300, 5, {150, 190, 255}, 255, 60, 8);
  PaintRect(pic, {200, 340, 440, 342}, {90, 120, 200}, 255, 50, 6);
  return pic;
}

Picture OverlayPicture(int index) {
  Picture pic(640, 480, 0);
  const double solid = kOverlaySolidAlpha, glow = kOverlayGlowAlpha;
  switch (index & 3) {
    case 0: {  // title lower left, rule across
      const Colour ice{210, 240, 255};
      PaintText(pic, "ZELK4", 40, 360, 12, ice, solid, glow, 14);
      PaintRect(pic, {40, 452, 600, 455}, ice, solid, glow, 8);
      PaintText(pic, "DREAM", 600 - 29 * 4, 414, 4, ice, solid, glow, 6);
      break;
    }
    case 1: {  // letterbox with orange edges
      const Colour ink{12, 10, 16}, orange{255, 150, 40};
      PaintRect(pic, {-10, -10, 650, 52}, ink, 250, 0, 0);
      PaintRect(pic, {-10, 428, 650, 490}, ink, 250, 0, 0);
      PaintRect(pic, {0, 52, 640, 55}, orange, solid, glow, 10);
      PaintRect(pic, {0, 425, 640, 428}, orange, solid, glow, 10);
      PaintText(pic, "VW", 560, 440, 4, orange, solid, glow, 6);
      PaintText(pic, "DEMO", 40, 440, 4, orange, solid, glow, 6);
      break;
    }
    case 2: {  // viewfinder: corner brackets and a centre mark
      const Colour lime{170, 255, 120};
      const double m = 36, len = 80, t = 5;
      for (int cx = 0; cx < 2; ++cx) {
        for (int cy = 0; cy < 2; ++cy) {
          const double x = cx ? 640 - m : m, y = cy ? 480 - m : m;
          const double sx = cx ? -1 : 1, sy = cy ? -1 : 1;
          PaintRect(pic, {std::min(x, x + sx * len), std::min(y, y + sy * t), std::max(x, x + sx * len), std::max(y, y + sy * t)}, lime, solid, glow, 10);
          PaintRect(pic, {std::min(x, x + sx * t), std::min(y, y + sy * len), std::max(x, x + sx * t), std::max(y, y + sy * len)}, lime, solid, glow, 10);
        }
      }
      PaintRing(pic, 320, 240, 18, 3, lime, solid, glow, 8);
      PaintRect(pic, {318, 200, 322, 222}, lime, solid, glow, 6);
      PaintRect(pic, {318, 258, 322, 280}, lime, solid, glow, 6);
      PaintRect(pic, {280, 238, 302, 242}, lime, solid, glow, 6);
      PaintRect(pic, {338, 238, 360, 242}, lime, solid, glow, 6);
      break;
    }
    default: {  // ring with ticks, small title
      const Colour pink{255, 90, 200};
      PaintRing(pic, 320, 240, 205, 4, pink, solid, glow, 16);
      for (int k = 0; k < 24; ++k) {
        const double a = k * 2 * kPi / 24, c = std::cos(a), s = std::sin(a);
        const double r0 = k % 6 == 0 ? 175 : 188;
        PaintShape(pic, {320 + 215 * -1.0, 240 - 215, 320 + 215, 240 + 215}, pink, solid, glow, 6,
                   [&, c, s, r0](double px, double py) {
                     const double dx = px - 320, dy = py - 240;
                     const double along = dx * c + dy * s, across = -dx * s + dy * c;
                     const double lo = r0, hi = 200;
                     const double da = std::max(lo - along, along - hi);
                     return std::max(da, std::abs(across) - 2.0);
                   });
      }
      PaintText(pic, "ZELK4", 640 - 29 * 5 - 24, 24, 5, pink, solid, glow, 8);
      break;
    }
  }
  return pic;
}

Picture ParticlePicture() {
  Picture pic(64, 64);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const double r = std::hypot(x - 31.5, y - 31.5) / 31.5;
      const double a = std::exp(-r * r * 5.0) * (r < 1 ? 1 : 0);
      const double core = std::exp(-r * r * 30.0);
      pic.At(x, y) = Argb(255 * a, 180 + 75 * core, 210 + 45 * core, 255);
    }
  }
  return pic;
}

Picture PaintTexture() {
  Picture pic(256, 256);
  for (int y = 0; y < 256; ++y) {
    const double v = 1.0 - (y + 0.5) / 256.0;  // 1 at the top of the body
    Colour base = v > 0.58 ? Colour{215, 45, 30} : Colour{165, 25, 18};
    if (v > 0.58 && v < 0.62) base = {250, 220, 210};  // the reflected horizon
    if (std::abs(v - 0.30) < 0.025) base = {200, 200, 205};  // chrome trim line
    if (v < 0.12) base = Scale(base, 0.5 + 4 * v);  // darker sills
    for (int x = 0; x < 256; ++x) pic.At(x, y) = Lit(base, (x + 0.5) / 256.0, 0.9);
  }
  return pic;
}

Picture GlassTexture() {
  Picture pic(128, 128);
  for (int y = 0; y < 128; ++y) {
    const double v = 1.0 - (y + 0.5) / 128.0;
    for (int x = 0; x < 128; ++x) {
      const double u = (x + 0.5) / 128.0;
      const double streak = std::pow(std::max(0.0, std::sin((v * 3.0 + u * 1.5) * kPi)), 24.0);
      const Colour base{30 + 40 * v, 60 + 70 * v, 90 + 90 * v};
      const uint32_t lit = Lit(base, u, 0.6);
      pic.At(x, y) = Argb(255, ((lit >> 16) & 0xFF) + 120 * streak, ((lit >> 8) & 0xFF) + 130 * streak,
                          (lit & 0xFF) + 140 * streak);
    }
  }
  return pic;
}

Picture TyreTexture() {
  Picture pic(128, 128);
  for (int y = 0; y < 128; ++y) {
    const bool groove = (y / 4) % 2 == 0;  // tread blocks round the wheel
    const Colour base = groove ? Colour{34, 34, 36} : Colour{62, 62, 64};
    for (int x = 0; x < 128; ++x) pic.At(x, y) = Lit(base, (x + 0.5) / 128.0, 0.25);
  }
  return pic;
}

Picture ChromeTexture() {
  Picture pic(128, 128);
  for (int y = 0; y < 128; ++y) {
    const double v = 1.0 - (y + 0.5) / 128.0;
    const double band = v > 0.45 && v < 0.55 ? 0.35 : 1.0;  // dark reflected ground line
    const Colour base = Scale({200, 205, 215}, band * (0.7 + 0.4 * v));
    for (int x = 0; x < 128; ++x) pic.At(x, y) = Lit(base, (x + 0.5) / 128.0, 1.0);
  }
  return pic;
}

IndexedPicture FloorTexture() {
  IndexedPicture pic(256, 256);
  for (int i = 0; i < 256; ++i) {
    pic.palette[i] = {ClampByte(i * 0.62), ClampByte(i * 0.48), ClampByte(i * 0.66)};
  }
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const double r = std::hypot(x - 127.5, y - 127.5) / 128.0;
      const double fade = std::clamp(1.15 - r, 0.0, 1.0);
      const bool line = x % 16 == 0 || y % 16 == 0;
      const bool major = x % 64 == 0 || y % 64 == 0;
      const double level = (line ? (major ? 230 : 150) : 46) * fade;
      pic.At(x, y) = ClampByte(level);
    }
  }
  return pic;
}

IndexedPicture StoneTexture() {
  IndexedPicture pic(128, 128);
  for (int i = 0; i < 255; ++i) {
    const double k = i / 254.0;
    pic.palette[i] = {ClampByte(245 * k), ClampByte(205 * k), ClampByte(160 * k)};
  }
  pic.palette[255] = {255, 0, 255};  // the transparent index; no pixel uses it
  Random random(0x570);
  std::vector<double> blockShade(16);
  for (double& s : blockShade) s = 0.8 + 0.2 * random.Unit();
  for (int y = 0; y < 128; ++y) {
    const int course = y / 16;
    const bool joint = y % 16 == 0;
    for (int x = 0; x < 128; ++x) {
      const double u = (x + 0.5) / 128.0;
      const double light = 0.22 + 0.85 * u;
      const double grain = 0.92 + 0.08 * random.Unit();
      const double level = joint ? 0.35 : blockShade[course] * grain;
      pic.At(x, y) = static_cast<uint8_t>(std::clamp(level * light * 254.0, 0.0, 254.0));
    }
  }
  return pic;
}

}  // namespace zelk4::kit
