#include "music/music.h"

std::atomic<uint32_t> syncCamera{0};
std::atomic<int32_t> syncOverlay{0};
std::atomic<uint8_t> syncFlash{0};
std::atomic<uint8_t> syncRestart{0};

void OnSyncEvent(FMUSIC_MODULE* /*module*/, unsigned char parameter) {
  const unsigned p = parameter;
  if (p >= 0x01 && p <= 0x10) {
    syncCamera.store(p - 1, std::memory_order_relaxed);
  } else if (p == 0x00) {
    // 0 - 17: its low two bits pick the fourth overlay.
    syncOverlay.store(-17, std::memory_order_relaxed);
  } else if (p >= 0x11 && p <= 0x20) {
    syncOverlay.store(static_cast<int32_t>(p) - 17, std::memory_order_relaxed);
  } else if (p == 0x21) {
    syncFlash.store(1, std::memory_order_relaxed);
  } else if (p == 0x30) {
    syncRestart.store(1, std::memory_order_relaxed);
    syncFlash.store(1, std::memory_order_relaxed);
  }
}
