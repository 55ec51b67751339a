#include "platform/text_rasterizer.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vesk::platform {
namespace {

// 10 points at 96 dpi, narrowed to 6 pixels a character, as the overlays draw.
constexpr FontDescription kFont{13, 6};

class TextRasterizerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string message;
    ASSERT_EQ(TextRasterizer::Create(TextRasterizer::kOverlayFamily, &rasterizer_, &message), S_OK) << message;
  }
  static void TearDownTestSuite() { rasterizer_.reset(); }

  static TextMask Render(std::string_view text, int wrapWidth = 1000, FontDescription font = kFont) {
    TextMask mask;
    EXPECT_EQ(rasterizer_->Render(font, text, wrapWidth, &mask), S_OK);
    return mask;
  }
  static int Covered(const TextMask& mask) {
    return static_cast<int>(std::count_if(mask.coverage.begin(), mask.coverage.end(), [](auto c) { return c > 0; }));
  }
  static inline std::unique_ptr<TextRasterizer> rasterizer_;
};

TEST(TextRasterizerStartTest, MissingFontIsOneClearError) {
  std::unique_ptr<TextRasterizer> rasterizer;
  std::string message;
  EXPECT_EQ(TextRasterizer::Create("Vesk No Such Family", &rasterizer, &message), HRESULT_FROM_WIN32(2));
  EXPECT_EQ(rasterizer, nullptr);
  EXPECT_NE(message.find("Vesk No Such Family"), std::string::npos) << message;
}

TEST_F(TextRasterizerTest, WrapsAtSpacesWithinTheWidth) {
  const TextMask line = Render("alpha beta gamma");
  const int widest = std::max({Render("alpha").width, Render("beta").width, Render("gamma").width});
  ASSERT_GT(line.height, 0);
  EXPECT_GT(Covered(line), 0);

  // Room for one word a line: three lines, none wider than its longest word.
  const TextMask narrow = Render("alpha beta gamma", widest);
  EXPECT_EQ(narrow.height, 3 * line.height);
  EXPECT_EQ(narrow.width, widest);

  // Exactly the width of the whole line still keeps it on one line.
  EXPECT_EQ(Render("alpha beta gamma", line.width).height, line.height);
  EXPECT_EQ(Render("alpha beta gamma", line.width - 1).height, 2 * line.height);

  EXPECT_EQ(Render("alpha\r\nbeta").height, 2 * line.height);
}

TEST_F(TextRasterizerTest, WordWiderThanTheWidthWidensTheExtent) {
  const TextMask word = Render("unbreakable");
  const TextMask mask = Render("unbreakable", 10);
  EXPECT_EQ(mask.width, word.width);
  EXPECT_EQ(mask.height, word.height);
}

TEST_F(TextRasterizerTest, CharacterWidthStretchesTheTextButNotItsHeight) {
  const TextMask narrow = Render("activity: 100%", 1000, {13, 6});
  const TextMask wide = Render("activity: 100%", 1000, {13, 12});
  EXPECT_EQ(narrow.height, wide.height);
  EXPECT_GT(wide.width, narrow.width * 3 / 2);
}

TEST_F(TextRasterizerTest, Windows1251LettersAreCyrillicGlyphs) {
  // Every letter from 0xC0 (capital A) to 0xFF (small ya) has a glyph, and
  // each its own: a letter the font lacked would show as the same empty box.
  std::vector<std::vector<std::uint8_t>> seen;
  for (int byte = 0xC0; byte <= 0xFF; ++byte) {
    const char letter = static_cast<char>(byte);
    const TextMask mask = Render(std::string_view(&letter, 1));
    EXPECT_GT(Covered(mask), 0) << "byte " << byte;
    EXPECT_EQ(std::find(seen.begin(), seen.end(), mask.coverage), seen.end()) << "byte " << byte;
    seen.push_back(mask.coverage);
  }
  EXPECT_NE(Render("\xCF\xF0\xE8\xE2\xE5\xF2").coverage, Render("??????").coverage);
}

}  // namespace
}  // namespace vesk::platform
