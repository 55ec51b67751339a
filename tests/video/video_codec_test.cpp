#include "video/video_codec.h"

#include <gtest/gtest.h>
#include <xvid.h>

#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "trace_capture.h"
#include "xvid_frames.h"

namespace vesk::video {
namespace {

using reference::EncodeFrames;
using reference::ReferenceDecoder;

constexpr std::uint32_t kWidth = 64;
constexpr std::uint32_t kHeight = 48;

AM_MEDIA_TYPE MediaType(const GUID& subtype, VIDEOINFOHEADER& format, WORD bitCount) {
  format = {};
  format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  format.bmiHeader.biWidth = 2 * kWidth;
  format.bmiHeader.biHeight = 2 * kHeight;
  format.bmiHeader.biBitCount = bitCount;
  AM_MEDIA_TYPE type{};
  type.majortype = MEDIATYPE_Video;
  type.subtype = subtype;
  type.formattype = FORMAT_VideoInfo;
  type.cbFormat = sizeof format;
  type.pbFormat = reinterpret_cast<BYTE*>(&format);
  return type;
}

class VideoCodecTest : public ::testing::Test {
 protected:
  std::uint32_t size_[2] = {kWidth, kHeight};
  VIDEOINFOHEADER format_{};
};

TEST_F(VideoCodecTest, DecodesAsXvidcoreDoesBottomUp) {
  const auto frames = EncodeFrames(kWidth, kHeight, 12);
  CVideoCodec codec(size_);
  ASSERT_TRUE(codec.HasDecoder());
  ASSERT_EQ(codec.SetMediaType(MediaType(MEDIASUBTYPE_RGB32, format_, 32)), S_OK);
  EXPECT_EQ(codec.ColourSpace(), static_cast<int>(0x80000040u));
  EXPECT_EQ(codec.Stride(), static_cast<int>(4 * kWidth));
  ReferenceDecoder flipped(XVID_CSP_BGRA | XVID_CSP_VFLIP, kWidth, kHeight);
  const std::size_t row = 4 * kWidth;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const auto& bytes = frames[i].bytes;
    ASSERT_EQ(codec.DecodeFrame(bytes.data(), static_cast<std::uint32_t>(bytes.size())), bytes.size());
    const auto& expected = flipped.Decode(bytes);
    ASSERT_EQ(std::memcmp(codec.Picture(), expected.data(), expected.size()), 0) << "frame " << i;
  }
  // The test picture is not black: something was decoded at all.
  EXPECT_NE(std::count(codec.Picture(), codec.Picture() + row * kHeight, 0), static_cast<long>(row * kHeight));
}

// The grid takes a picture into a tile with rows twice as long as its own.
TEST_F(VideoCodecTest, CopiesThePictureAsDecodedOrAsChangedIntoLongerRows) {
  // 64 wide decodes through xvidcore's planes, 56 wide straight into the picture.
  for (const auto& [width, height] : {std::pair{64u, 48u}, std::pair{56u, 40u}}) {
    size_[0] = width, size_[1] = height;
    const auto frames = EncodeFrames(static_cast<int>(width), static_cast<int>(height), 6);
    CVideoCodec codec(size_);
    ASSERT_EQ(codec.SetMediaType(MediaType(MEDIASUBTYPE_RGB32, format_, 32)), S_OK);
    ReferenceDecoder reference(XVID_CSP_BGRA | XVID_CSP_VFLIP, static_cast<int>(width), static_cast<int>(height));
    const std::size_t row = 4 * width;
    constexpr std::uint8_t kUntouched = 0xAB;
    std::vector<std::uint8_t> tile(2 * row * height, kUntouched);
    const auto expectTile = [&](const std::uint8_t* picture, const char* what) {
      for (std::uint32_t y = 0; y < height; ++y) {
        ASSERT_EQ(std::memcmp(&tile[2 * row * y], picture + row * y, row), 0) << what << ", row " << y;
        ASSERT_EQ(std::count(&tile[2 * row * y + row], &tile[2 * row * (y + 1)], kUntouched),
                  static_cast<long>(row)) << what << ": wrote past row " << y;
      }
    };
    // A frame that needs a key frame before it decodes to nothing: black.
    const std::vector<std::uint8_t> black(row * height);
    const auto& early = frames[1].bytes;
    codec.DecodeFrame(early.data(), static_cast<std::uint32_t>(early.size()));
    codec.CopyPicture(tile.data(), 2 * row);
    expectTile(black.data(), "before a key frame");
    for (std::size_t i = 0; i < frames.size(); ++i) {
      const auto& bytes = frames[i].bytes;
      codec.DecodeFrame(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
      const auto& expected = reference.Decode(bytes);
      codec.CopyPicture(tile.data(), 2 * row);
      expectTile(expected.data(), "as decoded");
      // A picture changed in place is what the next copy takes.
      if (i == 2) {
        std::fill_n(codec.Picture() + row, row, 7);
        codec.CopyPicture(tile.data(), 2 * row);
        expectTile(codec.Picture(), "changed");
        EXPECT_EQ(tile[2 * row], 7);
      }
      if (i == 4) {
        codec.ClearPicture();
        codec.CopyPicture(tile.data(), 2 * row);
        expectTile(black.data(), "cleared");
        ASSERT_EQ(std::memcmp(codec.Picture(), black.data(), black.size()), 0);
      }
    }
  }
}

TEST_F(VideoCodecTest, CountsEveryFrameGivenAndTraces) {
  test::TraceCapture trace;
  const auto frames = EncodeFrames(kWidth, kHeight, 2);
  CVideoCodec codec(size_);
  EXPECT_TRUE(trace.Saw("CVideoCodec::CVideoCodec, x=64, y=48"));
  EXPECT_TRUE(codec.HasData());
  ASSERT_EQ(codec.SetMediaType(MediaType(MEDIASUBTYPE_RGB32, format_, 32)), S_OK);
  const auto& first = frames[0].bytes;
  codec.DecodeFrame(first.data(), static_cast<std::uint32_t>(first.size()));
  EXPECT_TRUE(trace.Saw("CVideoCodec used bytes = " + std::to_string(first.size()) + ", " +
                        std::to_string(first.size())));
  EXPECT_EQ(codec.DecodeFrame(first.data(), 0), 0u);  // empty input still counts
  EXPECT_EQ(codec.FrameCount(), 2u);
  EXPECT_EQ(codec.ByteCount(), first.size());
  // A new media type restarts the frame count only.
  ASSERT_EQ(codec.SetMediaType(MediaType(MEDIASUBTYPE_RGB32, format_, 32)), S_OK);
  EXPECT_EQ(codec.FrameCount(), 0u);
  EXPECT_EQ(codec.ByteCount(), first.size());
  codec.ResetCounts();
  EXPECT_EQ(codec.ByteCount(), 0u);
}

TEST_F(VideoCodecTest, MapsSubtypesAndDecodesOnlyThirtyTwoBitRgb) {
  const auto frames = EncodeFrames(kWidth, kHeight, 1);
  const auto& bytes = frames[0].bytes;
  const auto length = static_cast<std::uint32_t>(bytes.size());
  struct Case {
    GUID subtype;
    WORD bits;
    int colourSpace;
  };
  const GUID yv12 = {0x32315659, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  const GUID uyvy = {0x59565955, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  for (const Case& c : {Case{MEDIASUBTYPE_RGB24, 24, static_cast<int>(0x80000200u)},
                        Case{MEDIASUBTYPE_RGB565, 16, static_cast<int>(0x80000800u)},
                        Case{MEDIASUBTYPE_RGB555, 16, static_cast<int>(0x80000400u)},
                        Case{yv12, 12, 0x4}, Case{uyvy, 16, 0x10}}) {
    CVideoCodec codec(size_);
    ASSERT_EQ(codec.SetMediaType(MediaType(c.subtype, format_, c.bits)), S_OK);
    EXPECT_EQ(codec.ColourSpace(), c.colourSpace);
    EXPECT_EQ(codec.Stride(), static_cast<int>(c.bits / 8 * kWidth));
    EXPECT_EQ(codec.DecodeFrame(bytes.data(), length), 0u);
    EXPECT_EQ(codec.FrameCount(), 1u);
    EXPECT_EQ(codec.ByteCount(), length);
  }
  // A 32-bit count under a planar subtype would overrun the buffer: refused.
  CVideoCodec planar(size_);
  ASSERT_EQ(planar.SetMediaType(MediaType(yv12, format_, 32)), S_OK);
  EXPECT_EQ(planar.DecodeFrame(bytes.data(), length), 0u);
}

TEST_F(VideoCodecTest, RefusedMediaTypesLeaveNothingToDecodeInto) {
  const auto frames = EncodeFrames(kWidth, kHeight, 1);
  const auto& bytes = frames[0].bytes;
  const GUID unknown = {0x12345678, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  AM_MEDIA_TYPE wrongFormat = MediaType(MEDIASUBTYPE_RGB32, format_, 32);
  wrongFormat.formattype = FORMAT_WaveFormatEx;
  AM_MEDIA_TYPE shortFormat = MediaType(MEDIASUBTYPE_RGB32, format_, 32);
  shortFormat.cbFormat = sizeof(VIDEOINFOHEADER) - 1;
  for (const AM_MEDIA_TYPE& type : {wrongFormat, shortFormat, MediaType(unknown, format_, 32)}) {
    CVideoCodec codec(size_);
    EXPECT_EQ(codec.SetMediaType(type), S_FALSE);
    EXPECT_EQ(codec.Stride(), 0);
    EXPECT_EQ(codec.Picture(), nullptr);
    EXPECT_EQ(codec.DecodeFrame(bytes.data(), static_cast<std::uint32_t>(bytes.size())), 0u);
  }
  // A refusal keeps what an earlier media type set up.
  CVideoCodec codec(size_);
  ASSERT_EQ(codec.SetMediaType(MediaType(MEDIASUBTYPE_RGB32, format_, 32)), S_OK);
  EXPECT_EQ(codec.SetMediaType(wrongFormat), S_FALSE);
  EXPECT_NE(codec.Picture(), nullptr);
  EXPECT_EQ(codec.DecodeFrame(bytes.data(), static_cast<std::uint32_t>(bytes.size())), bytes.size());
  // The pin's size changed without a new media type: the buffer no longer fits.
  size_[1] = 2 * kHeight;
  EXPECT_EQ(codec.DecodeFrame(bytes.data(), static_cast<std::uint32_t>(bytes.size())), 0u);
}

TEST_F(VideoCodecTest, SurvivesForeignSizesTruncatedAndRandomInput) {
  CVideoCodec codec(size_);
  ASSERT_EQ(codec.SetMediaType(MediaType(MEDIASUBTYPE_RGB32, format_, 32)), S_OK);
  // A stream of another size than the camera's.
  for (const auto& frame : EncodeFrames(2 * kWidth, 2 * kHeight, 3, 1))
    codec.DecodeFrame(frame.bytes.data(), static_cast<std::uint32_t>(frame.bytes.size()));

  // Cut frames and noise, with and without a stream header before them.
  const auto frames = EncodeFrames(kWidth, kHeight, 6);
  std::mt19937 random(11);
  for (const auto& frame : frames)
    for (std::size_t cut : {std::size_t{1}, std::size_t{4}, frame.bytes.size() / 2, frame.bytes.size() - 1}) {
      std::vector<std::uint8_t> bytes(frame.bytes.begin(), frame.bytes.begin() + static_cast<long>(cut));
      EXPECT_EQ(codec.DecodeFrame(bytes.data(), static_cast<std::uint32_t>(cut)), cut);
    }
  for (int i = 0; i < 200; ++i) {
    std::vector<std::uint8_t> bytes(1 + random() % 3000);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    if (i % 2) std::copy_n(frames[0].bytes.begin(), std::min<std::size_t>(40, bytes.size()), bytes.begin());
    codec.DecodeFrame(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  }
  // Still decodes a good stream afterwards.
  ReferenceDecoder reference(XVID_CSP_BGRA | XVID_CSP_VFLIP, kWidth, kHeight);
  const auto& key = frames[5].bytes;
  codec.DecodeFrame(key.data(), static_cast<std::uint32_t>(key.size()));
  const auto& expected = reference.Decode(key);
  EXPECT_EQ(std::memcmp(codec.Picture(), expected.data(), expected.size()), 0);
}

}  // namespace
}  // namespace vesk::video
