// Hands finished back buffers to the chosen present target (private to the library).
#pragma once

#include <memory>

#include "platform/d3d8/d3d8.h"

namespace zelk4::d3d8 {


class Presenter {
 public:
  // A full-screen device (Windowed FALSE) turns the window it shows in to full screen on the
  // desktop's own mode; the picture is then scaled up with its shape kept. In a window, frames
  // are shown at most once per refresh of the display unless the presentation interval is
  // D3DPRESENT_INTERVAL_IMMEDIATE (the other targets never wait).
  Presenter(HWND focusWindow, bool fullScreen, UINT presentationInterval);
  ~Presenter();
  Presenter(const Presenter&) = delete;
  Presenter& operator=(const Presenter&) = delete;

  // Shows or keeps the back buffer's pixels; false if the window could not be used.
  bool Present(const IDirect3DSurface8& backBuffer);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace zelk4::d3d8
