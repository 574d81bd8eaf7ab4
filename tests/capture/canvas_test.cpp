// The capture's canvas: the picture scaled to fit with its shape kept, centred on black.
#include <gtest/gtest.h>

#include "../../tools/capture/canvas.h"

namespace {

constexpr uint32_t kBlack = 0xFF000000u;

TEST(CaptureCanvas, APictureThatFitsIsCopiedIntoTheMiddleWithBarsBesideIt) {
  zelk4::capture::Canvas canvas(4, 3, 8, 3);
  std::vector<uint32_t> picture(12);
  for (uint32_t i = 0; i < 12; ++i) picture[i] = 0x00102030u + i;  // alpha 0 is shown opaque
  const std::vector<uint32_t>& out = canvas.Place(picture);
  ASSERT_EQ(out.size(), 24u);
  for (uint32_t y = 0; y < 3; ++y) {
    for (uint32_t x = 0; x < 8; ++x) {
      const uint32_t expected = x >= 2 && x < 6 ? (0xFF102030u + y * 4 + (x - 2)) : kBlack;
      EXPECT_EQ(out[y * 8 + x], expected) << x << "," << y;
    }
  }
}

TEST(CaptureCanvas, ALargerCanvasScalesThePictureUpKeepingItsShape) {
  // 4:3 onto 16:9 at twice the height: 16x12 in the middle of 32x12, bars of 8 each side.
  zelk4::capture::Canvas canvas(8, 6, 32, 12);
  EXPECT_EQ(canvas.PictureRect().x, 8);
  EXPECT_EQ(canvas.PictureRect().width, 16);
  EXPECT_EQ(canvas.PictureRect().height, 12);
  const std::vector<uint32_t> white(48, 0xFFFFFFFFu);
  const std::vector<uint32_t>& out = canvas.Place(white);
  for (uint32_t y = 0; y < 12; ++y) {
    EXPECT_EQ(out[y * 32 + 7], kBlack);
    EXPECT_EQ(out[y * 32 + 8] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(out[y * 32 + 23] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(out[y * 32 + 24], kBlack);
  }
  // A picture of the wrong size leaves the canvas as it was.
  EXPECT_EQ(canvas.Place(std::vector<uint32_t>(5)).size(), 32u * 12u);
}

}  // namespace
