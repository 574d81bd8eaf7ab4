// a ARCHIVE FILES...: packs files (folders with everything below them) into a new RAR 2.0 archive
// with the project's own packer. Names are stored as given on the command line, relative, with
// backslashes; -s makes the archive solid, -m0 .. -m5 choose the compression (3 by default).
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read '" + path + "': " + std::strerror(errno);
    return false;
  }
  f.data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    *error = "cannot read '" + path + "'";
    return false;
  }
  struct stat st;
  f.dosTime = stat(path.c_str(), &st) == 0 ? rarpack::DosTimeFromUnix(st.st_mtime) : 0;
  files->push_back(std::move(f));
  return true;
}

// Writes the archive beside its final name and moves it there, so a failed run leaves no half file.
bool WriteArchive(const std::string& archive, const std::vector<uint8_t>& bytes, std::string* error) {
  const std::string temporary = archive + ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      *error = "cannot write '" + temporary + "': " + std::strerror(errno);
      std::remove(temporary.c_str());
      return false;
    }
  }
  if (std::rename(temporary.c_str(), archive.c_str()) != 0) {
    *error = "cannot move '" + temporary + "' to '" + archive + "': " + std::strerror(errno);
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

int RunAdd(int argc, char** argv) {
  CLI::App app{"Pack FILES (folders with everything below them) into a new RAR 2.0 archive. Names are "
               "stored relative, as given, with backslashes.",
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
  app.add_flag("-f,--force", force, "replace ARCHIVE when it exists");
  app.add_flag("-q,--quiet", quiet, "print nothing on success");
  if (const int status = ParseCommandLine(app, argc, argv); status >= 0) return status;

  struct stat st;
  if (!force && lstat(archive.c_str(), &st) == 0) {
    std::fprintf(stderr, "zelk4-archive: '%s' exists (use -f to replace it)\n", archive.c_str());
    return kExitFailure;
  }
  std::vector<InputFile> files;
  std::string error;
  for (const std::string& p : paths) {
    if (!Collect(p, &files, &error)) {
      std::fprintf(stderr, "zelk4-archive: %s\n", error.c_str());
      return kExitFailure;
    }
  }

  std::vector<rarpack::PackFile> pack;
  for (const InputFile& f : files) pack.push_back({f.name, f.data, f.dosTime});
  rarpack::PackOptions options;
  options.level = level;
  options.solid = solid;
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

const bool registered = RegisterCommand({"a", "add FILES to a new archive (packing them)", RunAdd});

}  // namespace
}  // namespace zelk4::archive_tool
