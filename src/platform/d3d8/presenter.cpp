// Present targets: nothing, an in-memory frame (with an optional sink), or an SDL2 window that
// shows the picture full screen, scaled with its shape kept and black bars around it, paced to
// the display's refresh.
#include "platform/d3d8/presenter.h"

#include <SDL.h>

#include <cstring>

#include "platform/d3d8/device_control.h"
#include "platform/d3d8/present_pacer.h"

namespace zelk4::d3d8 {
namespace {

struct Controls {
  PresentTarget target = PresentTarget::kNothing;
  FrameSink sink;
  SDL_Window* window = nullptr;
  std::function<SDL_Window*(HWND)> resolver;
  Frame last;
  uint64_t frameNumber = 0;
};

Controls& Global() {
  static Controls controls;
  return controls;
}

// R5G6B5 widened to 8 bits per channel by repeating each channel's top bits.
uint32_t Widen565(uint16_t p) {
  uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
  r = (r << 3) | (r >> 2);
  g = (g << 2) | (g >> 4);
  b = (b << 3) | (b >> 2);
  return 0xFF000000u | (r << 16) | (g << 8) | b;
}

void CopyToFrame(const IDirect3DSurface8& surface, Frame* frame) {
  frame->width = surface.width_;
  frame->height = surface.height_;
  frame->pixels.resize(static_cast<size_t>(surface.width_) * surface.height_);
  for (UINT y = 0; y < surface.height_; ++y) {
    const uint8_t* row = surface.bits_.data() + static_cast<size_t>(y) * surface.pitch_;
    uint32_t* out = frame->pixels.data() + static_cast<size_t>(y) * surface.width_;
    for (UINT x = 0; x < surface.width_; ++x) {
      if (surface.format_ == D3DFMT_R5G6B5) {
        uint16_t p;
        memcpy(&p, row + 2 * x, 2);
        out[x] = Widen565(p);
      } else {
        uint32_t p;
        memcpy(&p, row + 4 * x, 4);
        out[x] = surface.format_ == D3DFMT_X8R8G8B8 ? (p | 0xFF000000u) : p;
      }
    }
  }
}

}  // namespace

ScreenRect LetterboxRect(int outputWidth, int outputHeight, uint32_t width, uint32_t height) {
  ScreenRect r{0, 0, outputWidth, outputHeight};
  if (width == 0 || height == 0 || outputWidth <= 0 || outputHeight <= 0) return r;
  const int64_t wide = static_cast<int64_t>(outputWidth) * height;  // compare the two shapes
  const int64_t tall = static_cast<int64_t>(outputHeight) * width;
  if (wide > tall) {
    r.width = static_cast<int>(tall / height);
    r.x = (outputWidth - r.width) / 2;
  } else {
    r.height = static_cast<int>(wide / width);
    r.y = (outputHeight - r.height) / 2;
  }
  return r;
}

void PresentToNothing() {
  Global().target = PresentTarget::kNothing;
  Global().sink = nullptr;
}

void PresentOffscreen(FrameSink sink) {
  Global().target = PresentTarget::kOffscreen;
  Global().sink = std::move(sink);
  Global().frameNumber = 0;
  Global().last = Frame{};
}

void PresentToWindow(SDL_Window* window) {
  Global().target = PresentTarget::kWindow;
  Global().window = window;
  Global().sink = nullptr;
}

void SetWindowResolver(std::function<SDL_Window*(HWND)> resolver) {
  Global().resolver = std::move(resolver);
}

PresentTarget CurrentPresentTarget() { return Global().target; }

const Frame& LastPresentedFrame() { return Global().last; }

void ResetPresentControls() {
  Global() = Controls{};
}

namespace {
// Full screen on the desktop's own mode. The window is first made borderless and stretched over
// the whole display, which is all a bare X server without a window manager understands; then full
// screen is asked for, which a window manager honours.
void MakeFullScreen(SDL_Window* window) {
  SDL_DisplayMode mode;
  const int display = SDL_GetWindowDisplayIndex(window);
  if (display >= 0 && SDL_GetDesktopDisplayMode(display, &mode) == 0) {
    SDL_SetWindowBordered(window, SDL_FALSE);
    SDL_SetWindowPosition(window, 0, 0);
    SDL_SetWindowSize(window, mode.w, mode.h);
  }
  SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

// An OpenGL renderer drawn by the CPU (Mesa's llvmpipe or softpipe, as under a virtual X server)
// spends several milliseconds of processor time a frame on scaling one picture; SDL's own
// software renderer does the same for a fraction of that.
bool DrawnByCpu(SDL_Renderer* renderer) {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(renderer, &info) != 0 || std::strncmp(info.name, "opengl", 6) != 0) {
    return false;
  }
  using GetString = const unsigned char* (*)(unsigned);
  constexpr unsigned kGlRenderer = 0x1F01;
  const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  const auto* name = getString ? reinterpret_cast<const char*>(getString(kGlRenderer)) : nullptr;
  if (name == nullptr) return false;
  for (const char* cpu : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast"}) {
    if (std::strstr(name, cpu) != nullptr) return true;
  }
  return false;
}

// The display's refresh rate, or 60 Hz where it does not say.
unsigned RefreshRate(SDL_Window* window) {
  SDL_DisplayMode mode;
  const int display = SDL_GetWindowDisplayIndex(window);
  if (display >= 0 && SDL_GetDesktopDisplayMode(display, &mode) == 0 && mode.refresh_rate > 0) {
    return static_cast<unsigned>(mode.refresh_rate);
  }
  return 60;
}
}  // namespace

struct Presenter::Impl {
  HWND focus = nullptr;
  bool fullScreen = false;
  bool immediate = false;        // D3DPRESENT_INTERVAL_IMMEDIATE: never wait for the display
  SDL_Window* window = nullptr;  // the window the renderer below belongs to
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* texture = nullptr;
  int textureWidth = 0, textureHeight = 0;
  Uint32 textureFormat = 0;
  bool smoothScaling = true;
  std::unique_ptr<PresentPacer> pacer;

  void DropWindow() {
    if (texture != nullptr) SDL_DestroyTexture(texture);
    if (renderer != nullptr) SDL_DestroyRenderer(renderer);
    texture = nullptr;
    renderer = nullptr;
    window = nullptr;
    pacer.reset();
  }

  // A renderer that waits for the display's retrace where it can; where the GPU is the CPU, SDL's
  // software renderer with plain pixel repetition, paced by the timer.
  bool CreateRenderer(SDL_Window* target) {
    const Uint32 vsync = immediate ? 0 : SDL_RENDERER_PRESENTVSYNC;
    renderer = SDL_CreateRenderer(target, -1, SDL_RENDERER_ACCELERATED | vsync);
    if (renderer != nullptr && DrawnByCpu(renderer)) {
      SDL_DestroyRenderer(renderer);
      renderer = nullptr;
    }
    smoothScaling = renderer != nullptr;
    if (renderer == nullptr) {
      // Straight to the window's own pixels, not through yet another OpenGL texture.
      SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
      renderer = SDL_CreateRenderer(target, -1, SDL_RENDERER_SOFTWARE);
      // SDL would imitate a retrace with whole-millisecond delays (62.5 Hz); the timer here keeps
      // the display's own rate.
      if (renderer != nullptr) SDL_RenderSetVSync(renderer, 0);
    }
    if (renderer == nullptr) return false;
    SDL_RendererInfo info{};
    SDL_GetRendererInfo(renderer, &info);
    const bool displayMayWait = (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
    pacer = std::make_unique<PresentPacer>(immediate ? 0 : RefreshRate(target), displayMayWait,
                                           SystemPacerClock());
    return true;
  }

  // The back buffer goes into a texture of its own pixel format, without a copy of our own.
  bool ShowInWindow(SDL_Window* target, const IDirect3DSurface8& backBuffer) {
    if (target != window) {
      DropWindow();
      if (fullScreen) MakeFullScreen(target);
      if (!CreateRenderer(target)) return false;
      window = target;
    }
    const int width = static_cast<int>(backBuffer.width_);
    const int height = static_cast<int>(backBuffer.height_);
    const Uint32 format = backBuffer.format_ == D3DFMT_R5G6B5 ? SDL_PIXELFORMAT_RGB565
                                                              : SDL_PIXELFORMAT_ARGB8888;
    if (texture == nullptr || textureWidth != width || textureHeight != height ||
        textureFormat != format) {
      if (texture != nullptr) SDL_DestroyTexture(texture);
      texture = SDL_CreateTexture(renderer, format, SDL_TEXTUREACCESS_STREAMING, width, height);
      if (texture == nullptr) return false;
      // The display shows the back buffer's colours; its alpha channel plays no part.
      SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
      SDL_SetTextureScaleMode(texture, smoothScaling ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
      textureWidth = width;
      textureHeight = height;
      textureFormat = format;
    }
    SDL_UpdateTexture(texture, nullptr, backBuffer.bits_.data(), backBuffer.pitch_);
    int outW = 0, outH = 0;
    SDL_GetRendererOutputSize(renderer, &outW, &outH);
    const ScreenRect r = LetterboxRect(outW, outH, backBuffer.width_, backBuffer.height_);
    const SDL_Rect dest{r.x, r.y, r.width, r.height};
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, &dest);
    SDL_RenderPresent(renderer);
    pacer->Presented();
    return true;
  }
};

Presenter::Presenter(HWND focusWindow, bool fullScreen, UINT presentationInterval)
    : impl_(std::make_unique<Impl>()) {
  impl_->focus = focusWindow;
  impl_->fullScreen = fullScreen;
  impl_->immediate = presentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE;
}

Presenter::~Presenter() { impl_->DropWindow(); }

bool Presenter::Present(const IDirect3DSurface8& backBuffer) {
  Controls& c = Global();
  switch (c.target) {
    case PresentTarget::kNothing:
      return true;
    case PresentTarget::kOffscreen:
      CopyToFrame(backBuffer, &c.last);
      c.last.number = ++c.frameNumber;
      if (c.sink) c.sink(c.last);
      return true;
    case PresentTarget::kWindow: {
      SDL_Window* window = c.window;
      if (window == nullptr && c.resolver) window = c.resolver(impl_->focus);
      if (window == nullptr) return true;  // no window to show in: the frame is dropped
      return impl_->ShowInWindow(window, backBuffer);
    }
  }
  return true;
}

}  // namespace zelk4::d3d8
