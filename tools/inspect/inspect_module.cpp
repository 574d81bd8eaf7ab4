// zelk4-inspect module FILE [--wav OUT]: a module's title, length and sync events (its Zxx
// commands, as the demo's sound library reports them), and optionally the song rendered once
// through to a WAV file.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "command.h"
#include "platform/sound/module_player.h"

namespace {

constexpr int32_t kRate = 44100;
constexpr std::size_t kBlockFrames = 4096;

void Put16(std::ofstream& out, uint16_t v) {
  const char bytes[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
  out.write(bytes, 2);
}
void Put32(std::ofstream& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v & 0xFFFF));
  Put16(out, static_cast<uint16_t>(v >> 16));
}

// A canonical 44-byte header for 16-bit stereo PCM.
void PutWavHeader(std::ofstream& out, uint32_t frames) {
  const uint32_t dataBytes = frames * 4;
  out.write("RIFF", 4);
  Put32(out, 36 + dataBytes);
  out.write("WAVEfmt ", 8);
  Put32(out, 16);
  Put16(out, 1);  // PCM
  Put16(out, 2);
  Put32(out, kRate);
  Put32(out, kRate * 4);
  Put16(out, 4);
  Put16(out, 16);
  out.write("data", 4);
  Put32(out, dataBytes);
}

}  // namespace

int zelk4::inspect::RunModule(int argc, char** argv) {
  CLI::App app{"Shows a module's title, length and Zxx sync events; --wav renders it once.",
               "zelk4-inspect module"};
  std::string file;
  std::string wavPath;
  bool force = false;
  app.add_option("FILE", file, "module file (FastTracker 2 XM or any format libopenmpt reads)")
      ->required();
  app.add_option("--wav", wavPath, "write the song, played once, as 44100 Hz 16-bit stereo WAV");
  app.add_flag("--force", force, "replace an existing WAV file");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }

  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "zelk4-inspect module: cannot read '%s'\n", file.c_str());
    return 1;
  }
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string error;
  auto player =
      zelk4::sound::ModulePlayer::Load(bytes.data(), bytes.size(), kRate, /*loop=*/false, &error);
  if (!player) {
    std::fprintf(stderr, "zelk4-inspect module: '%s' is not a module libopenmpt reads: %s\n",
                 file.c_str(), error.c_str());
    return 1;
  }

  std::ofstream wav;
  if (!wavPath.empty()) {
    if (std::filesystem::exists(wavPath) && !force) {
      std::fprintf(stderr, "zelk4-inspect module: '%s' exists; add --force to replace it\n",
                   wavPath.c_str());
      return 1;
    }
    wav.open(wavPath, std::ios::binary | std::ios::trunc);
    if (!wav) {
      std::fprintf(stderr, "zelk4-inspect module: cannot write '%s'\n", wavPath.c_str());
      return 1;
    }
    PutWavHeader(wav, 0);
  }

  std::vector<zelk4::sound::SyncEvent> events;
  std::vector<int16_t> block(2 * kBlockFrames);
  while (!player->Ended()) {
    const std::size_t frames = player->Render(block.data(), kBlockFrames, events);
    if (wav) wav.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(frames * 4));
  }
  const uint64_t frames = player->FramesRendered();

  std::printf("title: %s\n", player->Title().c_str());
  std::printf("length: %lld ms (libopenmpt estimate %lld ms)\n",
              static_cast<long long>(frames * 1000 / kRate),
              static_cast<long long>(player->DurationSeconds() * 1000.0 + 0.5));
  std::printf("sync events: %zu\n", events.size());
  for (const zelk4::sound::SyncEvent& e : events) {
    std::printf("  Z%02X  order %3d  row %3d  %8lld ms\n", e.param, e.order, e.row,
                static_cast<long long>(e.frame * 1000 / kRate));
  }
  if (wav) {
    wav.seekp(0);
    PutWavHeader(wav, static_cast<uint32_t>(frames));
    wav.close();
    if (!wav) {
      std::fprintf(stderr, "zelk4-inspect module: writing '%s' failed\n", wavPath.c_str());
      return 1;
    }
  }
  return 0;
}
