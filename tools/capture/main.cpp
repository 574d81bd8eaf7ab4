// zelk4-capture [--seconds N] [--fps F] [--from T] [--size WxH] [--canvas WxH]
// [--out FILE.mp4 | --frames DIR] [--bench]: the demo drawn offscreen with a stepped clock and the
// music rendered in step, written as an MP4 with its sound (ffmpeg) or as PNG frames and a WAV,
// always with a contact sheet of 16 frames.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/launch_options.h"
#include "app/start_time.h"
#include "canvas.h"
#include "capture.h"
#include "video_pipe.h"

namespace fs = std::filesystem;
namespace capture = zelk4::capture;

namespace {

struct Options {
  double seconds = 10.0;
  uint32_t fps = 30;
  double from = 0;
  unsigned threads = 0;
  std::string size;
  std::string canvas;
  std::string out;
  std::string framesDir;
  bool bench = false;
  bool force = false;
  bool noVideo = false;
  std::string hashes;
  std::string syncLog;
};

// Where everything goes, decided before the run so that nothing is drawn only to be refused.
struct Plan {
  bool video = false;         // MP4 through ffmpeg
  std::string ffmpeg;
  std::string mp4;
  std::string videoTemp;      // the MP4 before its sound
  std::string wav;            // the sound (a temporary file beside the MP4 when video)
  std::string framesDir;      // PNG frames, when there is no video
  std::string contactSheet;
};

void Say(const char* format, const std::string& a = {}, const std::string& b = {}) {
  std::fprintf(stderr, "zelk4-capture: ");
  std::fprintf(stderr, format, a.c_str(), b.c_str());
  std::fprintf(stderr, "\n");
}

// The stem of the output file: "out/zelk4.mp4" gives "out/zelk4".
std::string Stem(const std::string& path) {
  const fs::path p(path);
  return (p.parent_path() / p.stem()).string();
}

bool Refuses(const std::string& path, bool force) {
  std::error_code ec;
  if (!force && fs::exists(path, ec)) {
    Say("'%s' exists; add --force to replace it", path);
    return true;
  }
  return false;
}

// Returns 0 when the plan is made, else the exit status.
int MakePlan(const Options& o, Plan* plan) {
  if (o.bench) return 0;
  std::string framesDir = o.framesDir;
  if (!o.out.empty()) {
    plan->ffmpeg = o.noVideo ? std::string() : capture::FindFfmpeg();
    plan->contactSheet = Stem(o.out) + "-contact.png";
    if (!plan->ffmpeg.empty()) {
      plan->video = true;
      plan->mp4 = o.out;
      plan->videoTemp = Stem(o.out) + ".video-part.mp4";
      plan->wav = Stem(o.out) + ".sound-part.wav";
      if (Refuses(plan->mp4, o.force)) return 1;
    } else {
      framesDir = Stem(o.out) + "-frames";
      Say("no ffmpeg found: writing PNG frames and a WAV into '%s' instead of '%s'", framesDir, o.out);
    }
    if (Refuses(plan->contactSheet, o.force)) return 1;
  }
  if (!framesDir.empty()) {
    plan->framesDir = framesDir;
    plan->wav = (fs::path(framesDir) / "sound.wav").string();
    if (plan->contactSheet.empty()) plan->contactSheet = (fs::path(framesDir) / "contact.png").string();
    std::error_code ec;
    if (fs::exists(framesDir, ec) && !fs::is_empty(framesDir, ec) && !o.force) {
      Say("folder '%s' is not empty; add --force to write into it", framesDir);
      return 1;
    }
  }
  for (const std::string& path : {plan->mp4, plan->contactSheet, plan->framesDir, o.hashes, o.syncLog}) {
    if (path.empty()) continue;
    const fs::path parent = path == plan->framesDir ? fs::path(path) : fs::path(path).parent_path();
    std::error_code ec;
    if (!parent.empty()) fs::create_directories(parent, ec);
    if (ec) {
      Say("cannot make folder '%s': %s", parent.string(), ec.message());
      return 1;
    }
  }
  if (!o.hashes.empty() && Refuses(o.hashes, o.force)) return 1;
  if (!o.syncLog.empty() && Refuses(o.syncLog, o.force)) return 1;
  return 0;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const auto processStart = std::chrono::steady_clock::now();
  CLI::App app{
      "Runs the ZELK4 demo offscreen with a clock stepping 1000/F ms per frame and the music "
      "rendered in step, so every run gives the same frames. Writes an MP4 with the music "
      "(ffmpeg), or PNG frames and a WAV, and always a contact sheet of 16 evenly spaced frames. "
      "Reads Data.rar from the working directory.",
      "zelk4-capture"};
  Options o;
  app.add_option("--seconds", o.seconds, "length of the capture in seconds (default 10)")
      ->check(CLI::Range(0.0, 3600.0));
  app.add_option("--fps", o.fps, "frames per second (default 30)")->check(CLI::Range(1, 1000));
  app.add_option("--from", o.from,
                 "start SECONDS into the demo: the frames from there on are those of a capture "
                 "from 0 at the same times (numbered as in it)");
  app.add_option("--threads", o.threads,
                 "drawing threads (default 0: one per core, at most 4); the frames are the same "
                 "for every count")
      ->check(CLI::Range(0, 64));
  app.add_option("--size", o.size,
                 "the size WxH the demo draws at (default 640x480); the projection stays 4:3, so "
                 "other shapes stretch");
  app.add_option("--canvas", o.canvas,
                 "the video's and PNG frames' size WxH (default: the drawing size); the picture "
                 "is scaled to fit and centred on black");
  auto* out = app.add_option("--out", o.out,
                             "MP4 file to write; the contact sheet goes beside it as NAME-contact.png");
  auto* frames = app.add_option("--frames", o.framesDir,
                                "folder for PNG frames, sound.wav and contact.png instead of a video");
  auto* bench = app.add_flag("--bench", o.bench,
                             "draw without writing anything and report frames per second");
  app.add_flag("-f,--force", o.force, "replace files that exist");
  app.add_flag("--no-video", o.noVideo, "with --out: write PNG frames and a WAV even when ffmpeg is there");
  app.add_option("--hashes", o.hashes, "write each frame's SHA-256, one line per frame");
  app.add_option("--sync-log", o.syncLog,
                 "write the Zxx events as the frames saw them: frame, frame ms, row ms, Zxx");
  out->excludes(frames);
  bench->excludes(out)->excludes(frames);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  if (!o.bench && o.out.empty() && o.framesDir.empty() && o.hashes.empty() && o.syncLog.empty()) {
    Say("nothing to write: give --out FILE.mp4, --frames DIR or --bench (see --help)");
    return 2;
  }
  PictureSize size;
  if (!o.size.empty()) {
    const auto parsed = ParsePictureSize(o.size);
    if (!parsed) return Say("--size %s: give width x height, each 1 to 4096, as 1440x1080", o.size), 2;
    size = *parsed;
  }
  PictureSize canvasSize = size;
  if (!o.canvas.empty()) {
    const auto parsed = ParsePictureSize(o.canvas);
    if (!parsed) return Say("--canvas %s: give width x height, each 1 to 4096, as 1920x1080", o.canvas), 2;
    canvasSize = *parsed;
  }
  std::error_code ec;
  if (!fs::exists("Data.rar", ec)) {
    Say("no Data.rar in the working directory '%s'", fs::current_path(ec).string());
    return 1;
  }
  if (o.from != 0) {
    std::string reason;
    if (const int status = StartTimeRefusal(o.from, &reason)) return Say("--from: %s", reason), status;
  }
  std::signal(SIGPIPE, SIG_IGN);  // a failed ffmpeg shows as a failed write, not a dead capture

  Plan plan;
  if (const int status = MakePlan(o, &plan)) return status;
  if (plan.video && (canvasSize.width % 2 != 0 || canvasSize.height % 2 != 0)) {
    Say("the video's frames need an even width and height, not %s (see --canvas)",
        PictureSizeText(canvasSize));
    return 2;
  }

  const auto total = static_cast<uint64_t>(std::llround(o.seconds * o.fps));
  // The first frame at or after the start time; frames keep the numbers of a run from 0.
  const auto first = static_cast<uint64_t>(std::ceil(o.from * o.fps - 1e-9));
  capture::Canvas canvas(size.width, size.height, canvasSize.width, canvasSize.height);
  capture::ContactSheet sheet(total, canvasSize.width, canvasSize.height);
  capture::WavWriter wav;
  capture::VideoPipe video;
  std::ofstream hashes;
  std::string error;
  if (!plan.wav.empty() && !wav.Open(plan.wav, &error)) return Say("%s", error), 1;
  if (plan.video && !video.Open(plan.ffmpeg, plan.videoTemp, o.fps, canvasSize.width,
                                canvasSize.height, &error)) {
    return Say("%s", error), 1;
  }
  if (!o.hashes.empty()) {
    hashes.open(o.hashes, std::ios::trunc);
    if (!hashes) return Say("cannot write '%s'", o.hashes), 1;
  }

  bool writeFailed = false;
  const uint64_t progressStep = std::max<uint64_t>(1, total / 10);
  const capture::FrameHandler handler = [&](uint64_t index, const std::vector<uint32_t>& pixels,
                                            const std::vector<int16_t>& samples) {
    const uint64_t done = index + 1 - first;
    if (!o.bench) {
      wav.Append(samples);
      if (hashes.is_open()) hashes << index << ' ' << capture::PixelHash(pixels) << '\n';
      const std::vector<uint32_t>& framed = canvas.Place(pixels);
      if (sheet.Wants(index - first)) sheet.Add(index - first, framed);
      if (plan.video && !video.Write(framed)) writeFailed = true;
      if (!plan.framesDir.empty()) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06llu.png", static_cast<unsigned long long>(index));
        if (!capture::WritePng((fs::path(plan.framesDir) / name).string(), canvas.Width(),
                               canvas.Height(), framed, &error)) {
          writeFailed = true;
        }
      }
    }
    if (done % progressStep == 0 || done == total) {
      std::fprintf(stderr, "zelk4-capture: frame %llu/%llu (%.1f s)\n",
                   static_cast<unsigned long long>(done), static_cast<unsigned long long>(total),
                   static_cast<double>(index + 1) / o.fps);
    }
  };

  UseDevicePicture(size, /*windowed=*/false);
  zelk4::d3d8::SetWorkerThreads(o.threads);
  capture::RunSettings settings;
  settings.firstFrame = first;
  settings.frames = total;
  settings.fps = o.fps;
  settings.keepPictures = !o.bench;
  const capture::RunResult result = capture::Run(settings, handler);
  if (first > 0) {
    const double skipped = static_cast<double>(first) / o.fps;
    std::fprintf(stderr, "zelk4-capture: brought to %.3f s without drawing in %.0f ms (%.1f ms per second skipped)\n",
                 skipped, result.catchUpMs, skipped > 0 ? result.catchUpMs / skipped : 0.0);
  }
  // From the tool's start to the first frame presented: the demo's own start-up, loading included.
  const double startUpMs =
      std::chrono::duration<double, std::milli>(result.firstFrameAt - processStart).count();

  if (!o.syncLog.empty()) {
    std::ofstream log(o.syncLog, std::ios::trunc);
    for (const capture::SeenSyncEvent& e : result.syncEvents) {
      if (e.frame < first || e.frame >= first + total) continue;  // seen by no frame written
      char line[64];
      std::snprintf(line, sizeof line, "%llu %.3f %d Z%02X\n", static_cast<unsigned long long>(e.frame),
                    static_cast<double>(e.frame) * 1000.0 / o.fps, e.rowTimeMs, e.param);
      log << line;
    }
    if (!log) writeFailed = true;
  }
  if (hashes.is_open()) {
    hashes.close();
    if (!hashes) writeFailed = true;
  }

  if (o.bench) {
    const double median = Median(result.frameMs);
    std::printf("zelk4-capture bench: %zu frames at %ux%u, median %.3f ms per frame = %.1f fps "
                "(%u cores); start-up %.0f ms\n",
                result.frameMs.size(), size.width, size.height, median,
                median > 0 ? 1000.0 / median : 0.0, std::thread::hardware_concurrency(), startUpMs);
    return 0;
  }

  bool ok = !writeFailed;
  if (!wav.Finish(&error)) ok = false;
  if (plan.video) {
    if (!video.Close(&error) || !capture::MuxSound(plan.ffmpeg, plan.videoTemp, plan.wav, plan.mp4, &error)) {
      Say("%s", error);
      ok = false;
    }
    fs::remove(plan.videoTemp, ec);
    fs::remove(plan.wav, ec);
  }
  if (!plan.contactSheet.empty() && !sheet.Write(plan.contactSheet, &error)) {
    Say("%s", error);
    ok = false;
  }
  if (!ok) {
    Say("the capture was not written completely");
    return 1;
  }
  std::fprintf(stderr, "zelk4-capture: %llu frames, start-up %.0f ms\n",
               static_cast<unsigned long long>(total), startUpMs);
  if (plan.video) Say("video: %s", plan.mp4);
  if (!plan.framesDir.empty()) Say("frames and sound: %s", plan.framesDir);
  if (!plan.contactSheet.empty()) Say("contact sheet: %s", plan.contactSheet);
  return 0;
}
