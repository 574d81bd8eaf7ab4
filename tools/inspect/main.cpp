// zelk4-inspect: looks into the demo's file formats from disk, through the engine's own loaders.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"

namespace zelk4::inspect {
namespace {
std::vector<Command>& Commands() {
  static std::vector<Command> commands;
  return commands;
}
}  // namespace

bool RegisterCommand(const Command& command) {
  Commands().push_back(command);
  return true;
}
}  // namespace zelk4::inspect

static void PrintUsage(FILE* out) {
  std::fprintf(out, "usage: zelk4-inspect COMMAND [ARGS...]\n\ncommands:\n");
  for (const auto& c : zelk4::inspect::Commands()) std::fprintf(out, "  %-8s %s\n", c.name, c.summary);
  std::fprintf(out, "\n'zelk4-inspect COMMAND --help' describes one command.\n");
}

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    PrintUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  for (const auto& c : zelk4::inspect::Commands()) {
    if (std::string(argv[1]) == c.name) return c.run(argc - 1, argv + 1);
  }
  std::fprintf(stderr, "zelk4-inspect: unknown command '%s'\n", argv[1]);
  PrintUsage(stderr);
  return 2;
}
