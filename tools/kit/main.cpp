// zelk4-kit OUTDIR: makes the demo's data (pictures, textures, scene, module) and Data.rar.
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <stdexcept>
#include <vector>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "kit/kit.h"

namespace fs = std::filesystem;

namespace {

// Archive names use backslashes; on disk they become folders.
fs::path LoosePath(const fs::path& outDir, const std::string& archiveName) {
  std::string relative = archiveName;
  for (char& c : relative) {
    if (c == '\\') c = '/';
  }
  return outDir / relative;
}

// Every regular file under `dir`, named as inside the archive, in name order.
std::vector<zelk4::kit::ArchiveEntry> ReadFolder(const fs::path& dir) {
  std::vector<zelk4::kit::ArchiveEntry> files;
  for (const auto& item : fs::recursive_directory_iterator(dir)) {
    if (!item.is_regular_file()) continue;
    std::string name = fs::relative(item.path(), dir).generic_string();
    if (name == "Data.rar") continue;
    for (char& c : name) {
      if (c == '/') c = '\\';
    }
    std::ifstream in(item.path(), std::ios::binary);
    zelk4::kit::Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) throw std::runtime_error("cannot read " + item.path().string());
    files.push_back({name, std::move(bytes)});
  }
  std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  return files;
}

bool WriteFile(const fs::path& path, const zelk4::kit::Bytes& bytes) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Makes the demo's data: the loading screen, overlays and particle sprite, the scene's textures "
      "(PNG, JPEG, TGA, PCX, PKM), the scene 3ds\\vw.3ds, the module sound\\dream1.xm, and the archive "
      "Data.rar that holds them all. The output is the same byte for byte on every run.",
      "zelk4-kit"};
  std::string outDir;
  bool force = false;
  bool archiveOnly = false;
  bool quiet = false;
  std::string packFrom;
  app.add_option("OUTDIR", outDir, "Folder to write into (created when missing)")->required();
  app.add_flag("-f,--force", force, "Replace an existing Data.rar and existing loose files");
  app.add_flag("--archive-only", archiveOnly, "Write only Data.rar, not the loose files");
  app.add_flag("-q,--quiet", quiet, "No progress on standard error");
  app.add_option("--pack-from", packFrom,
                 "Make nothing: pack the files under this folder (a kit written earlier, edited as you "
                 "like) into OUTDIR/Data.rar, named by their paths with backslashes")
      ->check(CLI::ExistingDirectory);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return 2;
  }

  const fs::path out(outDir);
  const fs::path archivePath = out / "Data.rar";
  std::error_code ec;
  if (!force && fs::exists(archivePath, ec)) {
    std::cerr << "zelk4-kit: " << archivePath.string() << " exists; use --force to replace it\n";
    return 1;
  }

  try {
    if (!packFrom.empty()) {
      const auto files = ReadFolder(packFrom);
      if (!quiet) {
        for (const auto& f : files) std::cerr << "packing " << f.name << "\n";
      }
      const zelk4::kit::Bytes archive = zelk4::kit::BuildDataArchive(files);
      if (!WriteFile(archivePath, archive)) {
        std::cerr << "zelk4-kit: cannot write " << archivePath.string() << "\n";
        return 1;
      }
      std::cout << "wrote " << archivePath.string() << " (" << files.size() << " files, " << archive.size()
                << " bytes)\n";
      return 0;
    }
    const auto files = zelk4::kit::BuildKitFiles([&](const std::string& name) {
      if (!quiet) std::cerr << "making " << name << "\n";
    });
    if (!archiveOnly) {
      for (const auto& f : files) {
        const fs::path p = LoosePath(out, f.name);
        if (!force && fs::exists(p, ec)) {
          std::cerr << "zelk4-kit: " << p.string() << " exists; use --force to replace it\n";
          return 1;
        }
      }
      for (const auto& f : files) {
        const fs::path p = LoosePath(out, f.name);
        if (!WriteFile(p, f.data)) {
          std::cerr << "zelk4-kit: cannot write " << p.string() << "\n";
          return 1;
        }
      }
    }
    if (!quiet) std::cerr << "making Data.rar\n";
    const zelk4::kit::Bytes archive = zelk4::kit::BuildDataArchive(files);
    if (!WriteFile(archivePath, archive)) {
      std::cerr << "zelk4-kit: cannot write " << archivePath.string() << "\n";
      return 1;
    }
    std::cout << "wrote " << archivePath.string() << " (" << files.size() << " files, " << archive.size()
              << " bytes)" << (archiveOnly ? "" : " and the loose files") << "\n";
  } catch (const std::exception& e) {
    std::cerr << "zelk4-kit: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
