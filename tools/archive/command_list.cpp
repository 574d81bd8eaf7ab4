// l ARCHIVE: one line per file header, as the archive stores it, with the name in UTF-8.
#include <cstdio>
#include <string>

#include "archive/archive_tool.h"
#include "command.h"

namespace zelk4::archive_tool {
namespace {

void PrintEntry(const ArchiveEntryInfo& e, void*) {
  std::printf("%10u %10u  0x%02X  %3u  0x%04X  %08X  %s\n", e.unpackedSize, e.packedSize, e.method,
              e.version, e.flags, e.fileCrc, e.utf8Name);
}

}  // namespace

int RunList(int argc, char** argv) {
  CLI::App app{"List the entries of an archive: unpacked and packed size, method, version needed, "
               "flags and CRC-32, then the name (in UTF-8).",
               "l"};
  std::string archive;
  app.add_option("ARCHIVE", archive, "the RAR archive")->required();
  if (const int status = ParseCommandLine(app, argc, argv); status >= 0) return status;

  if (!ArchiveFileExists(archive.c_str())) {
    ReportUnreadableArchive(archive);
    return kExitFailure;
  }
  std::printf("  unpacked     packed  meth  ver  flags   CRC-32    name\n");
  uint16_t mainFlags = 0;
  const int ok = ArchiveListEntries(archive.c_str(), PrintEntry, nullptr, &mainFlags);
  if (!ok) {
    std::fprintf(stderr, "zelk4-archive: cannot read '%s' as a RAR 2.0 archive (or its block chain is broken)\n",
                 archive.c_str());
    return kExitFailure;
  }
  std::printf("archive flags 0x%04X%s\n", mainFlags, (mainFlags & 0x0008) ? " (solid)" : "");
  return kExitOk;
}

}  // namespace zelk4::archive_tool
