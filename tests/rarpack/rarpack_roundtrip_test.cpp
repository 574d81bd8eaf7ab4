// Whole archives packed and read back by the engine's own reader: every archive of the reference
// set (which the reference decoders check as well), and the rules of the archive around them.
#include <gtest/gtest.h>

#include "archive/archive_tool.h"
#include "test_data.h"

namespace {

using namespace zelk4::rarpack_test;
using zelk4::rarpack::PackOptions;
using zelk4::rarpack::PackResult;

class RarpackReferenceSet : public testing::TestWithParam<std::string> {};

TEST_P(RarpackReferenceSet, EveryEntryComesBackThroughTheEngineReader) {
  for (const SetArchive& a : ReferenceSet()) {
    if (a.file != GetParam()) continue;
    const PackResult packed = PackSetArchive(a);
    ASSERT_TRUE(packed.ok) << packed.error;
    for (size_t i = 0; i < a.entries.size(); ++i) {
      const Unpacked u = Extract(packed.archive, static_cast<uint32_t>(i));
      EXPECT_TRUE(u.ok) << a.entries[i].first;
      EXPECT_TRUE(u.data == a.entries[i].second) << a.entries[i].first;
    }
    // The same input packs to the same bytes (the data kit's archive must not change by itself).
    EXPECT_TRUE(PackSetArchive(a).archive == packed.archive);
    return;
  }
  FAIL() << "no archive " << GetParam();
}

std::vector<std::string> SetNames() {
  std::vector<std::string> names;
  for (const SetArchive& a : ReferenceSet()) names.push_back(a.file);
  return names;
}

INSTANTIATE_TEST_SUITE_P(Archives, RarpackReferenceSet, testing::ValuesIn(SetNames()),
                         [](const testing::TestParamInfo<std::string>& info) {
                           std::string name;
                           for (char c : info.param) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

}  // namespace
