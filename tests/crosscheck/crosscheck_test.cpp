// Each cross-check scene must look the same from our device and from llvmpipe: PSNR of 40 dB or
// more and at most 1% of the pixels off by more than a few levels. The pictures and their
// difference are written to the test output folder whether the scene passes or not.
#include <cmath>

#include <gtest/gtest.h>

#include "crosscheck/crosscheck.h"
#include "support/corpus.h"

// Mesa keeps a few allocations of its context set-up to the end of the process; only those are
// kept out of LeakSanitizer's report.
extern "C" const char* __lsan_default_suppressions() { return "leak:libOSMesa\nleak:libLLVM\n"; }

namespace {

std::vector<zelk4::crosscheck::Scene>& Scenes() {
  static std::vector<zelk4::crosscheck::Scene> scenes = zelk4::crosscheck::AllScenes(zelk4::test::CorpusPath("3ds"));
  return scenes;
}

class Crosscheck : public ::testing::TestWithParam<size_t> {};

TEST_P(Crosscheck, MatchesOpenGl) {
  const zelk4::crosscheck::Scene& scene = Scenes()[GetParam()];
  zelk4::crosscheck::CheckResult r = zelk4::crosscheck::CheckScene(scene, 2);
  ASSERT_TRUE(r.error.empty()) << r.error;
  std::string error;
  std::filesystem::path folder = zelk4::test::TestOutputDir() / "crosscheck";
  EXPECT_TRUE(zelk4::crosscheck::WritePictures(folder, scene, r, &error)) << error;
  ASSERT_TRUE(r.comparison.sameSize);
  EXPECT_GE(r.comparison.psnr, zelk4::crosscheck::kMinPsnr)
      << scene.name << " (" << scene.about << "); pictures in " << folder.string();
  EXPECT_LE(r.comparison.shareOff, zelk4::crosscheck::kMaxShareOff)
      << scene.name << ": pixels off by more than " << r.levels << " levels";
}

INSTANTIATE_TEST_SUITE_P(Scenes, Crosscheck, ::testing::Range<size_t>(0, Scenes().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                           std::string name = Scenes()[info.param].name;
                           for (char& c : name) {
                             if (c == '-') c = '_';
                           }
                           return name;
                         });

// The scene set must keep touching what it claims to: one mesh scene from the corpus, and the
// device and OpenGL pictures are not both empty (a blank pair would pass any comparison).
TEST(CrosscheckScenes, PicturesAreNotBlank) {
  const zelk4::crosscheck::Scene& scene = Scenes()[0];
  zelk4::crosscheck::CheckResult r = zelk4::crosscheck::CheckScene(scene, 1);
  ASSERT_TRUE(r.error.empty()) << r.error;
  size_t distinct = 0;
  for (uint32_t p : r.device.pixels) distinct += p != r.device.pixels[0] ? 1 : 0;
  EXPECT_GT(distinct, r.device.pixels.size() / 4);
}

TEST(CrosscheckScenes, MeshSceneFromTheCorpus) {
  ZELK4_REQUIRE_CORPUS("3ds");
  bool found = false;
  for (const auto& s : Scenes()) found = found || s.name == "jeep-lit";
  EXPECT_TRUE(found);
}

TEST(CrosscheckCompare, PsnrAndShareOff) {
  zelk4::crosscheck::Image a{4, 1, {0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000}};
  zelk4::crosscheck::Image b = a;
  EXPECT_TRUE(std::isinf(zelk4::crosscheck::Compare(a, b, 8).psnr));
  b.pixels[1] = 0xFF000009;  // one channel of one pixel nine levels off
  zelk4::crosscheck::Comparison c = zelk4::crosscheck::Compare(a, b, 8);
  EXPECT_NEAR(c.psnr, 10.0 * std::log10(255.0 * 255.0 / (81.0 / 12.0)), 1e-9);
  EXPECT_DOUBLE_EQ(c.shareOff, 0.25);
  EXPECT_EQ(c.largest, 9);
  EXPECT_DOUBLE_EQ(zelk4::crosscheck::Compare(a, b, 9).shareOff, 0.0);
  zelk4::crosscheck::Image small{2, 1, {0, 0}};
  EXPECT_FALSE(zelk4::crosscheck::Compare(a, small, 8).sameSize);
}

}  // namespace
