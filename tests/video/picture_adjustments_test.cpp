#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <vector>

#include "platform/cpu_features.h"
#include "video/brightness_contrast.h"
#include "video/picture_adjustments.h"

namespace vesk::video {
namespace {

using Picture = std::vector<std::uint8_t>;

Picture RandomPicture(std::uint32_t width, std::uint32_t height, unsigned seed) {
  std::mt19937 random(seed);
  Picture picture(4u * width * height);
  for (auto& byte : picture) byte = static_cast<std::uint8_t>(random());
  return picture;
}

std::uint8_t At(const Picture& p, std::uint32_t width, std::uint32_t x, std::uint32_t y, int ch) {
  return p[4 * (y * width + x) + ch];
}

// The rules pixel by pixel with direct 3 x 3 sums over the picture as it is
// at that moment, to hold the sliding-window code against.
std::int32_t WindowSum(const Picture& p, std::uint32_t w, std::uint32_t x, std::uint32_t y, int ch) {
  std::int32_t sum = 0;
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) sum += At(p, w, x + dx, y + dy, ch);
  return sum;
}

void ReferenceSharpen(Picture& p, std::uint32_t w, std::uint32_t h, std::int32_t s) {
  for (std::uint32_t y = 1; y + 1 < h; ++y)
    for (std::uint32_t x = 1; x + 1 < w; ++x)
      for (int ch = 0; ch < 3; ++ch) {
        const std::int64_t m = WindowSum(p, w, x, y, ch) / 9;
        // Wrapped to 32 bits, as the pin's arithmetic is.
        const auto v = static_cast<std::int32_t>(m + (At(p, w, x, y, ch) - m) * s);
        p[4 * (y * w + x) + ch] = static_cast<std::uint8_t>(std::clamp<std::int32_t>(v, 0, 255));
      }
}

void ReferenceSmooth(Picture& p, std::uint32_t w, std::uint32_t h, std::int32_t t) {
  for (std::uint32_t y = 1; y + 1 < h; ++y)
    for (std::uint32_t x = 1; x + 1 < w; ++x) {
      const std::int32_t mb = WindowSum(p, w, x, y, 0) / 9;
      bool near = true;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) near = near && std::abs(At(p, w, x + dx, y + dy, 0) - mb) < t;
      if (!near) continue;
      std::int32_t means[3];
      for (int ch = 0; ch < 3; ++ch) means[ch] = WindowSum(p, w, x, y, ch) / 9;
      for (int ch = 0; ch < 3; ++ch) p[4 * (y * w + x) + ch] = static_cast<std::uint8_t>(means[ch]);
    }
}

const char* Named(Instructions instructions) {
  return instructions == Instructions::kBaseline ? " baseline" : " fastest";
}

TEST(BrightnessContrastTest, ChannelRuleAtItsCorners) {
  EXPECT_EQ(BrightnessContrast::AdjustChannel(200, 0, 50), 255);  // 266 before the clamp
  EXPECT_EQ(BrightnessContrast::AdjustChannel(100, 0, 50), 70);   // (10000 - 6400) / 51
  for (int v : {0, 77, 255}) EXPECT_EQ(BrightnessContrast::AdjustChannel(v, 0, -100), 128);
  EXPECT_EQ(BrightnessContrast::AdjustChannel(10, 0, -50), 69);  // (500 + 6400) / 100
  EXPECT_EQ(BrightnessContrast::AdjustChannel(0, 100, 0), 128);
  EXPECT_EQ(BrightnessContrast::AdjustChannel(10, -1, 0), 9);
  EXPECT_EQ(BrightnessContrast::AdjustChannel(10, -2, 0), 8);  // -256 / 100 truncates to -2
  // Contrast 100: 128 and below to 0, 131 and above to 255.
  EXPECT_EQ(BrightnessContrast::AdjustChannel(128, 0, 100), 0);
  EXPECT_EQ(BrightnessContrast::AdjustChannel(129, 0, 100), 100);
  EXPECT_EQ(BrightnessContrast::AdjustChannel(130, 0, 100), 200);
  EXPECT_EQ(BrightnessContrast::AdjustChannel(131, 0, 100), 255);
  // No clamp between contrast and brightness: 374 - 20 stays above 255.
  EXPECT_EQ(BrightnessContrast::AdjustChannel(255, -16, 50), 255);
  EXPECT_EQ(BrightnessContrast::AdjustChannel(0, 100, 100), 0);  // -12800 + 128
  // 101 skips the division; above it the picture inverts.
  EXPECT_EQ(BrightnessContrast::AdjustChannel(130, 0, 101), 72);
  EXPECT_EQ(BrightnessContrast::AdjustChannel(0, 0, 102), 255);
  EXPECT_EQ(BrightnessContrast::AdjustChannel(255, 0, 102), 0);
  // Wrapping 32-bit arithmetic: defined for any setting (the sanitiser build
  // checks there is no overflow).
  for (std::int32_t k : {INT_MIN, INT_MIN + 1, -101, 103, INT_MAX})
    for (std::int32_t b : {INT_MIN, -1, INT_MAX}) BrightnessContrast::AdjustChannel(200, b, k);
}

TEST(BrightnessContrastTest, EitherInstructionsFollowTheRuleForAnySetting) {
  // 37 x 3 pixels: whole vector blocks and a remainder. One object per kind
  // of instructions, so that each setting must replace the one before; the
  // brightnesses end where they begin, so that from one contrast to the next
  // only the contrast changes.
  const Picture original = RandomPicture(37, 3, 5);
  for (auto instructions : {Instructions::kFastest, Instructions::kBaseline}) {
    BrightnessContrast adjust(instructions);
    for (std::int32_t k : {0, 1, 20, 50, 78, 99, 100, 101, 102, -1, -50, -99, -100, -101, INT_MIN, INT_MAX})
      for (std::int32_t b : {0, 10, -1, 100, -100, 250, -250, 1000, INT_MIN, INT_MAX, 0}) {
        Picture picture = original;
        adjust.Apply(picture.data(), 37, 3, b, k);
        for (std::size_t i = 0; i < picture.size(); ++i)
          ASSERT_EQ(picture[i], i % 4 == 3 ? original[i] : BrightnessContrast::AdjustChannel(original[i], b, k))
              << "b=" << b << " k=" << k << " byte " << i << (adjust.Vectorised() ? " vector" : " table");
        if (instructions == Instructions::kBaseline) {
          EXPECT_FALSE(adjust.Vectorised());
        }
#ifdef VESK_HAS_X86_VECTOR_PATHS
        // The page's settings must not fall back to the table.
        const bool pageSetting = b >= -100 && b <= 100 && k >= -50 && k <= 50;
        if (instructions == Instructions::kFastest && pageSetting && platform::HasAvx2()) {
          EXPECT_TRUE(adjust.Vectorised()) << "b=" << b << " k=" << k;
        }
#endif
      }
  }
}

TEST(PictureFilterTest, MatchesTheRulesPixelByPixelOnRandomPictures) {
  // Sizes around the vector code's 8-pixel blocks, 64-step chunks and
  // 14-row bands; factors around what fits its 16-bit lanes.
  const std::pair<std::uint32_t, std::uint32_t> sizes[] = {{3, 3},  {4, 17},  {9, 16},  {17, 13}, {40, 30},
                                                           {64, 5}, {93, 31}, {701, 4}, {716, 29}};
  for (auto [w, h] : sizes)
    for (auto instructions : {Instructions::kFastest, Instructions::kBaseline}) {
      for (std::int32_t s : {2, -1, 4, -3, 63, 64, 128, 129, -127, -128, 1000000000, INT_MIN}) {
        Picture fast = RandomPicture(w, h, s + w), slow = fast;
        SharpenPicture(fast.data(), w, h, s, instructions);
        ReferenceSharpen(slow, w, h, s);
        ASSERT_EQ(fast, slow) << w << "x" << h << " s=" << s << Named(instructions);
      }
      // Blue narrowed to `spread` values around 100, so that many pixels,
      // even at threshold 1, are smoothed.
      for (std::int32_t t : {1, 3, 20, 90, 256, INT_MAX})
        for (int spread : {1, 2, 16, 60}) {
          Picture fast = RandomPicture(w, h, t + h + spread);
          for (std::size_t i = 0; i < fast.size(); i += 4) fast[i] = static_cast<std::uint8_t>(100 + fast[i] % spread);
          Picture slow = fast;
          SmoothPicture(fast.data(), w, h, t, instructions);
          ReferenceSmooth(slow, w, h, t);
          ASSERT_EQ(fast, slow) << w << "x" << h << " t=" << t << " spread " << spread << Named(instructions);
        }
    }
}

TEST(PictureFilterTest, ThinPicturesAndNeutralSettingsChangeNothing) {
  for (auto [w, h] : {std::pair{1u, 5u}, std::pair{5u, 1u}, std::pair{2u, 7u}, std::pair{7u, 2u}}) {
    const Picture original = RandomPicture(w, h, w * 10 + h);
    Picture picture = original;
    SharpenPicture(picture.data(), w, h, 3);
    SmoothPicture(picture.data(), w, h, 255);
    EXPECT_EQ(picture, original);
  }
  const Picture original = RandomPicture(9, 9, 1);
  Picture picture = original;
  SharpenPicture(picture.data(), 9, 9, 1);
  SmoothPicture(picture.data(), 9, 9, 0);
  SmoothPicture(picture.data(), 9, 9, -5);
  EXPECT_EQ(picture, original);
}

TEST(EnlargePictureTest, MatchesTheRulesPixelByPixelOnRandomPictures) {
  // Odd and even widths: the pixels are taken two at a time where they can be.
  for (std::uint32_t w : {1u, 2u, 3u, 4u, 5u, 8u, 9u, 17u}) {
    const std::uint32_t h = 3 + w % 4;
    const Picture source = RandomPicture(w, h, 7 * w + h);
    Picture output(16u * w * h, 0xEE);
    EnlargePicture(source.data(), w, h, output.data());
    const std::uint32_t ow = 2 * w;
    auto out = [&](std::uint32_t x, std::uint32_t y, int ch) { return output[4 * (y * ow + x) + ch]; };
    for (std::uint32_t y = 0; y < h; ++y)
      for (std::uint32_t x = 0; x < w; ++x)
        for (int ch = 0; ch < 4; ++ch) {
          const std::uint8_t here = At(source, w, x, y, ch);
          const std::uint8_t right = x + 1 < w ? At(source, w, x + 1, y, ch) : here;
          ASSERT_EQ(out(2 * x, 2 * y, ch), here) << w << " " << x << "," << y;
          const std::uint8_t between = x + 1 < w ? (ch == 3 ? 0 : (here + right) / 2) : here;
          ASSERT_EQ(out(2 * x + 1, 2 * y, ch), between) << w << " " << x << "," << y;
        }
    for (std::uint32_t y = 0; y + 1 < h; ++y)
      for (std::uint32_t x = 0; x < ow; ++x)
        for (int ch = 0; ch < 4; ++ch)
          ASSERT_EQ(out(x, 2 * y + 1, ch), ch == 3 ? 0 : (out(x, 2 * y, ch) + out(x, 2 * y + 2, ch)) / 2)
              << w << " " << x << "," << y;
    for (std::uint32_t x = 0; x < ow; ++x)
      for (int ch = 0; ch < 4; ++ch) ASSERT_EQ(out(x, 2 * h - 1, ch), out(x, 2 * h - 2, ch));
  }
}

}  // namespace
}  // namespace vesk::video
