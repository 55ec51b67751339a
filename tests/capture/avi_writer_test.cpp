#include "vesk/avi_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <thread>
#include <utility>

#include "riff_file.h"
#include "scratch_dir.h"

namespace vesk::platform {
namespace {

using capture::testing::ParsedAvi;
using capture::testing::Fourcc;
using capture::testing::HaveFfprobe;
using capture::testing::Le32;
using capture::testing::ParseAvi;
using capture::testing::ProbeVideo;
using capture::testing::RunCommand;
using mkrec::testing::ScratchDir;

constexpr std::int32_t kWidth = 8;
constexpr std::int32_t kHeight = 6;
constexpr std::uint32_t kFrameBytes = 4 * kWidth * kHeight;
// The header lists end where the first frame begins.
constexpr std::uint32_t kHeaders = 4620;
// Each frame's chunk and its entries in 'idx1' and in the standard index.
constexpr std::uint32_t kFrameCost = 8 + kFrameBytes + 16 + 8;
// The headers of 'idx1' and of the standard index.
constexpr std::uint32_t kIndexHeaders = 8 + 32;

BITMAPINFOHEADER Format() {
  BITMAPINFOHEADER format{};
  format.biSize = 40;
  format.biWidth = kWidth;
  format.biHeight = kHeight;
  format.biPlanes = 1;
  format.biBitCount = 32;
  return format;
}

std::vector<std::uint8_t> Picture(std::uint8_t seed) {
  std::vector<std::uint8_t> picture(kFrameBytes);
  for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<std::uint8_t>(seed + i * 7);
  return picture;
}

// Checks the counts that only a finished file has right, and that every index
// leads to the frame chunks: 'idx1' to those of the first RIFF, the super index
// through the standard indexes to all of them.
void ExpectFinished(const ParsedAvi& avi, std::uint32_t frames, std::size_t riffs = 1) {
  ASSERT_EQ(avi.error, "");
  const auto& b = avi.bytes;
  EXPECT_EQ(avi.riffs, riffs);
  EXPECT_EQ(avi.frames.size(), frames);
  EXPECT_EQ(Le32(b, avi.strh + 32), frames);  // stream length
  ASSERT_NE(avi.dmlh, 0u);
  EXPECT_EQ(Le32(b, avi.dmlh), frames);  // the extended header's total
  EXPECT_EQ(Le32(b, avi.avih + 12) & 0x10, 0x10u);  // has index
  ASSERT_NE(avi.idx1, 0u);
  const std::uint32_t first = avi.idx1_size / 16;
  EXPECT_EQ(Le32(b, avi.avih + 16), first);  // total frames of the first RIFF
  ASSERT_LE(first, frames);
  for (std::uint32_t i = 0; i < first; ++i) {
    const std::size_t entry = avi.idx1 + 16 * i;
    EXPECT_EQ(Fourcc(b, entry), "00db");
    EXPECT_EQ(Le32(b, entry + 4), 0x10u);  // key frame
    EXPECT_EQ(avi.movi_type + Le32(b, entry + 8), avi.frames[i]);
    EXPECT_EQ(Le32(b, entry + 12), Le32(b, avi.frames[i] + 4));
  }

  ASSERT_NE(avi.indx, 0u);
  const std::uint32_t indexes = Le32(b, avi.indx + 4);
  ASSERT_EQ(indexes, avi.standard_indexes.size());
  std::size_t frame = 0;
  for (std::uint32_t i = 0; i < indexes; ++i) {
    const std::size_t super = avi.indx + 24 + 16 * i;
    const std::size_t ix = avi.standard_indexes[i];
    EXPECT_EQ(Le32(b, super) | (std::uint64_t{Le32(b, super + 4)} << 32), ix);
    EXPECT_EQ(Le32(b, super + 8), Le32(b, ix + 4) + 8);
    const std::uint32_t count = Le32(b, ix + 12);
    EXPECT_EQ(Le32(b, super + 12), count);
    const std::uint64_t base = Le32(b, ix + 20) | (std::uint64_t{Le32(b, ix + 24)} << 32);
    for (std::uint32_t k = 0; k < count && frame < avi.frames.size(); ++k, ++frame) {
      const std::size_t entry = ix + 32 + 8 * k;
      EXPECT_EQ(base + Le32(b, entry) - 8, avi.frames[frame]);
      EXPECT_EQ(Le32(b, entry + 4), Le32(b, avi.frames[frame] + 4));  // its size; a key frame
    }
  }
  EXPECT_EQ(frame, frames);
}

void ExpectFields(const std::vector<std::uint8_t>& b, std::size_t base, std::size_t size,
                  std::vector<std::pair<std::size_t, std::uint32_t>> fields32,
                  std::vector<std::pair<std::size_t, std::uint16_t>> fields16) {
  std::vector<std::uint8_t> expected(size);
  for (auto [at, value] : fields32)
    for (int i = 0; i < 4; ++i) expected[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  for (auto [at, value] : fields16)
    for (int i = 0; i < 2; ++i) expected[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + base, b.begin() + base + size), expected);
}

void ExpectFfprobeReads(const std::string& path, std::uint32_t frames) {
  // Called last, so a skip still leaves the RIFF walk's results standing.
  if (!HaveFfprobe()) GTEST_SKIP() << "ffprobe not installed: " << path << " checked by the RIFF walk only";
  auto fields = ProbeVideo(path);
  EXPECT_EQ(fields["unexpected"], "");
  EXPECT_EQ(fields["width"], std::to_string(kWidth));
  EXPECT_EQ(fields["height"], std::to_string(kHeight));
  // ffprobe has no count to give for a stream without frames.
  const std::string count = frames == 0 ? "N/A" : std::to_string(frames);
  EXPECT_EQ(fields["nb_frames"], count);
  EXPECT_EQ(fields["nb_read_frames"], count);
  EXPECT_EQ(RunCommand("ffmpeg -nostdin -v error -i '" + path + "' -f null -"), "");
}

TEST(AviWriterTest, WritesTheStreamHeaderFormatAndFrames) {
  ScratchDir dir;
  const std::string path = dir.File("three.avi");
  AviWriter writer;
  ASSERT_EQ(writer.Open(path, Format()), S_OK);
  for (std::uint8_t i = 0; i < 3; ++i) ASSERT_EQ(writer.Write(Picture(i).data(), kFrameBytes), S_OK);
  EXPECT_EQ(writer.FrameCount(), 3u);
  ASSERT_EQ(writer.Close(), S_OK);
  EXPECT_FALSE(writer.IsOpen());

  const ParsedAvi avi = ParseAvi(path);
  ExpectFinished(avi, 3);
  const auto& b = avi.bytes;
  const std::uint32_t w = kWidth, h = kHeight;
  // {offset, value}: 32-bit fields, then 16-bit ones; every other byte is 0.
  ExpectFields(b, avi.avih, 56, {{0, 66667}, {12, 0x10}, {16, 3}, {24, 1}, {28, kFrameBytes + 8}, {32, w}, {36, h}}, {});
  EXPECT_EQ(Fourcc(b, avi.strh), "vids");
  ExpectFields(b, avi.strh + 4, 52, {{16, 66667}, {20, 1000000}, {28, 3}, {32, kFrameBytes}, {36, 0xFFFFFFFF}},
               {{8, 8}});
  ExpectFields(b, avi.strf, 40, {{0, 40}, {4, w}, {8, h}}, {{12, 1}, {14, 32}});

  for (std::uint8_t i = 0; i < 3; ++i) {
    const std::size_t data = avi.frames[i] + 8;
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin() + data, b.begin() + data + kFrameBytes), Picture(i));
  }
  ExpectFfprobeReads(path, 3);
}

// A recording with a maximum of 1 leaves a file opened but never written.
TEST(AviWriterTest, FileWithoutFramesIsStillValid) {
  ScratchDir dir;
  const std::string path = dir.File("empty.avi");
  AviWriter writer;
  ASSERT_EQ(writer.Open(path, Format()), S_OK);
  ASSERT_EQ(writer.Close(), S_OK);
  EXPECT_EQ(writer.Close(), S_FALSE);
  ExpectFinished(ParseAvi(path), 0);
  ExpectFfprobeReads(path, 0);
}

TEST(AviWriterTest, SizeLimitEndsTheFileCleanly) {
  ScratchDir dir;
  const std::string path = dir.File("limited.avi");
  constexpr std::uint64_t kLimit = kHeaders + 4096;
  AviWriter writer(kLimit);
  ASSERT_EQ(writer.Open(path, Format()), S_OK);
  HRESULT hr = S_OK;
  std::uint32_t written = 0;
  while ((hr = writer.Write(Picture(0).data(), kFrameBytes)) == S_OK) ++written;
  EXPECT_EQ(hr, kAviFileLimitReached);
  EXPECT_FALSE(writer.IsOpen());
  EXPECT_EQ(writer.Write(Picture(0).data(), kFrameBytes), E_UNEXPECTED);

  EXPECT_EQ(written, (kLimit - kHeaders - kIndexHeaders) / kFrameCost);
  EXPECT_LE(std::filesystem::file_size(path), kLimit);
  ExpectFinished(ParseAvi(path), written);
  ExpectFfprobeReads(path, written);
}

// Small RIFFs stand in for gigabytes: frames past a RIFF's size go into
// further RIFFs, every one indexed, until the super index is full.
TEST(AviWriterTest, FramesPastARiffsSizeGoIntoFurtherRiffsUntilTheSuperIndexIsFull) {
  ScratchDir dir;
  const std::string path = dir.File("long.avi");
  constexpr std::uint32_t kFrames = 300;
  {
    AviWriter writer(AviWriter::kDefaultSizeLimit, 16 * 1024);
    ASSERT_EQ(writer.Open(path, Format()), S_OK);
    for (std::uint32_t i = 0; i < kFrames; ++i)
      ASSERT_EQ(writer.Write(Picture(static_cast<std::uint8_t>(i)).data(), kFrameBytes), S_OK);
  }
  const ParsedAvi avi = ParseAvi(path);
  // The first RIFF's headers take 4620 bytes; each further RIFF holds 68 frames.
  ExpectFinished(avi, kFrames, 1 + (kFrames - (16 * 1024 - kHeaders - kIndexHeaders) / kFrameCost + 67) / 68);
  const std::size_t last = avi.frames.back() + 8;
  EXPECT_EQ(std::vector<std::uint8_t>(avi.bytes.begin() + last, avi.bytes.begin() + last + kFrameBytes),
            Picture(static_cast<std::uint8_t>(kFrames - 1)));

  const std::string full = dir.File("full.avi");
  AviWriter writer(AviWriter::kDefaultSizeLimit, 512);  // two frames a RIFF
  ASSERT_EQ(writer.Open(full, Format()), S_OK);
  HRESULT hr = S_OK;
  std::uint32_t written = 0;
  while ((hr = writer.Write(Picture(0).data(), kFrameBytes)) == S_OK) ++written;
  EXPECT_EQ(hr, kAviFileLimitReached);
  ExpectFinished(ParseAvi(full), written, AviWriter::kMaxSegments);
  if (HaveFfprobe()) {
    EXPECT_EQ(ProbeVideo(full)["nb_read_frames"], std::to_string(written));
    EXPECT_EQ(ProbeVideo(path)["duration"], "20.000100");  // 300 frames at 66667 microseconds
  }
  ExpectFfprobeReads(path, kFrames);
}

TEST(AviWriterTest, DestructionAndReopeningFinishTheOpenFile) {
  ScratchDir dir;
  const std::string first = dir.File("first.avi");
  const std::string second = dir.File("second.avi");
  {
    AviWriter writer;
    ASSERT_EQ(writer.Open(first, Format()), S_OK);
    ASSERT_EQ(writer.Write(Picture(1).data(), kFrameBytes), S_OK);
    ASSERT_EQ(writer.Open(second, Format()), S_OK);
    EXPECT_EQ(writer.FrameCount(), 0u);
    ASSERT_EQ(writer.Write(Picture(2).data(), kFrameBytes), S_OK);
    ASSERT_EQ(writer.Write(Picture(3).data(), kFrameBytes), S_OK);
  }
  ExpectFinished(ParseAvi(first), 1);
  ExpectFinished(ParseAvi(second), 2);
}

TEST(AviWriterTest, ReportsFilesThatCannotBeWritten) {
  ScratchDir dir;
  AviWriter writer;
  EXPECT_EQ(writer.Write(Picture(0).data(), kFrameBytes), E_UNEXPECTED);
  EXPECT_EQ(writer.Open(dir.File("missing/x.avi"), Format()), HRESULT_FROM_WIN32(3));
  EXPECT_FALSE(writer.IsOpen());
  if (std::filesystem::exists("/dev/full")) {
    EXPECT_EQ(writer.Open("/dev/full", Format()), kAviDiskFull);
    EXPECT_FALSE(writer.IsOpen());
  }
}

// A file size limit of the system stands in for a full disk: the frame that does
// not fit is cut off and the file ends with the frames before it, indexed when
// the index still fits.
TEST(AviWriterTest, FailedWriteKeepsTheFramesBefore) {
  ScratchDir dir;
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  constexpr std::uint32_t kFrames = 5;
  constexpr rlim_t kWritten = kHeaders + kFrames * (8 + kFrameBytes);
  // Room for both indexes, for the standard index only, and for neither.
  for (const rlim_t room : {rlim_t{180}, rlim_t{100}, rlim_t{50}}) {
    const std::string path = dir.File("full" + std::to_string(room) + ".avi");
    AviWriter writer;
    ASSERT_EQ(writer.Open(path, Format()), S_OK);
    for (std::uint32_t i = 0; i < kFrames; ++i) ASSERT_EQ(writer.Write(Picture(0).data(), kFrameBytes), S_OK);
    rlimit small = saved;
    small.rlim_cur = kWritten + room;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const HRESULT hr = writer.Write(Picture(0).data(), kFrameBytes);
    const bool closed = !writer.IsOpen();
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
    EXPECT_EQ(hr, kAviFileLimitReached);
    EXPECT_TRUE(closed);

    const ParsedAvi avi = ParseAvi(path);
    if (room >= kIndexHeaders + (kFrameCost - 8 - kFrameBytes) * kFrames) {
      ExpectFinished(avi, kFrames);
    } else {
      ASSERT_EQ(avi.error, "");
      EXPECT_EQ(avi.frames.size(), kFrames);
      EXPECT_EQ(avi.idx1, 0u);
      EXPECT_EQ(Le32(avi.bytes, avi.avih + 12) & 0x10, 0u);  // no index
    }
    ExpectFfprobeReads(path, kFrames);
  }
}

// The settings thread stops the recording while the composing thread writes:
// every frame reported written is in the finished file, and nothing after it.
TEST(AviWriterTest, CloseWhileAnotherThreadWrites) {
  ScratchDir dir;
  const std::string path = dir.File("stopped.avi");
  AviWriter writer;
  ASSERT_EQ(writer.Open(path, Format()), S_OK);
  const auto picture = Picture(5);
  std::uint32_t accepted = 0;
  std::thread producer([&] {
    for (int i = 0; i < 500; ++i)
      if (writer.Write(picture.data(), kFrameBytes) == S_OK) ++accepted;
  });
  while (writer.FrameCount() < 10) std::this_thread::yield();
  EXPECT_EQ(writer.Close(), S_OK);
  producer.join();
  ExpectFinished(ParseAvi(path), accepted);
}

}  // namespace
}  // namespace vesk::platform
