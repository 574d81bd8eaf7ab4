// The demo program. Without options it reads no configuration, as designed: Data.rar in the
// working directory, 640x480 full screen, Escape or the close button to end. The options are
// additions on top, each applied through the spine's seams before the demo starts.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

#include "app/app.h"
#include "app/frame_stats.h"
#include "app/launch_options.h"
#include "app/start_time.h"
#include "platform/d3d8/d3d8.h"
#include "platform/win/sdl_window.h"

namespace {

struct Options {
  std::string size;
  bool windowed = false;
  double from = 0;
  bool stats = false;
};

// Returns -1 to go on, else the exit status.
int ApplyOptions(int argc, char** argv, Options* o) {
  CLI::App app{
      "The ZELK4 demo: a tracker module and an animated 3D scene in step with it, read from "
      "Data.rar in the working directory. Without options it runs full screen at 640x480, as "
      "designed; Escape ends it.",
      "zelk4"};
  app.add_option("--size", o->size,
                 "the picture's size WxH (default 640x480); full screen it is scaled to the "
                 "display with black bars. The projection stays 4:3: other shapes stretch.");
  app.add_flag("--windowed", o->windowed, "run in a window of the picture's size");
  app.add_option("--from", o->from, "start SECONDS into the music, the demo brought there as it "
                                    "would be after playing from the start");
  app.add_flag("--stats", o->stats,
               "print at the end the frames presented, seconds, frames per second and the share "
               "of a processor core used");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  PictureSize size;
  if (!o->size.empty()) {
    const auto parsed = ParsePictureSize(o->size);
    if (!parsed) {
      std::fprintf(stderr, "zelk4: --size %s: give width x height, each 1 to 4096, as 1280x960\n",
                   o->size.c_str());
      return 2;
    }
    size = *parsed;
  }
  if (!o->size.empty() || o->windowed) UseDevicePicture(size, o->windowed);
  if (o->from != 0) {
    std::string reason;
    if (const int status = StartTimeRefusal(o->from, &reason)) {
      std::fprintf(stderr, "zelk4: --from: %s\n", reason.c_str());
      return status;
    }
    StartAt(o->from);
  }
  if (o->stats) CountFrames();
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (argc > 1) {
    if (const int status = ApplyOptions(argc, argv, &options); status >= 0) return status;
  }
  // The device presents into the SDL window behind the window handle it is created with.
  zelk4::d3d8::SetWindowResolver(zelk4::win::SdlWindowOf);
  zelk4::d3d8::PresentToWindow(nullptr);
  const int status = WinMain(GetModuleHandleA(nullptr), nullptr, nullptr, SW_SHOWNORMAL);
  if (options.stats) PrintFrameStats(stdout, CountedFrames());
  return status;
}
