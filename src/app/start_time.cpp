#include "app/start_time.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/app.h"
#include "archive/archive.h"
#include "music/music.h"
#include "platform/d3d8/device_control.h"
#include "platform/sound/module_player.h"

namespace {
// The live program's frames come at the display's refresh; 60 Hz is the usual one.
constexpr double kFrameMs = 1000.0 / 60.0;
constexpr int32_t kSampleRate = 44100;  // the rate the music starts its sound system with

int32_t startMs = 0;
void (*partFrame)(float) = nullptr;

void SyncFromSong(uint8_t param) { OnSyncEvent(song, param); }

void CatchUpPart(const std::vector<zelk4::sound::PassedSyncEvent>& rows) {
  zelk4::d3d8::SetDrawingSuspended(true);
  CatchUp(startMs, rows, partFrame, SyncFromSong);
  zelk4::d3d8::SetDrawingSuspended(false);
}
}  // namespace

double SongLengthSeconds() {
  uint8_t* bytes = nullptr;
  uint32_t size = 0;
  if (!ArchiveGetFile(&bytes, &size, kSongFile, kSongArchive, "")) return -1;
  const auto player = zelk4::sound::ModulePlayer::Load(bytes, size, kSampleRate, /*loop=*/false);
  std::free(bytes);
  return player ? player->DurationSeconds() : -1;
}

std::string StartTimeProblem(double seconds, double songSeconds) {
  char text[160];
  if (!(seconds >= 0)) {
    std::snprintf(text, sizeof text, "a start time of %g s is before the music's start", seconds);
    return text;
  }
  if (seconds >= songSeconds) {
    std::snprintf(text, sizeof text, "a start time of %g s is past the end of the music (%.2f s long)",
                  seconds, songSeconds);
    return text;
  }
  return {};
}

int StartTimeRefusal(double seconds, std::string* reason) {
  const double length = SongLengthSeconds();
  if (length < 0) {
    *reason = std::string("the music cannot be read from ") + kSongArchive;
    return 1;
  }
  *reason = StartTimeProblem(seconds, length);
  return reason->empty() ? 0 : 2;
}

void StartAt(double seconds) {
  startMs = static_cast<int32_t>(std::lround(seconds * 1000.0));
  partFrame = partTable[0].frame;
  zelk4::sound::StartSongsAt(startMs, startMs > 0 ? CatchUpPart : nullptr);
}

void CatchUp(int32_t startAtMs, const std::vector<zelk4::sound::PassedSyncEvent>& rows, void (*frame)(float),
             void (*sync)(uint8_t param)) {
  size_t next = 0;
  int32_t previous = 0;
  for (int64_t k = 0;; ++k) {
    // Whole milliseconds, as the frame timer counts them.
    const auto now = static_cast<int32_t>(std::floor(static_cast<double>(k) * kFrameMs));
    if (now >= startAtMs) break;
    while (next < rows.size() && rows[next].timeMs <= now) sync(rows[next++].param);
    frame(static_cast<float>(now - previous));
    previous = now;
  }
  while (next < rows.size()) sync(rows[next++].param);
}
