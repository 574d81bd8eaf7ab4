// p ARCHIVE NAME: writes one entry's bytes to standard output, found by the engine's own lookup
// (the stored name bytes), or else by the entry's name in UTF-8 under the same rule.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/archive.h"
#include "archive/archive_tool.h"
#include "command.h"

namespace zelk4::archive_tool {
namespace {

struct NameSearch {
  const char* wanted;
  bool storedMatch = false;
  int64_t utf8Index = -1;  // the first entry whose UTF-8 name matches
};

void Match(const ArchiveEntryInfo& e, void* user) {
  NameSearch& n = *static_cast<NameSearch*>(user);
  if (ArchiveNamesMatch(e.name, n.wanted)) n.storedMatch = true;
  if (n.utf8Index < 0 && ArchiveNamesMatch(e.utf8Name, n.wanted)) n.utf8Index = e.index;
}

}  // namespace

int RunPrint(int argc, char** argv) {
  CLI::App app{"Write the bytes of entry NAME to standard output. NAME is found as the demo finds "
               "it: letter case does not matter and '\\', '/' and '_' are alike; the first match wins. "
               "A name that matches no stored name is also looked for among the names in UTF-8.",
               "p"};
  std::string archive, name, password;
  app.add_option("ARCHIVE", archive, "the RAR archive")->required();
  app.add_option("NAME", name, "the entry's path inside the archive, e.g. graphics\\loading.png")->required();
  app.add_option("-p,--password", password, "password for encrypted entries");
  bool unchecked = false;
  app.add_flag("--ignore-crc", unchecked,
               "write whatever the entry decodes to, even when its size or CRC-32 is wrong (salvage)");
  if (const int status = ParseCommandLine(app, argc, argv); status >= 0) return status;

  if (!ArchiveFileExists(archive.c_str())) {
    ReportUnreadableArchive(archive);
    return kExitFailure;
  }
  NameSearch search{name.c_str()};
  ArchiveListEntries(archive.c_str(), Match, &search, nullptr);

  uint8_t* data = nullptr;
  uint32_t size = 0;
  ArchiveSetCrcCheck(unchecked ? 0 : 1);
  const bool byUtf8 = !search.storedMatch && search.utf8Index >= 0;
  const int found = byUtf8 ? ArchiveGetEntryAt(&data, &size, static_cast<uint32_t>(search.utf8Index), archive.c_str(),
                                               password.c_str())
                           : ArchiveGetFile(&data, &size, name.c_str(), archive.c_str(), password.c_str());
  ArchiveSetCrcCheck(1);
  if (!found) {
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

}  // namespace zelk4::archive_tool
