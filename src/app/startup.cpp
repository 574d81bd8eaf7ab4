// The start-up sequence: window, device, matrices, cursor, loading screen, part, music.
#include "app/app.h"
#include "app/engine_seams.h"

namespace {
constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr const char* kLoadingImage = "graphics\\loading.png";
}  // namespace

void StartUp() {
  engine.allocateLoadingScreen();

  HWND window = CreateMainWindow(kWidth, kHeight, MainWndProc, "ZELK4");
  // The program always runs full screen.
  engine.deviceInit(window, kWidth, kHeight, 0);
  engine.deviceSetProjection(0.01f, 1000.0f, 0.7853982f, 1.3333334f);
  // Eye and target both at the origin: no draw uses this view, each sets its own first.
  engine.deviceSetView(0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f);
  if (!engine.deviceIsWindowed()) SetCursor(nullptr);

  engine.loadLoadingTexture(kLoadingImage);
  // Twice, so both buffers of the swap chain hold the loading image while the part loads.
  for (int i = 0; i < 2; ++i) {
    engine.drawLoadingTexture(0.0f, 0.0f, 2.0f, 0xFFFFFFFFu);
    engine.devicePresent();
  }

  if (partLoader) partLoader();
  engine.startMusic();
}
