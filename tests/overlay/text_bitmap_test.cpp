#include "overlay/text_bitmap.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace vesk::overlay {
namespace {

// A mask of one fully covered pixel: every pass of the painting shows as a
// single pixel, so the whole bitmap can be checked.
platform::TextMask OnePixel(std::uint8_t coverage) { return {1, 1, {coverage}}; }

// Pixel at column x, row y counted from the top as the text is laid out.
const std::uint8_t* FromTop(const TextBitmap& bitmap, int x, int y) {
  return bitmap.Row(bitmap.Height() - 1 - y) + x * 4;
}

TEST(TextBitmapTest, OutlineShadowAndTextFollowTheContract) {
  const TextBitmap bitmap = TextBitmap::Paint(OnePixel(255), 0x00336699);
  ASSERT_EQ(bitmap.Width(), 7);
  ASSERT_EQ(bitmap.Height(), 7);
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 7; ++x) {
      const int dx = x - 3, dy = y - 3;
      const bool text = dx == 0 && dy == 0;
      const bool outline = !text && std::abs(dx) <= 2 && std::abs(dy) <= 2 && !(std::abs(dx) == 2 && std::abs(dy) == 2);
      const bool shadow = dx == 3 && dy == 3;
      const std::uint8_t* p = FromTop(bitmap, x, y);
      SCOPED_TRACE(testing::Message() << "x " << x << " y " << y);
      if (text) {
        EXPECT_EQ(p[0], 0x33);  // blue
        EXPECT_EQ(p[1], 0x66);
        EXPECT_EQ(p[2], 0x99);  // red
        EXPECT_EQ(p[3], 0);
      } else {
        EXPECT_EQ(p[0] | p[1] | p[2], 0);
        EXPECT_EQ(p[3], outline || shadow ? 0 : 255);
      }
    }
  }
}

TEST(TextBitmapTest, PartialCoverageMixesTheColourOverWhatIsBeneath) {
  const TextBitmap bitmap = TextBitmap::Paint(OnePixel(128), 0x00FFFFFF);
  const std::uint8_t* text = FromTop(bitmap, 3, 3);
  EXPECT_NEAR(text[0], 128, 1);
  EXPECT_EQ(text[3], 0);
  EXPECT_EQ(FromTop(bitmap, 1, 3)[3], 0);  // the outline is opaque black even where faint
}

}  // namespace
}  // namespace vesk::overlay
