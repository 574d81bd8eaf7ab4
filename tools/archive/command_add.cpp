// a ARCHIVE FILES...: packs files (folders with everything below them) into a RAR 2.0 archive with
// the project's own packer. Names are stored as given on the command line, relative, with
// backslashes; -s makes the archive solid, -m0 .. -m5 choose the compression (3 by default).
// An existing archive is updated: its entries are kept (in their order, repacked), entries of the
// same name are replaced, new ones follow; the result goes to a new file that replaces the old one
// only when everything went well.
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive_tool.h"
#include "command.h"
#include "rarpack/rarpack.h"

namespace zelk4::archive_tool {
namespace {

namespace fs = std::filesystem;

struct InputFile {
  std::string path;  // as found on disk
  std::string name;  // as stored: relative, '/' separated here, backslashes in the archive
  std::vector<uint8_t> data;
  uint32_t dosTime = 0;
  uint32_t attributes = 0x20;  // MS-DOS attributes: archive
};

// The stored name for a path given on the command line: leading "/" and "./" go, ".." is refused
// (an extractor would write outside its folder).
bool NameFor(const std::string& path, std::string* name, std::string* error) {
  std::string out;
  std::string part;
  for (size_t i = 0; i <= path.size(); ++i) {
    const char c = i < path.size() ? path[i] : '/';
    if (c != '/' && c != '\\') {
      part += c;
      continue;
    }
    if (part == "..") {
      *error = "'" + path + "' reaches above the current folder; give a path below it";
      return false;
    }
    if (!part.empty() && part != ".") out += (out.empty() ? "" : "/") + part;
    part.clear();
  }
  if (out.empty() || out.size() > 259) {
    *error = "'" + path + "' gives no usable entry name (1 to 259 bytes)";
    return false;
  }
  *name = out;
  return true;
}

// Reads a file in large blocks (a byte-wise stream read was a tenth of packing time).
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* data, std::string* error) {
  FILE* in = std::fopen(path.c_str(), "rb");
  if (in == nullptr) {
    *error = "cannot read '" + path + "': " + std::strerror(errno);
    return false;
  }
  // Straight into a block of the file's size; a file that grows meanwhile is still read whole.
  struct stat st;
  const size_t expected = fstat(fileno(in), &st) == 0 && st.st_size > 0 ? static_cast<size_t>(st.st_size) : 0;
  data->assign(expected + 1, 0);
  size_t size = 0, got;
  while ((got = std::fread(data->data() + size, 1, data->size() - size, in)) > 0) {
    size += got;
    if (size == data->size()) data->resize(size * 2);
  }
  data->resize(size);
  const bool failed = std::ferror(in) != 0;
  std::fclose(in);
  if (failed) *error = "cannot read '" + path + "'";
  return !failed;
}

bool Collect(const std::string& path, std::vector<InputFile>* files, std::string* error) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec || !fs::exists(status)) {
    *error = "cannot find '" + path + "'";
    return false;
  }
  if (fs::is_directory(status)) {
    std::vector<std::string> below;
    for (auto it = fs::recursive_directory_iterator(path, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
      if (it->is_regular_file()) below.push_back(it->path().string());
    if (ec) {
      *error = "cannot read folder '" + path + "': " + ec.message();
      return false;
    }
    std::sort(below.begin(), below.end());  // the same archive on every file system
    for (const std::string& p : below)
      if (!Collect(p, files, error)) return false;
    return true;
  }
  InputFile f;
  f.path = path;
  if (!NameFor(path, &f.name, error)) return false;
  if (!ReadWholeFile(path, &f.data, error)) return false;
  struct stat st;
  f.dosTime = stat(path.c_str(), &st) == 0 ? rarpack::DosTimeFromUnix(st.st_mtime) : 0;
  files->push_back(std::move(f));
  return true;
}

// Writes the archive into a new file beside its final name and moves it there, so a failed run
// leaves the old archive (or no file) as it was. The new file gets the usual permissions.
bool WriteArchive(const std::string& archive, const std::vector<uint8_t>& bytes, std::string* error) {
  std::string temporary = archive + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) {
    *error = "cannot write beside '" + archive + "': " + std::strerror(errno);
    return false;
  }
  const mode_t mask = umask(0);
  umask(mask);
  bool ok = fchmod(fd, 0666 & ~mask) == 0;
  for (size_t done = 0; ok && done < bytes.size();) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ok = close(fd) == 0 && ok;
  if (!ok) {
    *error = "cannot write '" + temporary + "': " + std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
  }
  if (std::rename(temporary.c_str(), archive.c_str()) != 0) {
    *error = "cannot move '" + temporary + "' to '" + archive + "': " + std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

// The entries of an archive being updated, extracted (and checked) in one pass.
struct OldEntries {
  std::vector<InputFile> files;
  std::string failed;  // the first entry that did not extract
  bool solid = false;
};

void KeepEntry(const ArchiveEntryInfo& e, const uint8_t* data, uint32_t size, int ok, void* user) {
  OldEntries& old = *static_cast<OldEntries*>(user);
  // Folder entries are left out: the packer writes files only, and their folders come back with them.
  if ((e.flags & kArchiveEntryDirectoryMask) == kArchiveEntryDirectoryMask) return;
  if (!ok) {
    if (old.failed.empty()) old.failed = e.utf8Name;
    return;
  }
  InputFile f;
  f.name = e.utf8Name;
  std::replace(f.name.begin(), f.name.end(), '\\', '/');
  f.data.assign(data, data + size);
  f.dosTime = e.fileTime;
  f.attributes = e.attributes;
  old.files.push_back(std::move(f));
}

bool ReadOldEntries(const std::string& archive, OldEntries* old, std::string* error) {
  uint16_t mainFlags = 0;
  const bool complete = ArchiveExtractEach(archive.c_str(), "", KeepEntry, old, &mainFlags) != 0;
  if (!complete || !old->failed.empty()) {
    *error = "cannot update '" + archive + "': " +
             (old->failed.empty() ? std::string("it is not a readable RAR 2.0 archive")
                                  : "its entry '" + old->failed + "' does not extract") +
             "; it is left as it was (-f replaces it as a whole)";
    return false;
  }
  old->solid = (mainFlags & 0x0008) != 0;
  return true;
}

// The old entries with same-named ones replaced in place, then the new ones. Names are the same
// when a lookup could not tell them apart.
std::vector<InputFile> Merge(std::vector<InputFile> old, std::vector<InputFile> added) {
  std::vector<bool> used(added.size(), false);
  for (InputFile& o : old) {
    for (size_t i = 0; i < added.size(); ++i) {
      if (!used[i] && ArchiveNamesMatch(o.name.c_str(), added[i].name.c_str())) {
        o = std::move(added[i]);
        used[i] = true;
        break;
      }
    }
  }
  for (size_t i = 0; i < added.size(); ++i)
    if (!used[i]) old.push_back(std::move(added[i]));
  return old;
}

}  // namespace

int RunAdd(int argc, char** argv) {
  CLI::App app{"Pack FILES (folders with everything below them) into a RAR 2.0 archive. Names are "
               "stored relative, as given, with backslashes. An existing ARCHIVE is updated: new names "
               "are added and entries of the same name replaced.",
               "a"};
  std::string archive;
  std::vector<std::string> paths;
  bool solid = false, force = false, quiet = false;
  int level = 3;
  app.add_option("ARCHIVE", archive, "the archive to make")->required();
  app.add_option("FILES", paths, "files and folders to pack")->required();
  app.add_flag("-s,--solid", solid, "solid archive: each entry continues the previous one's decoder state");
  app.add_option("-m,--method", level, "compression: 0 store, 1 fastest .. 5 smallest (default 3)")
      ->check(CLI::Range(0, 5));
  unsigned threads = 0;
  app.add_option("-j,--threads", threads,
                 "pack the entries of a non-solid archive on N threads (default: one per processor)")
      ->check(CLI::Range(1u, 256u));
  app.add_flag("-f,--force", force, "make a new archive even when ARCHIVE exists (its entries are dropped)");
  app.add_flag("-q,--quiet", quiet, "print nothing on success");
  if (const int status = ParseCommandLine(app, argc, argv); status >= 0) return status;

  std::vector<InputFile> files;
  std::string error;
  for (const std::string& p : paths) {
    if (!Collect(p, &files, &error)) {
      std::fprintf(stderr, "zelk4-archive: %s\n", error.c_str());
      return kExitFailure;
    }
  }
  struct stat st;
  if (!force && lstat(archive.c_str(), &st) == 0) {
    OldEntries old;
    if (!ReadOldEntries(archive, &old, &error)) {
      std::fprintf(stderr, "zelk4-archive: %s\n", error.c_str());
      return kExitFailure;
    }
    solid = solid || old.solid;
    files = Merge(std::move(old.files), std::move(files));
  }

  // Each file's match finder takes a few fresh MiB; kept in the heap once freed, the next file
  // reuses them instead of mapping and faulting in new pages (a fifth of packing many small files).
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  std::vector<rarpack::PackFile> pack;
  for (const InputFile& f : files) pack.push_back({f.name, f.data, f.dosTime, f.attributes});
  rarpack::PackOptions options;
  options.level = level;
  options.solid = solid;
  options.threads = threads;
  const rarpack::PackResult result = rarpack::PackArchive(pack, options);
  if (!result.ok) {
    std::fprintf(stderr, "zelk4-archive: %s\n", result.error.c_str());
    return kExitFailure;
  }
  if (!WriteArchive(archive, result.archive, &error)) {
    std::fprintf(stderr, "zelk4-archive: %s\n", error.c_str());
    return kExitFailure;
  }
  if (!quiet) {
    uint64_t total = 0;
    for (const rarpack::PackedEntry& e : result.entries) {
      std::printf("%10u %10u  %s  %s\n", e.size, e.packedSize, e.method == 0x30 ? "stored    " : "compressed",
                  e.name.c_str());
      total += e.size;
    }
    std::printf("%zu entries, %llu bytes in %zu%s\n", result.entries.size(), static_cast<unsigned long long>(total),
                result.archive.size(), solid ? " (solid)" : "");
  }
  return kExitOk;
}

}  // namespace zelk4::archive_tool
