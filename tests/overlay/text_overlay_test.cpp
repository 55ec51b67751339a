#include "overlay/text_overlay.h"

#include <gtest/gtest.h>

#include "test_picture.h"

namespace vesk::overlay {
namespace {

using test::TestPicture;

constexpr int kWidth = 240;
constexpr int kHeight = 160;

class TextOverlayTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string message;
    ASSERT_EQ(platform::TextRasterizer::Create(platform::TextRasterizer::kOverlayFamily, &rasterizer_, &message),
              S_OK)
        << message;
  }
  static void TearDownTestSuite() { rasterizer_.reset(); }

  void SetUp() override { ASSERT_EQ(overlay_.SetMediaType(blank_.Type()), S_OK); }

  TestPicture Drawn(bool time = false) {
    TestPicture picture = blank_;
    EXPECT_EQ(time ? overlay_.DrawTime(picture.Data(), picture.Size()) : overlay_.Draw(picture.Data(), picture.Size()),
              S_OK);
    return picture;
  }
  TestPicture::Box DrawnBox(bool time = false) { return Drawn(time).ChangedSince(blank_); }
  // The width the message "text" takes, outline and shadow included.
  int MessageWidth(std::string_view text) {
    overlay_.SetMessage(text);
    const TestPicture::Box box = DrawnBox();
    return box.right - box.left + 1;
  }

  static inline std::unique_ptr<platform::TextRasterizer> rasterizer_;
  TestPicture blank_{MEDIASUBTYPE_RGB32, 32, kWidth, kHeight, 0x40};
  TextOverlay overlay_{*rasterizer_, 0, 0};
};

TEST_F(TextOverlayTest, DrawsNothingBeforeItHasAMediaType) {
  TextOverlay fresh(*rasterizer_, 0, 0);
  fresh.SetMessage("hello");
  TestPicture picture = blank_;
  EXPECT_EQ(fresh.Draw(picture.Data(), picture.Size()), S_FALSE);
  EXPECT_TRUE(picture.ChangedSince(blank_).Empty());
  EXPECT_EQ(overlay_.Draw(picture.Data(), picture.Size() - 1), E_INVALIDARG);
}

// A line whose item is shown still takes its 20 rows when its text was never
// set, so each line's place shows as a shift of the next one.
TEST_F(TextOverlayTest, StatisticsLinesHangFromTheTopTwentyRowsApart) {
  overlay_.Show(OverlayItem::kActivity, true);
  overlay_.SetActivity(255);
  const TestPicture::Box alone = DrawnBox();
  ASSERT_FALSE(alone.Empty());
  EXPECT_GE(alone.top, kHeight - 8);
  EXPECT_LE(alone.left, 3);

  int shift = 0;
  for (OverlayItem before : {OverlayItem::kFps, OverlayItem::kBps, OverlayItem::kTotalBps}) {
    overlay_.Show(before, true);
    shift += 20;
    const TestPicture::Box box = DrawnBox();
    EXPECT_EQ(box.top, alone.top - shift);
    EXPECT_EQ(box.bottom, alone.bottom - shift);
  }
  overlay_.SetFps(25.0);  // fps is the top line
  EXPECT_EQ(DrawnBox().top, alone.top);
}

TEST_F(TextOverlayTest, MessageIsCentredAndHangsFromItsRow) {
  overlay_.SetMessage("camera lost");
  const TestPicture::Box low = DrawnBox();
  ASSERT_FALSE(low.Empty());
  EXPECT_NEAR((low.left + low.right) / 2.0, kWidth / 2.0, 3.0);
  EXPECT_LE(low.bottom, 6);  // hangs below a tenth of the height, so it is pushed up to the bottom edge
  EXPECT_LE(low.top, 2 * kHeight / 10);

  overlay_.SetMessagePosition(25, 75, true);
  const TestPicture::Box placed = DrawnBox();
  EXPECT_NEAR((placed.left + placed.right) / 2.0, kWidth / 4.0, 3.0);
  EXPECT_LT(placed.top, kHeight * 3 / 4);
  EXPECT_GE(placed.top, kHeight * 3 / 4 - 4);
}

TEST_F(TextOverlayTest, MessageWrapsWithinTheRegionWidthLessSix) {
  const int lineWidth = MessageWidth("wraps here");
  const int lineHeight = DrawnBox().top - DrawnBox().bottom;
  // The drawn box is the text's extent plus the outline's 2 pixels on the
  // left and the shadow's 3 on the right: region = extent + 6 still fits.
  const int extent = lineWidth - 5;
  overlay_.SetRegion(extent + 6, kHeight, 0, 0);
  overlay_.SetMessage("wraps here");
  EXPECT_EQ(DrawnBox().top - DrawnBox().bottom, lineHeight);
  overlay_.SetRegion(extent + 5, kHeight, 0, 0);
  overlay_.SetMessage("wraps here");
  EXPECT_GT(DrawnBox().top - DrawnBox().bottom, lineHeight + 5);
}

TEST_F(TextOverlayTest, MessageShowsUntilClearedOrAged) {
  overlay_.SetMessage("status");
  EXPECT_FALSE(DrawnBox().Empty());
  overlay_.SetMessage("");
  EXPECT_TRUE(DrawnBox().Empty());

  overlay_.SetMessage("status");
  overlay_.AgeMessage();
  overlay_.AgeMessage();
  EXPECT_FALSE(DrawnBox().Empty());
  overlay_.AgeMessage();
  EXPECT_TRUE(DrawnBox().Empty());

  overlay_.SetMessage(" ");  // shown, but there is nothing to see
  EXPECT_TRUE(DrawnBox().Empty());
  overlay_.Show(OverlayItem::kMessage, false);
  overlay_.SetMessage("status");
  EXPECT_TRUE(DrawnBox().Empty());
}

TEST_F(TextOverlayTest, TextTallerThanThePictureIsSkipped) {
  TestPicture flat(MEDIASUBTYPE_RGB32, 32, kWidth, 12);
  ASSERT_EQ(overlay_.SetMediaType(flat.Type()), S_OK);
  overlay_.SetMessage("too tall");
  const TestPicture before = flat;
  EXPECT_EQ(overlay_.Draw(flat.Data(), flat.Size()), S_OK);
  EXPECT_TRUE(flat.ChangedSince(before).Empty());
}

TEST_F(TextOverlayTest, MarkStandsAtTheBottomLeftInRed) {
  overlay_.SetMark(true);
  const TestPicture picture = Drawn();
  const TestPicture::Box box = picture.ChangedSince(blank_);
  ASSERT_FALSE(box.Empty());
  EXPECT_LE(box.left, 3);
  EXPECT_LE(box.bottom, 8);
  EXPECT_LT(box.right, 30);
  EXPECT_LT(box.top, 30);
  bool red = false;
  for (int y = box.bottom; y <= box.top; ++y)
    for (int x = box.left; x <= box.right; ++x) red |= picture.Pixel(x, y)[2] == 0xFE && picture.Pixel(x, y)[0] == 0;
  EXPECT_TRUE(red);
  overlay_.SetMark(false);
  EXPECT_TRUE(DrawnBox().Empty());
}

TEST_F(TextOverlayTest, TimeStandsAtTheBottomRightOfTheRegion) {
  overlay_.Show(OverlayItem::kTime, true);
  overlay_.SetRegion(kWidth / 2, kHeight / 2, kWidth / 2, 0);
  overlay_.SetTime(1135516029);  // 25/12/05 13:07:09
  const TestPicture::Box box = DrawnBox(true);
  ASSERT_FALSE(box.Empty());
  EXPECT_LT(box.right, kWidth - 10);
  EXPECT_GE(box.right, kWidth - 14);
  EXPECT_GE(box.bottom, 20);  // standing on row 2 x the font size
  EXPECT_LE(box.bottom, 23);
  EXPECT_GT(box.left, kWidth / 2);
}

}  // namespace
}  // namespace vesk::overlay
