// The entry point and the frame loop.
#include "app/app.h"
#include "app/engine_seams.h"

int32_t quitRequested = 0;

void RunFrameLoop() {
  // The first row's reset flag is set, so this reading takes the music clock's origin.
  engine.getMusicTime(partTable[0].resetMusicClock);
  currentPart = 0;
  while (!quitRequested) {
    const float dt = GetFrameTime();
    partTable[currentPart].frame(dt);
    engine.devicePresent();
    quitRequested = PumpMessages();
  }
}

int WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  StartUp();
  RunFrameLoop();
  // Only the music is shut down; the device, textures and scene live until the process ends.
  engine.stopMusic();
  return 0;
}
