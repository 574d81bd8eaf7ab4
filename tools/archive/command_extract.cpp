// x ARCHIVE [-o DIR]: extracts every entry below DIR. Backslashes in names become folders; names
// that would leave DIR are refused; existing files are kept unless -f is given.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive_tool.h"
#include "command.h"
#include "extract_path.h"

namespace zelk4::archive_tool {
namespace {

void Collect(const ArchiveEntryInfo& e, void* user) {
  static_cast<std::vector<ArchiveEntryInfo>*>(user)->push_back(e);
}

int RunExtract(int argc, char** argv) {
  CLI::App app{"Extract every entry of ARCHIVE below DIR (default: the current folder).", "x"};
  std::string archive, password, folder = ".";
  bool overwrite = false;
  app.add_option("ARCHIVE", archive, "the RAR archive")->required();
  app.add_option("-o,--output", folder, "folder to extract into (made when missing)");
  app.add_option("-p,--password", password, "password for encrypted entries");
  app.add_flag("-f,--force", overwrite, "overwrite existing files");
  if (const int status = ParseCommandLine(app, argc, argv); status >= 0) return status;

  std::vector<ArchiveEntryInfo> entries;
  const bool chainOk = ArchiveListEntries(archive.c_str(), Collect, &entries, nullptr) != 0;
  if (!chainOk && entries.empty()) {
    std::fprintf(stderr, "zelk4-archive: cannot read '%s' as a RAR 2.0 archive\n", archive.c_str());
    return kExitFailure;
  }
  if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "zelk4-archive: cannot make folder '%s': %s\n", folder.c_str(), std::strerror(errno));
    return kExitFailure;
  }

  int failures = chainOk ? 0 : 1;
  for (const ArchiveEntryInfo& e : entries) {
    std::string relative, error;
    if (!SafeRelativePath(e.name, &relative)) {
      std::fprintf(stderr, "zelk4-archive: refusing '%s': it would be written outside '%s'\n", e.name,
                   folder.c_str());
      ++failures;
      continue;
    }
    if ((e.flags & kArchiveEntryDirectoryMask) == kArchiveEntryDirectoryMask) {
      if (!MakeFoldersBelow(folder, relative, &error)) {
        std::fprintf(stderr, "zelk4-archive: %s\n", error.c_str());
        ++failures;
      }
      continue;
    }
    uint8_t* data = nullptr;
    uint32_t size = 0;
    if (!ArchiveGetEntryAt(&data, &size, e.index, archive.c_str(), password.c_str())) {
      std::fprintf(stderr, "zelk4-archive: '%s' failed to extract (unreadable or CRC mismatch)\n", e.name);
      ++failures;
      continue;
    }
    const bool written = WriteBelow(folder, relative, data, size, overwrite, &error);
    std::free(data);
    if (!written) {
      std::fprintf(stderr, "zelk4-archive: %s\n", error.c_str());
      ++failures;
      continue;
    }
    std::printf("%s\n", relative.c_str());
  }
  if (!chainOk) std::fprintf(stderr, "zelk4-archive: the block chain breaks after %zu entries\n", entries.size());
  return failures == 0 ? kExitOk : kExitFailure;
}

const bool registered = RegisterCommand({"x", "extract every entry below a folder", RunExtract});

}  // namespace
}  // namespace zelk4::archive_tool
