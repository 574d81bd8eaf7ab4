#include "platform/sound/module_player.h"

#include <algorithm>
#include <exception>
#include <libopenmpt/libopenmpt.hpp>
#include <map>
#include <ostream>
#include <string>

namespace zelk4::sound {

std::unique_ptr<ModulePlayer> ModulePlayer::Load(const void* data, std::size_t size,
                                                 int32_t rate, bool loop, std::string* error) {
  if (!data || size == 0) {
    if (error) *error = "no module data";
    return nullptr;
  }
  try {
    // Songs end where the module ends, not fading out, so a loop restarts without a gap. No
    // dither: its noise is seeded at random, and the same song must give the same samples.
    const std::map<std::string, std::string> ctls = {{"play.at_end", loop ? "continue" : "stop"},
                                                     {"dither", "0"}};
    static std::ostream quiet(nullptr);  // libopenmpt's warnings about odd modules are not ours to show
    auto module = std::make_unique<openmpt::module>(data, size, quiet, ctls);
    module->set_repeat_count(loop ? -1 : 0);
    return std::unique_ptr<ModulePlayer>(new ModulePlayer(std::move(module), rate));
  } catch (const std::exception& e) {
    if (error) *error = e.what();
    return nullptr;
  }
}

ModulePlayer::ModulePlayer(std::unique_ptr<openmpt::module> module, int32_t rate)
    : module_(std::move(module)), rate_(rate) {
  const std::string type = module_->get_metadata("type");
  classicTiming_ = type == "xm" || type == "mod";
}

ModulePlayer::~ModulePlayer() = default;

std::string ModulePlayer::Title() const { return module_->get_metadata("title"); }

double ModulePlayer::DurationSeconds() const { return module_->get_duration_seconds(); }

std::size_t ModulePlayer::Render(int16_t* out, std::size_t frames, std::vector<SyncEvent>& events) {
  int16_t scratch[2 * kSliceFrames];
  std::size_t done = 0;
  while (done < frames && !ended_) {
    const std::size_t want = std::min(kSliceFrames, frames - done);
    int16_t* target = out ? out + 2 * done : scratch;
    const std::size_t got = module_->read_interleaved_stereo(rate_, want, target);
    // The row reported after the slice is the one whose tick was last processed; a change means
    // a new row began inside this slice. A short slice is the song's end, where libopenmpt has
    // already gone back to the start without playing it.
    if (got == want) NoteRow(got, events);
    framesRendered_ += got;
    done += got;
    if (got < want) ended_ = true;
  }
  if (out && done < frames) std::fill(out + 2 * done, out + 2 * frames, int16_t{0});
  return done;
}

void ModulePlayer::NoteRow(std::size_t sliceFrames, std::vector<SyncEvent>& events) {
  const int32_t order = module_->get_current_order();
  const int32_t row = module_->get_current_row();
  if (order != order_ || row != row_) {
    order_ = order;
    row_ = row;
    EnterRow(framesRendered_, events);
    return;
  }
  // The same row straight after itself (a loop of one row, a one-row song starting over) shows
  // no change of position; it is known by the row outlasting its length. Half a tick of margin
  // covers libopenmpt's rounding of ticks to whole frames.
  if (rowFrames_ > 0 &&
      static_cast<double>(framesRendered_ + sliceFrames) > rowStart_ + rowFrames_ + tickFrames_ / 2) {
    EnterRow(rowStart_ + rowFrames_, events);
  }
}

void ModulePlayer::EnterRow(double start, std::vector<SyncEvent>& events) {
  rowStart_ = start;
  rowFrames_ = 0;
  const int32_t pattern = module_->get_current_pattern();
  if (pattern < 0 || pattern >= module_->get_num_patterns()) return;
  if (row_ < 0 || row_ >= module_->get_pattern_num_rows(pattern)) return;
  const uint64_t frame = static_cast<uint64_t>(start);
  int32_t rowDelay = 0;
  const int32_t channels = module_->get_num_channels();
  for (int32_t channel = 0; channel < channels; ++channel) {
    // The letter as the module's own tracker shows it: Zxx in FastTracker 2 modules.
    const std::string effect = module_->format_pattern_row_channel_command(
        pattern, row_, channel, openmpt::module::command_effect);
    const uint8_t param = module_->get_pattern_row_channel_command(
        pattern, row_, channel, openmpt::module::command_parameter);
    if (effect == "Z") events.push_back({frame, order_, row_, param});
    if (effect == "E" && (param >> 4) == 0xE) rowDelay = std::max<int32_t>(rowDelay, param & 0x0F);
  }
  // A row's length is known only where ticks have the classic length of 2.5 / BPM seconds and
  // EEx is the only thing that stretches a row: FastTracker 2 and ProTracker modules.
  const int32_t speed = module_->get_current_speed();
  const int32_t tempo = module_->get_current_tempo();
  if (!classicTiming_ || speed <= 0 || tempo <= 0) return;
  tickFrames_ = rate_ * 2.5 / tempo;
  rowFrames_ = tickFrames_ * speed * (1 + rowDelay);
}

}  // namespace zelk4::sound
