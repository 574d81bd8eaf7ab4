// t ARCHIVE: decodes every entry in one pass over the archive and checks it (size and CRC-32) as
// its bytes come out, with the outcome a lookup of that entry would have.
#include <cstdio>
#include <string>

#include "archive/archive_tool.h"
#include "command.h"

namespace zelk4::archive_tool {
namespace {

struct Tally {
  size_t entries = 0;
  int failures = 0;
};

void Check(const ArchiveEntryInfo& e, const uint8_t*, uint32_t, int ok, void* user) {
  Tally& tally = *static_cast<Tally*>(user);
  ++tally.entries;
  if (!ok) ++tally.failures;
  std::printf("%-6s %s\n", ok ? "OK" : "FAILED", e.utf8Name);
}

}  // namespace

int RunTest(int argc, char** argv) {
  CLI::App app{"Decode every entry and check its size and CRC-32 (nothing is written). Exit status 1 "
               "when any entry fails.",
               "t"};
  std::string archive, password;
  app.add_option("ARCHIVE", archive, "the RAR archive")->required();
  app.add_option("-p,--password", password, "password for encrypted entries");
  if (const int status = ParseCommandLine(app, argc, argv); status >= 0) return status;

  Tally tally;
  const bool chainOk = ArchiveTestEach(archive.c_str(), password.c_str(), Check, &tally, nullptr) != 0;
  if (!chainOk && tally.entries == 0) {
    ReportUnreadableArchive(archive);
    return kExitFailure;
  }
  if (!chainOk) {
    std::printf("FAILED the block chain breaks after %zu entries\n", tally.entries);
    ++tally.failures;
  }
  std::printf("%zu entries, %d failed\n", tally.entries, tally.failures);
  return tally.failures == 0 ? kExitOk : kExitFailure;
}

}  // namespace zelk4::archive_tool
