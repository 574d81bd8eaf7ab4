#include "kit_files.h"

#include <map>

#include <gtest/gtest.h>

namespace zelk4::kit::test {

const std::vector<ArchiveEntry>& KitFiles() {
  static const std::vector<ArchiveEntry> files = BuildKitFiles();
  return files;
}

const Bytes& KitFile(const std::string& archiveName) {
  static std::map<std::string, Bytes> made;
  auto it = made.find(archiveName);
  if (it == made.end()) {
    try {
      it = made.emplace(archiveName, BuildKitFile(archiveName)).first;
    } catch (const std::exception& e) {
      ADD_FAILURE() << e.what();
      static const Bytes none;
      return none;
    }
  }
  return it->second;
}

}  // namespace zelk4::kit::test
