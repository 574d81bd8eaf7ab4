#include <cstdio>

#include "archive/archive_tool.h"
#include "command.h"

namespace zelk4::archive_tool {

int ParseCommandLine(CLI::App& app, int argc, char** argv) {
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    std::fputs(app.help().c_str(), stdout);
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "zelk4-archive %s: %s\n", app.get_name().c_str(), e.what());
    std::fprintf(stderr, "Run 'zelk4-archive %s --help' for usage.\n", app.get_name().c_str());
    return kExitUsage;
  }
  return -1;
}

void ReportUnreadableArchive(const std::string& archive) {
  if (!ArchiveFileExists(archive.c_str())) {
    std::fprintf(stderr, "zelk4-archive: '%s': no such file\n", archive.c_str());
  } else {
    std::fprintf(stderr, "zelk4-archive: cannot read '%s' as a RAR 2.0 archive\n", archive.c_str());
  }
}

}  // namespace zelk4::archive_tool
