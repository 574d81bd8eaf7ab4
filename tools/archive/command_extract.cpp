// x ARCHIVE [-o DIR]: extracts every entry below DIR in one pass over the archive. Names are
// written in UTF-8, backslashes become folders; names that would leave DIR are refused; existing
// files are kept unless -f is given.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "archive/archive_tool.h"
#include "command.h"
#include "extract_path.h"

namespace zelk4::archive_tool {
namespace {

struct Extraction {
  std::string folder;
  bool overwrite = false;
  size_t entries = 0;
  int failures = 0;
};

void Extract(const ArchiveEntryInfo& e, const uint8_t* data, uint32_t size, int ok, void* user) {
  Extraction& x = *static_cast<Extraction*>(user);
  ++x.entries;
  std::string relative, error;
  if (!SafeRelativePath(e.utf8Name, &relative)) {
    std::fprintf(stderr, "zelk4-archive: refusing '%s': it would be written outside '%s'\n", e.utf8Name,
                 x.folder.c_str());
    ++x.failures;
    return;
  }
  if ((e.flags & kArchiveEntryDirectoryMask) == kArchiveEntryDirectoryMask) {
    if (!MakeFoldersBelow(x.folder, relative, &error)) {
      std::fprintf(stderr, "zelk4-archive: %s\n", error.c_str());
      ++x.failures;
    }
    return;
  }
  if (!ok) {
    std::fprintf(stderr, "zelk4-archive: '%s' failed to extract (unreadable or CRC mismatch)\n", e.utf8Name);
    ++x.failures;
    return;
  }
  if (!WriteBelow(x.folder, relative, data, size, x.overwrite, &error)) {
    std::fprintf(stderr, "zelk4-archive: %s\n", error.c_str());
    ++x.failures;
    return;
  }
  std::printf("%s\n", relative.c_str());
}

}  // namespace

int RunExtract(int argc, char** argv) {
  CLI::App app{"Extract every entry of ARCHIVE below DIR (default: the current folder).", "x"};
  std::string archive, password;
  Extraction x;
  x.folder = ".";
  app.add_option("ARCHIVE", archive, "the RAR archive")->required();
  app.add_option("-o,--output", x.folder, "folder to extract into (made when missing)");
  app.add_option("-p,--password", password, "password for encrypted entries");
  app.add_flag("-f,--force", x.overwrite, "overwrite existing files");
  if (const int status = ParseCommandLine(app, argc, argv); status >= 0) return status;

  if (!ArchiveFileExists(archive.c_str())) {
    ReportUnreadableArchive(archive);
    return kExitFailure;
  }
  if (mkdir(x.folder.c_str(), 0777) != 0 && errno != EEXIST) {
    std::fprintf(stderr, "zelk4-archive: cannot make folder '%s': %s\n", x.folder.c_str(), std::strerror(errno));
    return kExitFailure;
  }
  const bool chainOk = ArchiveExtractEach(archive.c_str(), password.c_str(), Extract, &x, nullptr) != 0;
  if (!chainOk && x.entries == 0) {
    ReportUnreadableArchive(archive);
    return kExitFailure;
  }
  if (!chainOk) {
    std::fprintf(stderr, "zelk4-archive: the block chain breaks after %zu entries\n", x.entries);
    ++x.failures;
  }
  return x.failures == 0 ? kExitOk : kExitFailure;
}

}  // namespace zelk4::archive_tool
