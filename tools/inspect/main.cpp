// zelk4-inspect: looks into the demo's file formats from disk, through the engine's own loaders.
#include <cstdio>
#include <cstring>

#include "command.h"

namespace zelk4::inspect {
namespace {

struct Command {
  const char* name;     // the word after zelk4-inspect
  const char* summary;  // one line for --help
  int (*run)(int argc, char** argv);
};

constexpr Command kCommands[] = {
    {"image", "decode a picture file (PNG, TGA, PCX, PKM, JPEG): size, pixel sha256, --rgba, --png,\n"
              "                --texture (as a texture load: also BMP, DDS)",
     RunImage},
    {"module", "a module's title, length and Zxx sync events; --wav renders it",
     RunModule},
    {"scene", "load a 3DS scene: meshes, materials, keyframer; --at FRAME, --json, --render PNG",
     RunScene},
};

void PrintUsage(FILE* out) {
  std::fprintf(out, "usage: zelk4-inspect COMMAND [ARGS...]\n\ncommands:\n");
  for (const Command& c : kCommands) std::fprintf(out, "  %-8s %s\n", c.name, c.summary);
  std::fprintf(out, "\n'zelk4-inspect COMMAND --help' describes one command.\n");
}

}  // namespace
}  // namespace zelk4::inspect

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    zelk4::inspect::PrintUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  for (const zelk4::inspect::Command& c : zelk4::inspect::kCommands) {
    if (!std::strcmp(argv[1], c.name)) return c.run(argc - 1, argv + 1);
  }
  std::fprintf(stderr, "zelk4-inspect: unknown command '%s'\n", argv[1]);
  zelk4::inspect::PrintUsage(stderr);
  return 2;
}
