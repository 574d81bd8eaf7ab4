// p ARCHIVE NAME: writes one entry's bytes to standard output, found by the engine's own lookup.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/archive.h"
#include "archive/archive_tool.h"
#include "command.h"

namespace zelk4::archive_tool {
namespace {

int RunPrint(int argc, char** argv) {
  CLI::App app{"Write the bytes of entry NAME to standard output. NAME is found as the demo finds "
               "it: letter case does not matter and '\\', '/' and '_' are alike; the first match wins.",
               "p"};
  std::string archive, name, password;
  app.add_option("ARCHIVE", archive, "the RAR archive")->required();
  app.add_option("NAME", name, "the entry's path inside the archive, e.g. graphics\\loading.png")->required();
  app.add_option("-p,--password", password, "password for encrypted entries");
  bool unchecked = false;
  app.add_flag("--ignore-crc", unchecked,
               "write whatever the entry decodes to, even when its size or CRC-32 is wrong (salvage)");
  if (const int status = ParseCommandLine(app, argc, argv); status >= 0) return status;

  uint8_t* data = nullptr;
  uint32_t size = 0;
  ArchiveSetCrcCheck(unchecked ? 0 : 1);
  if (!ArchiveGetFile(&data, &size, name.c_str(), archive.c_str(), password.c_str())) {
    std::fprintf(stderr, "zelk4-archive: lookup of '%s' in '%s' failed (not found, unreadable, or CRC mismatch)\n",
                 name.c_str(), archive.c_str());
    return kExitFailure;
  }
  const size_t written = std::fwrite(data, 1, size, stdout);
  std::free(data);
  if (written != size || std::fflush(stdout) != 0) {
    std::fprintf(stderr, "zelk4-archive: cannot write to standard output\n");
    return kExitFailure;
  }
  return kExitOk;
}

const bool registered = RegisterCommand({"p", "print the entry NAME to standard output", RunPrint});

}  // namespace
}  // namespace zelk4::archive_tool
