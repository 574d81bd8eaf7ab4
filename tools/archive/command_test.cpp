// t ARCHIVE: extracts every entry to memory and checks it (size and CRC-32).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/archive_tool.h"
#include "command.h"

namespace zelk4::archive_tool {
namespace {

void Collect(const ArchiveEntryInfo& e, void* user) {
  static_cast<std::vector<ArchiveEntryInfo>*>(user)->push_back(e);
}

int RunTest(int argc, char** argv) {
  CLI::App app{"Extract every entry to memory and check its size and CRC-32. Exit status 1 when any "
               "entry fails.",
               "t"};
  std::string archive, password;
  app.add_option("ARCHIVE", archive, "the RAR archive")->required();
  app.add_option("-p,--password", password, "password for encrypted entries");
  if (const int status = ParseCommandLine(app, argc, argv); status >= 0) return status;

  std::vector<ArchiveEntryInfo> entries;
  const bool chainOk = ArchiveListEntries(archive.c_str(), Collect, &entries, nullptr) != 0;
  if (!chainOk && entries.empty()) {
    std::fprintf(stderr, "zelk4-archive: cannot read '%s' as a RAR 2.0 archive\n", archive.c_str());
    return kExitFailure;
  }
  int failures = 0;
  for (const ArchiveEntryInfo& e : entries) {
    uint8_t* data = nullptr;
    uint32_t size = 0;
    const bool ok = ArchiveGetEntryAt(&data, &size, e.index, archive.c_str(), password.c_str()) != 0;
    std::free(data);
    std::printf("%-6s %s\n", ok ? "OK" : "FAILED", e.name);
    if (!ok) ++failures;
  }
  if (!chainOk) {
    std::printf("FAILED the block chain breaks after %zu entries\n", entries.size());
    ++failures;
  }
  std::printf("%zu entries, %d failed\n", entries.size(), failures);
  return failures == 0 ? kExitOk : kExitFailure;
}

const bool registered = RegisterCommand({"t", "test: extract every entry to memory and check it", RunTest});

}  // namespace
}  // namespace zelk4::archive_tool
