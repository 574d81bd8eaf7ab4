// zelk4-archive: looks into and unpacks the demo's data archive (Data.rar) through the engine's own
// archive reader, so what it shows is what the demo gets.
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"

namespace zelk4::archive_tool {
namespace {
std::vector<Command>& Commands() {
  static std::vector<Command> commands;
  return commands;
}
}  // namespace

bool RegisterCommand(const Command& command) {
  auto& commands = Commands();
  commands.push_back(command);
  std::sort(commands.begin(), commands.end(),
            [](const Command& a, const Command& b) { return std::string(a.name) < b.name; });
  return true;
}
}  // namespace zelk4::archive_tool

static void PrintUsage(FILE* out) {
  std::fprintf(out, "usage: zelk4-archive COMMAND ARCHIVE [ARGS...]\n\ncommands:\n");
  for (const auto& c : zelk4::archive_tool::Commands()) std::fprintf(out, "  %-4s %s\n", c.name, c.summary);
  std::fprintf(out,
               "\n'zelk4-archive COMMAND --help' describes one command.\n"
               "Exit status: 0 success, 1 failure, 2 usage error.\n");
}

int main(int argc, char** argv) {
  using namespace zelk4::archive_tool;
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    PrintUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? kExitUsage : kExitOk;
  }
  for (const auto& c : Commands()) {
    if (std::string(argv[1]) == c.name) return c.run(argc - 1, argv + 1);
  }
  std::fprintf(stderr, "zelk4-archive: unknown command '%s'\n", argv[1]);
  PrintUsage(stderr);
  return kExitUsage;
}
