// Outside 3DS scenes drawn as the demo draws them (lighting off, depth on, no culling, no
// lights), through their own cameras at several frames. Each picture's lit area must cover the
// screen rectangle that the meshes' vertices project to, computed here from the animated world
// matrices, the camera's view and the fixed projection. The pictures are written to the test
// output folder for a person to look at.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "render/render_test_support.h"
#include "scene/scene.h"
#include "support/corpus.h"
#include "support/picture.h"

namespace {

using zelk4::test::RenderDeviceTest;

constexpr int kWidth = 640;
constexpr int kHeight = 480;

struct Rect {
  int left = kWidth, top = kHeight, right = -1, bottom = -1;
  bool empty() const { return right < left; }
  void Add(int x, int y) {
    left = std::min(left, x), right = std::max(right, x);
    top = std::min(top, y), bottom = std::max(bottom, y);
  }
};

struct Point {
  float x = 0.0f, y = 0.0f;
};

// Sutherland-Hodgman against the four screen edges.
std::vector<Point> ClipToScreen(std::vector<Point> polygon) {
  const auto clip = [&](auto inside, auto cross) {
    std::vector<Point> out;
    for (size_t i = 0; i < polygon.size(); ++i) {
      const Point& a = polygon[i];
      const Point& b = polygon[(i + 1) % polygon.size()];
      if (inside(a)) out.push_back(a);
      if (inside(a) != inside(b)) out.push_back(cross(a, b));
    }
    polygon = out;
  };
  const auto atX = [](float edge) {
    return [edge](const Point& a, const Point& b) {
      const float t = (edge - a.x) / (b.x - a.x);
      return Point{edge, a.y + t * (b.y - a.y)};
    };
  };
  const auto atY = [](float edge) {
    return [edge](const Point& a, const Point& b) {
      const float t = (edge - a.y) / (b.y - a.y);
      return Point{a.x + t * (b.x - a.x), edge};
    };
  };
  clip([](const Point& p) { return p.x >= 0.0f; }, atX(0.0f));
  clip([](const Point& p) { return p.x <= kWidth; }, atX(static_cast<float>(kWidth)));
  clip([](const Point& p) { return p.y >= 0.0f; }, atY(0.0f));
  clip([](const Point& p) { return p.y <= kHeight; }, atY(static_cast<float>(kHeight)));
  return polygon;
}

std::ostream& operator<<(std::ostream& out, const Rect& r) {
  return out << "(" << r.left << ", " << r.top << ") to (" << r.right << ", " << r.bottom << ")";
}

class ScenePictures : public RenderDeviceTest {
 protected:
  void Load(const std::string& file, bool textures) {
    const std::vector<uint8_t> bytes = zelk4::test::ReadFileBytes(zelk4::test::CorpusPath("3ds") / file);
    ASSERT_FALSE(bytes.empty()) << file;
    scene.SetLoadTextures(textures ? 1 : 0);
    scene.Load3dsFromMemory(&rd, bytes.data(), bytes.size());
    scene.UploadMeshes(&rd);
  }

  // The demo's states and draw; returns the presented picture and keeps a copy on disk.
  std::vector<uint32_t> Draw(const std::string& name) {
    rd.SetModulateStage0();
    rd.ClearColor(0, 0, 0, 0);
    rd.ClearDepth();
    rd.CullNone();
    rd.DisableLighting();
    rd.EnableDepth();
    scene.drawScene(&rd, 0);
    std::vector<uint32_t> pixels = PresentedPicture();
    zelk4::test::Picture picture(kWidth, kHeight);
    for (size_t i = 0; i < pixels.size(); ++i) picture.pixels[i] = pixels[i] | 0xFF000000u;
    zelk4::test::WritePng(zelk4::test::TestOutputDir() / (name + ".png"), picture);
    return pixels;
  }

  // Where the faces land: each vertex through world, view and projection by the matrices and
  // the viewport, each triangle cut to the screen's edges, and the box around what is left.
  // Every vertex must be in front of the camera.
  Rect Projected() const {
    D3DXMATRIX projection, viewProjection;
    D3DXMatrixPerspectiveFovLH(&projection, scene.fieldOfView, 1.0f, 0.0001f, 4.0f);
    D3DXMatrixMultiply(&viewProjection, &scene.viewMatrix, &projection);
    float left = 1e9f, right = -1e9f, top = 1e9f, bottom = -1e9f;
    for (uint32_t i = 0; i < scene.meshCount; ++i) {
      const MeshObj& m = *scene.meshes[i];
      D3DXMATRIX all;
      D3DXMatrixMultiply(&all, &m.worldMatrix, &viewProjection);
      std::vector<Point> screen(m.vertexCount);
      for (uint32_t v = 0; v < m.vertexCount; ++v) {
        const float x = m.vertices[v].x, y = m.vertices[v].y, z = m.vertices[v].z;
        const float cx = x * all._11 + y * all._21 + z * all._31 + all._41;
        const float cy = x * all._12 + y * all._22 + z * all._32 + all._42;
        const float w = x * all._14 + y * all._24 + z * all._34 + all._44;
        EXPECT_GT(w, 0.001f) << "a vertex behind the camera";
        screen[v] = {(cx / w + 1.0f) * 0.5f * kWidth, (1.0f - cy / w) * 0.5f * kHeight};
      }
      for (uint32_t f = 0; f < m.faceCount; ++f) {
        std::vector<Point> polygon = {screen[m.faces[f].a], screen[m.faces[f].b], screen[m.faces[f].c]};
        polygon = ClipToScreen(polygon);
        for (const Point& p : polygon) {
          left = std::min(left, p.x), right = std::max(right, p.x);
          top = std::min(top, p.y), bottom = std::max(bottom, p.y);
        }
      }
    }
    Rect r;
    if (right < left) return r;
    // Pixels whose centres fall inside.
    r.left = static_cast<int>(std::ceil(left - 0.5f));
    r.right = static_cast<int>(std::ceil(right - 0.5f)) - 1;
    r.top = static_cast<int>(std::ceil(top - 0.5f));
    r.bottom = static_cast<int>(std::ceil(bottom - 0.5f)) - 1;
    return r;
  }

  static Rect LitArea(const std::vector<uint32_t>& pixels) {
    Rect r;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        if ((pixels[static_cast<size_t>(y) * kWidth + x] & 0xFFFFFF) != 0) r.Add(x, y);
      }
    }
    return r;
  }

  void ExpectSameRect(const Rect& expected, const Rect& actual, const std::string& name) {
    ASSERT_FALSE(expected.empty()) << name << ": nothing projects onto the screen";
    EXPECT_NEAR(actual.left, expected.left, 2) << name << " expected " << expected << " got " << actual;
    EXPECT_NEAR(actual.right, expected.right, 2) << name << " expected " << expected << " got " << actual;
    EXPECT_NEAR(actual.top, expected.top, 2) << name << " expected " << expected << " got " << actual;
    EXPECT_NEAR(actual.bottom, expected.bottom, 2) << name << " expected " << expected << " got " << actual;
  }

  // Animates to `frame`, looks through camera 0 and checks the picture against the vertices.
  void CheckThroughCamera(const std::string& stem, float frame) {
    scene.animate(frame);
    D3DXMATRIX view;
    scene.setCameraByIndex(&view, 0);
    const std::string name = stem + "-" + std::to_string(static_cast<int>(frame));
    ExpectSameRect(Projected(), LitArea(Draw(name)), name);
  }

  // A scene without cameras, seen from `eye` towards the origin with a 60 degree view.
  void LookFrom(D3DXVECTOR3 eye) {
    const D3DXVECTOR3 at(0.0f, 0.0f, 0.0f), up(0.0f, 1.0f, 0.0f);
    D3DXMatrixLookAtLH(&scene.viewMatrix, &eye, &at, &up);
    scene.fieldOfView = 60.0f * 0.017453292f;
  }

  D3DDemoEngineScene scene;
};

TEST_F(ScenePictures, TargetCameraFollowsItsPath) {
  ZELK4_REQUIRE_CORPUS("3ds");
  Load("TargetCameraAnim.3ds", false);
  ASSERT_EQ(scene.keyframer->cameraCount, 1u);
  for (float frame : {0.0f, 150.0f, 299.0f}) CheckThroughCamera("TargetCameraAnim", frame);
  // The camera is level with the box's bottom face: everything drawn is above the middle.
  scene.animate(0.0f);
  D3DXMATRIX view;
  scene.setCameraByIndex(&view, 0);
  EXPECT_LE(LitArea(Draw("TargetCameraAnim-level")).bottom, kHeight / 2);
}

TEST_F(ScenePictures, RollingCameraTurnsThePicture) {
  ZELK4_REQUIRE_CORPUS("3ds");
  Load("CameraRollAnim.3ds", false);
  for (float frame : {0.0f, 100.0f, 200.0f}) CheckThroughCamera("CameraRollAnim", frame);
  // Unrolled, the box's edges are level: its top row is lit across its whole width.
  scene.animate(0.0f);
  D3DXMATRIX view;
  scene.setCameraByIndex(&view, 0);
  ASSERT_LT(std::fabs(scene.keyframer->cameraTracks[0]->current.roll), 0.1f);
  const std::vector<uint32_t> level = Draw("CameraRollAnim-level");
  const Rect r = LitArea(level);
  size_t topRow = 0;
  for (int x = r.left; x <= r.right; ++x) topRow += (level[static_cast<size_t>(r.top + 1) * kWidth + x] & 0xFFFFFF) != 0;
  EXPECT_GE(topRow, static_cast<size_t>(r.right - r.left - 2));
}

TEST_F(ScenePictures, RotatingCubeTurnsInPlace) {
  ZELK4_REQUIRE_CORPUS("3ds");
  Load("RotatingCube.3DS", false);
  ASSERT_EQ(scene.keyframer->cameraCount, 0u);
  std::vector<Rect> areas;
  for (float frame : {0.0f, 40.0f, 80.0f, 120.0f}) {
    scene.animate(frame);
    LookFrom({0.0f, 0.0f, -2.5f});
    const std::string name = "RotatingCube-" + std::to_string(static_cast<int>(frame));
    areas.push_back(LitArea(Draw(name)));
    ExpectSameRect(Projected(), areas.back(), name);
  }
  // The pictures differ from frame to frame: the cube turns.
  for (size_t i = 1; i < areas.size(); ++i) {
    EXPECT_TRUE(areas[i].left != areas[i - 1].left || areas[i].right != areas[i - 1].right ||
                areas[i].top != areas[i - 1].top)
        << i;
  }
}

TEST_F(ScenePictures, JeepIsDrawnWithItsTexture) {
  ZELK4_REQUIRE_CORPUS("3ds");
  const std::vector<uint8_t> jpeg = zelk4::test::ReadFileBytes(zelk4::test::CorpusPath("3ds") / "jeep1.jpg");
  ASSERT_FALSE(jpeg.empty());
  zelk4::test::ScopedDataArchive archive({{"graphics\\jeep1.jpg", jpeg}});
  Load("jeep1.3ds", true);
  ASSERT_NE(scene.meshes[0]->material.texture->d3dTexture, nullptr);
  scene.animate(0.0f);  // no tracks: every mesh stays where the file put it
  LookFrom({1.6f, 0.9f, -1.6f});
  const std::vector<uint32_t> pixels = Draw("jeep1");
  ExpectSameRect(Projected(), LitArea(pixels), "jeep1");
  // Textured: the olive paint shows, and the picture is not one flat colour.
  size_t green = 0, white = 0;
  for (uint32_t p : pixels) {
    const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
    green += g > r + 8 && g > b + 8;
    white += (p & 0xFFFFFF) == 0xFFFFFF;
  }
  EXPECT_GT(green, 5000u);
  EXPECT_LT(white, 100u);
  // The engine keeps its textures for good; the test gives this one back.
  for (uint32_t i = 0; i < scene.materialCount; ++i) ReleaseTexture(scene.materials[i]->texture);
}

}  // namespace
