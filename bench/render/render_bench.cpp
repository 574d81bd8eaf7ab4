// The costs the engine pays per call of its own code: a cache lookup that scans a full cache,
// and filling the quad buffer with the most sprites one call can draw (the device's drawing
// itself goes to the null target and is measured by the device's own benchmarks).
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/d3d8/d3d8.h"
#include "platform/win/win.h"
#include "render/render_device.h"
#include "texture/texture.h"

namespace {

void BM_TextureCacheMissOnAFullCache(benchmark::State& state) {
  static TextureCache cache;
  static std::vector<Texture> records(TextureCache::kSlots);
  if (cache.count == 0) {
    for (uint32_t i = 0; i < TextureCache::kSlots; ++i) {
      records[i].mipLevels = 1;
      cache.Add(("graphics\\texture" + std::to_string(i) + ".png").c_str(), &records[i]);
    }
  }
  Texture probe;
  for (auto _ : state) {
    benchmark::DoNotOptimize(cache.Find("graphics\\texture99999.png", 1, &probe));
  }
}
BENCHMARK(BM_TextureCacheMissOnAFullCache);

void BM_DrawSpritesFullBuffer(benchmark::State& state) {
  zelk4::win::SetMessageBoxesEnabled(false);
  zelk4::d3d8::PresentToNothing();
  RenderDevice rd{};
  rd.Init(nullptr, 640, 480, 0);
  rd.SetView(0.0f, 0.0f, -4.8f, 0.0f, 0.0f, 0.0f, 0.0f);
  rd.SetProjection(0.001f, 100.0f, 0.7853982f, 1.0f);
  // Sprites far off screen: the device clips them away, so the vertex fill dominates.
  std::vector<Sprite> sprites(kMaxSpritesPerDraw, Sprite{500.0f, 500.0f, 0.0f, 0.01f, 0});
  QuadDrawer drawer;
  for (auto _ : state) {
    drawer.DrawSprites(&rd, 0.1f, 0.2f, 0.3f, sprites.data(), kMaxSpritesPerDraw, 0xFFFFFFFFu);
  }
  state.SetItemsProcessed(state.iterations() * kMaxSpritesPerDraw);
  rd.Release();
}
BENCHMARK(BM_DrawSpritesFullBuffer);

}  // namespace
