// Hands finished back buffers to the chosen present target (private to the library).
#pragma once

#include <memory>

#include "platform/d3d8/d3d8.h"

namespace d3d8 {

class Presenter {
 public:
  explicit Presenter(HWND focusWindow);
  ~Presenter();
  Presenter(const Presenter&) = delete;
  Presenter& operator=(const Presenter&) = delete;

  // Shows or keeps the back buffer's pixels; false if the window could not be used.
  bool Present(const IDirect3DSurface8& backBuffer);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace d3d8
