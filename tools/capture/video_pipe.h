// The MP4 writer: ffmpeg fed through a pipe, then the sound muxed in.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "capture.h"

namespace zelk4::capture {

// The ffmpeg on PATH, or empty when there is none.
std::string FindFfmpeg();

class VideoPipe {
 public:
  // Starts ffmpeg encoding width x height frames at `fps` into videoPath (H.264, no sound).
  bool Open(const std::string& ffmpeg, const std::string& videoPath, uint32_t fps, uint32_t width,
            uint32_t height, std::string* error);
  bool Write(const std::vector<uint32_t>& pixels);
  // Waits for ffmpeg to finish; false when it failed or a write did.
  bool Close(std::string* error);

 private:
  std::FILE* pipe_ = nullptr;
  bool failed_ = false;
};

// Copies the video and adds the WAV as AAC sound into outPath.
bool MuxSound(const std::string& ffmpeg, const std::string& videoPath, const std::string& wavPath,
              const std::string& outPath, std::string* error);

}  // namespace zelk4::capture
