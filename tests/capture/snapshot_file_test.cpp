#include "video/snapshot_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "riff_file.h"
#include "scratch_dir.h"

namespace vesk::video {
namespace {

using capture::testing::HaveFfprobe;
using capture::testing::Le16;
using capture::testing::Le32;
using capture::testing::ReadFile;
using capture::testing::RunCommand;
using mkrec::testing::ScratchDir;

TEST(SnapshotFileTest, NamesCarryTheStreamClockInUtc) {
  // 2023-11-14 22:13:20 UTC.
  EXPECT_EQ(SnapshotFile::TimeStamp(1700000000), "_141123_221320");
  EXPECT_EQ(SnapshotFile::TimeStamp(0), "_010170_000000");
  EXPECT_EQ(SnapshotFile::SnapshotName(".\\", 1700000000), ".\\_141123_221320.bmp");
  EXPECT_EQ(SnapshotFile::RecordingName("/rec/gate", 1700000000), "/rec/gate_141123_221320.avi");
}

TEST(SnapshotFileTest, WritesHeadersThenBottomUpPixels) {
  ScratchDir dir;
  const std::string path = dir.File("shot.bmp");
  constexpr std::int32_t kWidth = 3, kHeight = 2;
  std::vector<std::uint8_t> pixels(4 * kWidth * kHeight);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i * 11 + 1);
  // A second snapshot in the same second replaces the first.
  const std::vector<std::uint8_t> larger(4 * 2 * kWidth * 2 * kHeight, 0xEE);
  ASSERT_EQ(SnapshotFile::Write(path, larger.data(), 2 * kWidth, 2 * kHeight), S_OK);
  ASSERT_EQ(SnapshotFile::Write(path, pixels.data(), kWidth, kHeight), S_OK);

  const auto b = ReadFile(path);
  ASSERT_EQ(b.size(), 54 + pixels.size());
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(Le32(b, 2), b.size());
  EXPECT_EQ(Le32(b, 6), 0u);  // both reserved words
  EXPECT_EQ(Le32(b, 10), 54u);
  EXPECT_EQ(Le32(b, 14), 40u);
  EXPECT_EQ(Le32(b, 18), static_cast<std::uint32_t>(kWidth));
  EXPECT_EQ(Le32(b, 22), static_cast<std::uint32_t>(kHeight));
  EXPECT_EQ(Le16(b, 26), 1u);
  EXPECT_EQ(Le16(b, 28), 32u);
  for (std::size_t i = 30; i < 54; ++i) EXPECT_EQ(b[i], 0) << "header byte " << i;
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + 54, b.end()), pixels);

  if (!HaveFfprobe()) GTEST_SKIP() << "ffprobe not installed: " << path << " checked by its bytes only";
  EXPECT_EQ(RunCommand("ffprobe -v error -show_entries stream=width,height -of csv=p=0 '" + path + "'"), "3,2\n");
}

TEST(SnapshotFileTest, NoPictureWritesNoFile) {
  ScratchDir dir;
  const std::string path = dir.File("none.bmp");
  EXPECT_EQ(SnapshotFile::Write(path, nullptr, 4, 4), E_POINTER);
  EXPECT_FALSE(std::filesystem::exists(path));
  const std::uint8_t pixel[4] = {};
  EXPECT_EQ(SnapshotFile::Write(dir.File("missing/x.bmp"), pixel, 1, 1), E_FAIL);
}

}  // namespace
}  // namespace vesk::video
