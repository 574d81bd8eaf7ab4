// zelk4_rarpack_reference_set OUTDIR: writes the packer's reference set for the outside decoders:
// OUTDIR/NAME.rar, each entry's bytes under OUTDIR/expected/NAME/, and OUTDIR/manifest.tsv with
// one line per entry: archive, stored name, expected file, CRC-32 (hex), size.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "archive/crc32.h"
#include "test_data.h"

namespace fs = std::filesystem;

namespace {

bool WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || std::string(argv[1]) == "--help") {
    std::fprintf(argc == 2 ? stdout : stderr,
                 "usage: zelk4_rarpack_reference_set OUTDIR\n"
                 "Writes the packer's reference archives, the expected bytes of every entry and a "
                 "manifest, for scripts/check-rar-reference.sh.\n");
    return argc == 2 ? 0 : 2;
  }
  const fs::path out = argv[1];
  std::error_code ec;
  fs::remove_all(out, ec);  // the set is made afresh every time: the folder is the test's own
  fs::create_directories(out, ec);
  std::ofstream manifest(out / "manifest.tsv");
  manifest << "# archive\tstored name\texpected file\tCRC-32\tsize\n";
  for (const zelk4::rarpack_test::SetArchive& a : zelk4::rarpack_test::ReferenceSet()) {
    const zelk4::rarpack::PackResult packed = zelk4::rarpack_test::PackSetArchive(a);
    if (!packed.ok || !WriteFile(out / a.file, packed.archive)) {
      std::fprintf(stderr, "zelk4_rarpack_reference_set: cannot make %s: %s\n", a.file.c_str(), packed.error.c_str());
      return 1;
    }
    const std::string stem = fs::path(a.file).stem().string();
    for (size_t i = 0; i < a.entries.size(); ++i) {
      const auto& [name, data] = a.entries[i];
      const std::string expected = "expected/" + stem + "/" + std::to_string(i);
      if (!WriteFile(out / expected, data)) {
        std::fprintf(stderr, "zelk4_rarpack_reference_set: cannot write %s\n", expected.c_str());
        return 1;
      }
      char crc[16];
      std::snprintf(crc, sizeof crc, "%08X", Crc32(data.data(), data.size()));
      manifest << a.file << '\t' << name << '\t' << expected << '\t' << crc << '\t' << data.size() << '\n';
    }
  }
  manifest.close();
  if (!manifest) {
    std::fprintf(stderr, "zelk4_rarpack_reference_set: cannot write the manifest\n");
    return 1;
  }
  return 0;
}
