#include "overlay/picture_blender.h"

#include <gtest/gtest.h>

#include "test_picture.h"

namespace vesk::overlay {
namespace {

using test::TestPicture;

constexpr DWORD kColour = 0x00C08040;  // red 0x40, green 0x80, blue 0xC0
constexpr std::uint8_t kFill = 0xA5;

// A 7 x 7 bitmap: one text pixel in the middle (column 3, row 3), its outline
// and the shadow pixel at column 6, row 0.
TextBitmap Dot() { return TextBitmap::Paint({1, 1, {255}}, kColour); }

struct Format {
  const char* name;
  GUID subtype;
  int bits;
};

// The text pixel as the picture stores it.
std::vector<std::uint8_t> Encode(const Format& format, const std::uint8_t* bgra) {
  const int b = bgra[0], g = bgra[1], r = bgra[2];
  switch (format.bits) {
    case 32: return {bgra[0], bgra[1], bgra[2], 0};
    case 24: return {bgra[0], bgra[1], bgra[2]};
    default: {
      const int value = format.subtype == MEDIASUBTYPE_RGB565 ? ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)
                                                             : ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
      return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
    }
  }
}

TEST(PictureBlenderTest, EachFormatTakesTheTextPixelsAndKeepsTheRest) {
  const Format formats[] = {{"RGB32", MEDIASUBTYPE_RGB32, 32},
                            {"RGB24", MEDIASUBTYPE_RGB24, 24},
                            {"RGB565", MEDIASUBTYPE_RGB565, 16},
                            {"RGB555", MEDIASUBTYPE_RGB555, 16}};
  const TextBitmap dot = Dot();
  for (const Format& format : formats) {
    SCOPED_TRACE(format.name);
    // Nine columns leave padding at the end of the 24- and 16-bit rows.
    TestPicture picture(format.subtype, format.bits, 9, 8, kFill);
    TestPicture expected(format.subtype, format.bits, 9, 8, kFill);
    PictureBlender blender;
    ASSERT_EQ(PictureBlender::ForMediaType(picture.Type(), &blender), S_OK);
    ASSERT_EQ(blender.PictureBytes(), picture.Size());
    ASSERT_EQ(blender.Place(dot, 1, 1, Horizontal::kLeftEdge, Vertical::kStanding, picture.Data()), S_OK);

    for (int row = 0; row < 7; ++row)
      for (int column = 0; column < 7; ++column) {
        const std::uint8_t* text = dot.Row(row) + column * 4;
        if (text[3] != 0) continue;
        const std::vector<std::uint8_t> value = Encode(format, text);
        std::memcpy(const_cast<std::uint8_t*>(expected.Pixel(column + 1, row + 1)), value.data(), value.size());
      }
    EXPECT_EQ(picture.Bytes(), expected.Bytes());
    const std::vector<std::uint8_t> colour = Encode(format, dot.Row(3) + 3 * 4);
    EXPECT_EQ(std::memcmp(picture.Pixel(4, 4), colour.data(), colour.size()), 0);
  }
}

struct Placement {
  int x, y;
  Horizontal horizontal;
  Vertical vertical;
  int left, bottom;  // where the bitmap's bottom left corner lands
};

TEST(PictureBlenderTest, AnchorsModesAndEdgesDecideWhereTheBitmapLands) {
  const Placement cases[] = {
      {10, 8, Horizontal::kCentre, Vertical::kCentre, 7, 5},
      {10, 8, Horizontal::kRightEdge, Vertical::kStanding, 3, 8},
      {10, 8, Horizontal::kLeftEdge, Vertical::kHanging, 10, 1},
      {0, 0, Horizontal::kCentre, Vertical::kCentre, 0, 0},        // pushed up and right
      {19, 15, Horizontal::kLeftEdge, Vertical::kStanding, 13, 9},  // pushed down and left
      {2, 3, Horizontal::kLeftEdge, Vertical::kHanging, 2, 0},
      {25, 30, Horizontal::kRightEdge, Vertical::kHanging, 13, 9},
  };
  const TextBitmap dot = Dot();
  for (const Placement& c : cases) {
    SCOPED_TRACE(testing::Message() << "anchor " << c.x << ", " << c.y);
    TestPicture before(MEDIASUBTYPE_RGB32, 32, 20, 16);
    TestPicture picture(MEDIASUBTYPE_RGB32, 32, 20, 16);
    PictureBlender blender;
    ASSERT_EQ(PictureBlender::ForMediaType(picture.Type(), &blender), S_OK);
    ASSERT_EQ(blender.Place(dot, c.x, c.y, c.horizontal, c.vertical, picture.Data()), S_OK);
    EXPECT_EQ(picture.Pixel(c.left + 3, c.bottom + 3)[2], 0x40);  // the text pixel's red
    const TestPicture::Box box = picture.ChangedSince(before);
    EXPECT_GE(box.left, c.left);
    EXPECT_GE(box.bottom, c.bottom);
    EXPECT_LE(box.right, c.left + 6);
    EXPECT_LE(box.top, c.bottom + 6);
  }
}

TEST(PictureBlenderTest, BitmapLargerThanThePictureIsNotDrawn) {
  const TextBitmap dot = Dot();
  for (const auto& [width, height] : {std::pair{6, 20}, std::pair{20, 6}}) {
    TestPicture picture(MEDIASUBTYPE_RGB32, 32, width, height, kFill);
    const TestPicture before(MEDIASUBTYPE_RGB32, 32, width, height, kFill);
    PictureBlender blender;
    ASSERT_EQ(PictureBlender::ForMediaType(picture.Type(), &blender), S_OK);
    EXPECT_EQ(blender.Place(dot, 0, 0, Horizontal::kLeftEdge, Vertical::kStanding, picture.Data()), E_FAIL);
    EXPECT_EQ(picture.Bytes(), before.Bytes());
  }
}

TEST(PictureBlenderTest, RefusesFormatsItCannotBlend) {
  PictureBlender blender;
  const GUID yuy2 = {0x32595559, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  EXPECT_EQ(PictureBlender::ForMediaType(TestPicture(yuy2, 16, 8, 8).Type(), &blender), VFW_E_INVALIDMEDIATYPE);
  // A subtype whose header disagrees about the pixel size.
  EXPECT_EQ(PictureBlender::ForMediaType(TestPicture(MEDIASUBTYPE_RGB32, 24, 8, 8).Type(), &blender),
            VFW_E_INVALIDMEDIATYPE);
}

}  // namespace
}  // namespace vesk::overlay
