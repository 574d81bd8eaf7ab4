// The kit's files, made once per test binary (making them takes a moment).
#pragma once

#include <string>
#include <vector>

#include "kit/kit.h"

namespace zelk4::kit::test {

const std::vector<ArchiveEntry>& KitFiles();
const Bytes& KitFile(const std::string& archiveName);  // just that file; fails the test when absent

}  // namespace zelk4::kit::test
