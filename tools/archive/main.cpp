// zelk4-archive: looks into and unpacks the demo's data archive (Data.rar) through the engine's own
// archive reader, so what it shows is what the demo gets, and packs new archives with the
// project's own packer.
#include <cstdio>
#include <cstring>

#include "command.h"

namespace {

using namespace zelk4::archive_tool;

struct Command {
  const char* name;     // the word after zelk4-archive
  const char* summary;  // one line for --help
  int (*run)(int argc, char** argv);
};

constexpr Command kCommands[] = {
    {"a", "add FILES to ARCHIVE (packing them), replacing entries of the same name", RunAdd},
    {"l", "list the entries of ARCHIVE", RunList},
    {"p", "print the entry NAME to standard output", RunPrint},
    {"t", "test: decode every entry and check its size and CRC-32", RunTest},
    {"x", "extract every entry below a folder", RunExtract},
};

void PrintUsage(FILE* out) {
  std::fprintf(out, "usage: zelk4-archive COMMAND ARCHIVE [ARGS...]\n\ncommands:\n");
  for (const Command& c : kCommands) std::fprintf(out, "  %-4s %s\n", c.name, c.summary);
  std::fprintf(out,
               "\n'zelk4-archive COMMAND --help' describes one command.\n"
               "Exit status: 0 success, 1 failure, 2 usage error.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    PrintUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? kExitUsage : kExitOk;
  }
  for (const Command& c : kCommands) {
    if (!std::strcmp(argv[1], c.name)) return c.run(argc - 1, argv + 1);
  }
  std::fprintf(stderr, "zelk4-archive: unknown command '%s'\n", argv[1]);
  PrintUsage(stderr);
  return kExitUsage;
}
