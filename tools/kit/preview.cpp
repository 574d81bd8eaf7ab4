// zelk4-kit-preview OUT.png: a contact sheet of the kit's scene as the demo animates it, drawn by
// a small software rasteriser (unlit, textured, depth-tested) through the engine's own 3DS loader,
// tracks and image decoders. Rows are the cameras; columns step through the car's burst and the
// camera loop. For looking at the kit's design without the demo.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "image/image.h"
#include "kit/kit.h"
#include "platform/d3dx/d3dx8.h"
#include "scene/scene.h"

namespace {

using zelk4::kit::Picture;

struct Image {
  uint32_t width = 0, height = 0;
  std::vector<uint32_t> pixels;
};

float Wrap(float t, uint32_t length) {
  if (length == 0) return t;
  const auto n = static_cast<uint32_t>(t);
  return (t - float(n)) + float(n % length);
}

struct Vertex {
  float x, y, z, w, u, v;  // clip space and mapping
};

void DrawTriangle(Picture& target, std::vector<float>& depth, const Vertex* tri, const Image* texture) {
  const int w = target.width, h = target.height;
  float sx[3], sy[3], iz[3], uz[3], vz[3], zz[3];
  for (int i = 0; i < 3; ++i) {
    if (tri[i].w < 1e-4f) return;  // behind the eye: dropped whole, good enough for a preview
    const float inv = 1.0f / tri[i].w;
    sx[i] = (tri[i].x * inv * 0.5f + 0.5f) * w;
    sy[i] = (0.5f - tri[i].y * inv * 0.5f) * h;
    zz[i] = tri[i].z * inv;
    iz[i] = inv;
    uz[i] = tri[i].u * inv;
    vz[i] = tri[i].v * inv;
  }
  const float area = (sx[1] - sx[0]) * (sy[2] - sy[0]) - (sx[2] - sx[0]) * (sy[1] - sy[0]);
  if (std::abs(area) < 1e-8f) return;
  const int x0 = std::max(0, int(std::floor(std::min({sx[0], sx[1], sx[2]}))));
  const int x1 = std::min(w - 1, int(std::ceil(std::max({sx[0], sx[1], sx[2]}))));
  const int y0 = std::max(0, int(std::floor(std::min({sy[0], sy[1], sy[2]}))));
  const int y1 = std::min(h - 1, int(std::ceil(std::max({sy[0], sy[1], sy[2]}))));
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      const float px = x + 0.5f, py = y + 0.5f;
      const float b0 = ((sx[1] - px) * (sy[2] - py) - (sx[2] - px) * (sy[1] - py)) / area;
      const float b1 = ((sx[2] - px) * (sy[0] - py) - (sx[0] - px) * (sy[2] - py)) / area;
      const float b2 = 1 - b0 - b1;
      if (b0 < 0 || b1 < 0 || b2 < 0) continue;
      const float z = b0 * zz[0] + b1 * zz[1] + b2 * zz[2];
      if (z < 0 || z > 1 || z >= depth[size_t(y) * w + x]) continue;
      depth[size_t(y) * w + x] = z;
      uint32_t colour = 0xFFFFFFFF;
      if (texture && !texture->pixels.empty()) {
        const float q = b0 * iz[0] + b1 * iz[1] + b2 * iz[2];
        float u = (b0 * uz[0] + b1 * uz[1] + b2 * uz[2]) / q, v = (b0 * vz[0] + b1 * vz[1] + b2 * vz[2]) / q;
        u -= std::floor(u);
        v -= std::floor(v);
        const uint32_t tx = std::min(texture->width - 1, uint32_t(u * texture->width));
        const uint32_t ty = std::min(texture->height - 1, uint32_t(v * texture->height));
        colour = texture->pixels[size_t(ty) * texture->width + tx] | 0xFF000000u;
      }
      target.At(x, y) = colour;
    }
  }
}

D3DXMATRIX MeshWorld(const D3DDemoEngineScene& scene, uint32_t i, float meshTime) {
  D3DXMATRIX world;
  D3DXMatrixIdentity(&world);
  const Keyframer& k = *scene.keyframer;
  if (i >= k.meshTrackCount) return world;
  MeshTrack& t = *k.meshTracks[i];
  const float f = Wrap(meshTime, std::min<uint32_t>(50, k.endFrame));
  const float s = scene.sceneScale;
  D3DXMATRIX a, b, r, c;
  D3DXMatrixTranslation(&a, -t.posX->evaluate(0) * s, -t.posY->evaluate(0) * s, -t.posZ->evaluate(0) * s);
  const float px = t.posX->evaluate(f) * s, py = t.posY->evaluate(f) * s, pz = t.posZ->evaluate(f) * s;
  D3DXMatrixScaling(&b, t.scaleX->evaluate(f), t.scaleZ->evaluate(f), t.scaleY->evaluate(f));
  t.rotation->evaluate(&r, f);
  D3DXMatrixTranslation(&c, px, py, pz);
  D3DXMatrixMultiply(&world, &a, &b);
  D3DXMatrixMultiply(&world, &world, &r);
  D3DXMatrixMultiply(&world, &world, &c);
  return world;
}

D3DXMATRIX CameraViewProjection(const D3DDemoEngineScene& scene, uint32_t camera, float cameraTime) {
  const Keyframer& k = *scene.keyframer;
  const float f = Wrap(cameraTime, k.endFrame);
  CameraTrack& c = *k.cameraTracks[camera];
  TargetTrack& t = *k.targetTracks[camera];
  const float s = scene.sceneScale;
  const D3DXVECTOR3 eye(c.posX->evaluate(f) * s, c.posY->evaluate(f) * s, c.posZ->evaluate(f) * s);
  const D3DXVECTOR3 at(t.posX->evaluate(f) * s, t.posY->evaluate(f) * s, t.posZ->evaluate(f) * s);
  const D3DXVECTOR3 up(0, 1, 0);
  D3DXMATRIX view, roll, projection, out;
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  D3DXMatrixRotationZ(&roll, c.roll->evaluate(f) * 0.017453292f);
  D3DXMatrixMultiply(&view, &view, &roll);
  D3DXMatrixPerspectiveFovLH(&projection, c.fov->evaluate(f) * 0.017453292f, 1.0f, 0.0001f, 4.0f);
  D3DXMatrixMultiply(&out, &view, &projection);
  return out;
}

Picture Render(const D3DDemoEngineScene& scene, const std::vector<const Image*>& textures, uint32_t camera,
               float cameraTime, float meshTime, int width, int height) {
  Picture target(width, height, 0xFF000000u);
  std::vector<float> depth(size_t(width) * height, 1.0f);
  const D3DXMATRIX viewProjection = CameraViewProjection(scene, camera, cameraTime);
  for (uint32_t i = 0; i < scene.meshCount; ++i) {
    const MeshObj& m = *scene.meshes[i];
    D3DXMATRIX all;
    const D3DXMATRIX world = MeshWorld(scene, i, meshTime);
    D3DXMatrixMultiply(&all, &world, &viewProjection);
    for (uint32_t f = 0; f < m.faceCount; ++f) {
      const uint16_t idx[3] = {m.faces[f].a, m.faces[f].b, m.faces[f].c};
      Vertex tri[3];
      bool ok = true;
      for (int k = 0; k < 3; ++k) {
        if (idx[k] >= m.vertexCount) ok = false;
        if (!ok) break;
        const MeshVertex& p = m.vertices[idx[k]];
        const auto& a = all.m;
        tri[k] = {p.x * a[0][0] + p.y * a[1][0] + p.z * a[2][0] + a[3][0],
                  p.x * a[0][1] + p.y * a[1][1] + p.z * a[2][1] + a[3][1],
                  p.x * a[0][2] + p.y * a[1][2] + p.z * a[2][2] + a[3][2],
                  p.x * a[0][3] + p.y * a[1][3] + p.z * a[2][3] + a[3][3],
                  m.texCoords[idx[k]].u, m.texCoords[idx[k]].v};
      }
      if (ok) DrawTriangle(target, depth, tri, textures[i]);
    }
  }
  return target;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Draws a contact sheet of the kit's scene: one row per camera, columns through the car's "
               "burst (mesh frames) and the camera loop.",
               "zelk4-kit-preview"};
  std::string out;
  int width = 320, height = 240;
  app.add_option("OUT", out, "PNG file to write")->required();
  app.add_option("--width", width, "Width of one picture")->check(CLI::Range(16, 2048));
  app.add_option("--height", height, "Height of one picture")->check(CLI::Range(16, 2048));
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  }

  auto scene = std::make_unique<D3DDemoEngineScene>();
  scene->SetLoadTextures(0);
  const zelk4::kit::Bytes file = zelk4::kit::BuildKitFile("3ds\\vw.3ds");
  scene->Load3dsFromMemory(nullptr, file.data(), file.size());
  if (!scene->keyframer || scene->keyframer->cameraCount == 0) {
    std::cerr << "zelk4-kit-preview: the scene has no camera\n";
    return 1;
  }

  std::map<std::string, Image> images;
  std::vector<const Image*> textures(scene->meshCount, nullptr);
  for (uint32_t i = 0; i < scene->meshCount; ++i) {
    for (uint32_t k = 0; k < scene->materialCount; ++k) {
      const SceneMaterial& mat = *scene->materials[k];
      if (std::string(scene->meshes[i]->materialName).rfind(mat.name, 0) != 0) continue;
      const std::string name = mat.textureName;
      if (!images.count(name)) {
        const zelk4::kit::Bytes bytes = zelk4::kit::BuildKitFile("graphics\\" + name);
        Image img;
        uint32_t* pixels = nullptr;
        if (DecodeImageFile(bytes.data(), bytes.size(), &img.width, &img.height, &pixels)) {
          img.pixels.assign(pixels, pixels + size_t(img.width) * img.height);
          delete[] pixels;
        }
        images[name] = std::move(img);
      }
      textures[i] = &images[name];
      break;
    }
  }

  const float meshTimes[] = {0, 6, 12, 20, 30, 0, 0};
  const float cameraTimes[] = {0, 0, 0, 0, 0, 200, 400};
  const int columns = 7, rows = int(scene->keyframer->cameraCount);
  Picture sheet(width * columns, height * rows, 0xFF000000u);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      const Picture p = Render(*scene, textures, uint32_t(r), cameraTimes[c], meshTimes[c], width, height);
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) sheet.At(c * width + x, r * height + y) = p.At(x, y);
      }
    }
  }
  const zelk4::kit::Bytes png = zelk4::kit::WritePng(sheet, false);
  std::ofstream(out, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
  std::cout << "wrote " << out << "\n";
  return 0;
}
