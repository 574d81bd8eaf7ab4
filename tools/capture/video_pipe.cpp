// The MP4 through ffmpeg: the frames go down a pipe into an H.264 encoder as they are drawn; the
// sound, which is only complete at the end, is added afterwards without re-encoding the video.
#include "video_pipe.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace zelk4::capture {
namespace {

// Single quotes for the shell, with any quote in the text closed, escaped and reopened.
std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace

std::string FindFfmpeg() {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path ? path : "");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    if (folder.empty()) continue;
    const std::string candidate = folder + "/ffmpeg";
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

bool VideoPipe::Open(const std::string& ffmpeg, const std::string& videoPath, uint32_t fps,
                     uint32_t width, uint32_t height, std::string* error) {
  // Pixels are 0xAARRGGBB words, so in memory each is B, G, R, A.
  const std::string command = Quote(ffmpeg) +
                              " -hide_banner -loglevel error -y -f rawvideo -pix_fmt bgra -s " +
                              std::to_string(width) + "x" + std::to_string(height) + " -r " +
                              std::to_string(fps) +
                              " -i - -an -c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p " +
                              Quote(videoPath);
  pipe_ = popen(command.c_str(), "w");
  if (!pipe_) {
    *error = "cannot start ffmpeg";
    return false;
  }
  return true;
}

bool VideoPipe::Write(const std::vector<uint32_t>& pixels) {
  if (!pipe_ || failed_) return false;
  const size_t n = std::fwrite(pixels.data(), sizeof(uint32_t), pixels.size(), pipe_);
  if (n != pixels.size()) failed_ = true;
  return !failed_;
}

bool VideoPipe::Close(std::string* error) {
  if (!pipe_) return true;
  const int status = pclose(pipe_);
  pipe_ = nullptr;
  if (failed_ || status != 0) {
    *error = "ffmpeg could not encode the video (exit status " + std::to_string(status) + ")";
    return false;
  }
  return true;
}

bool MuxSound(const std::string& ffmpeg, const std::string& videoPath, const std::string& wavPath,
              const std::string& outPath, std::string* error) {
  const std::string command = Quote(ffmpeg) + " -hide_banner -loglevel error -y -i " +
                              Quote(videoPath) + " -i " + Quote(wavPath) +
                              " -c:v copy -c:a aac -b:a 192k -movflags +faststart " +
                              Quote(outPath);
  const int status = std::system(command.c_str());
  if (status != 0) {
    *error = "ffmpeg could not add the sound (exit status " + std::to_string(status) + ")";
    return false;
  }
  return true;
}

}  // namespace zelk4::capture
