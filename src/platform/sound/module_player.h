// One module played by libopenmpt, rendered in slices short enough that no row goes unseen, with
// the Zxx commands of every row it reaches. The mixer and the tools build on it.
//
// Input is hostile: libopenmpt validates the module; this code only asks it for the pattern cells
// of the rows it reports. Not thread-safe: one thread renders a player at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace openmpt {
class module;
}

namespace zelk4::sound {

// A Zxx command in a row that playback reached. frame is the first frame of the render slice in
// which the row began, counted from the start of playback (so at most kSliceFrames early); for
// a row that follows itself, its start as reckoned from the row's length.
struct SyncEvent {
  uint64_t frame;
  int32_t order;
  int32_t row;
  uint8_t param;
};

class ModulePlayer {
 public:
  // Rows are found by rendering at most this many frames between looks at the position. A row
  // lasts at least one tick, 2.5 / 255 s (about 430 frames at 44100 Hz), so none is skipped.
  static constexpr std::size_t kSliceFrames = 32;

  // Null (with a reason in *error when given) when libopenmpt cannot read the bytes.
  // loop: start again at the song's restart position at its end, for ever; else stop there.
  static std::unique_ptr<ModulePlayer> Load(const void* data, std::size_t size, int32_t rate,
                                            bool loop, std::string* error = nullptr);
  ~ModulePlayer();
  ModulePlayer(const ModulePlayer&) = delete;
  ModulePlayer& operator=(const ModulePlayer&) = delete;

  // Renders up to frames frames of interleaved 16-bit stereo into out (2 * frames values; null
  // discards the sound) and appends the Zxx commands of each row reached, in playing order.
  // Returns the frames rendered: fewer than asked only when a song that does not loop ends.
  std::size_t Render(int16_t* out, std::size_t frames, std::vector<SyncEvent>& events);

  uint64_t FramesRendered() const { return framesRendered_; }
  bool Ended() const { return ended_; }
  int32_t Rate() const { return rate_; }
  std::string Title() const;
  double DurationSeconds() const;  // libopenmpt's estimate of one pass through the song
  openmpt::module& Module() { return *module_; }

 private:
  ModulePlayer(std::unique_ptr<openmpt::module> module, int32_t rate);
  void NoteRow(std::size_t sliceFrames, std::vector<SyncEvent>& events);
  void EnterRow(double start, std::vector<SyncEvent>& events);

  std::unique_ptr<openmpt::module> module_;
  int32_t rate_;
  uint64_t framesRendered_ = 0;
  int32_t order_ = -1;  // the row last seen playing
  int32_t row_ = -1;
  bool ended_ = false;
  bool classicTiming_ = false;  // rows last speed * (1 + EEx) ticks of 2.5 / BPM seconds
  double rowStart_ = 0;         // frame at which the current row began (within a slice)
  double rowFrames_ = 0;        // its length, or 0 where it cannot be known
  double tickFrames_ = 0;
};

}  // namespace zelk4::sound
