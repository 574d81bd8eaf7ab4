// Feeds arbitrary bytes to the module player as a song and plays a little of it in pull mode:
// whatever libopenmpt accepts must play, report its sync rows and free without fault.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/sound/fmod.h"
#include "platform/sound/output.h"

namespace {
int syncCalls = 0;
void CountSync(FMUSIC_MODULE*, unsigned char) { ++syncCalls; }

bool StartOnce() {
  zelk4::sound::SetOutput(zelk4::sound::Output::Pull);
  return FSOUND_Init(44100, 32, 0) != 0;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = StartOnce();
  if (!started || size == 0 || size > (1u << 20)) return 0;
  std::vector<uint8_t> bytes(data, data + size);
  FMUSIC_MODULE* song = FMUSIC_LoadSongMemory(bytes.data(), static_cast<int>(bytes.size()));
  if (!song) return 0;
  FMUSIC_SetZxxCallback(song, CountSync);
  FMUSIC_PlaySong(song);
  // A tenth of a second, in the slices a frame of the demo would pull.
  std::vector<int16_t> out(2 * 735);
  for (int i = 0; i < 6; ++i) zelk4::sound::Pull(out.data(), 735);
  FMUSIC_GetTime(song);
  FMUSIC_FreeSong(song);
  return 0;
}
