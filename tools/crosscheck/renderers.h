// The two renderers of a cross-check scene. Each is set up once (device or context, textures)
// and can then draw the scene any number of times, so a benchmark times only the drawing.
#pragma once

#include <memory>
#include <string>

#include "crosscheck/scene.h"

namespace zelk4::crosscheck {

// Our software Direct3D 8 device, drawing offscreen with `threads` rasterizer threads.
class DeviceRenderer {
 public:
  DeviceRenderer(const Scene& scene, unsigned threads);
  ~DeviceRenderer();
  DeviceRenderer(const DeviceRenderer&) = delete;
  DeviceRenderer& operator=(const DeviceRenderer&) = delete;

  bool ok() const;
  const std::string& error() const;
  // Draws every draw of the scene and presents; Read() then returns the frame.
  void Render();
  Image Read() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

// Mesa's OpenGL fixed-function pipeline through OSMesa. llvmpipe takes its thread count from
// LP_NUM_THREADS when the first context is made; the constructor sets it to `threads` unless it
// is set already.
class GlRenderer {
 public:
  GlRenderer(const Scene& scene, unsigned threads);
  ~GlRenderer();
  GlRenderer(const GlRenderer&) = delete;
  GlRenderer& operator=(const GlRenderer&) = delete;

  bool ok() const;
  const std::string& error() const;
  // Draws every draw of the scene and waits for the pixels (glFinish).
  void Render();
  Image Read() const;
  std::string RendererName() const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace zelk4::crosscheck
