// The demo program. It takes no arguments and reads no configuration: Data.rar in the working
// directory, 640x480 full screen, Escape or the close button to end.
#include "app/app.h"
#include "platform/d3d8/d3d8.h"
#include "platform/win/sdl_window.h"

int main() {
  // The device presents into the SDL window behind the window handle it is created with.
  d3d8::SetWindowResolver(zelk4::win::SdlWindowOf);
  d3d8::PresentToWindow(nullptr);
  return WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWNORMAL);
}
