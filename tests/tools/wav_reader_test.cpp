#include "mkrec/wav_reader.h"

#include <gtest/gtest.h>

#include "scratch_dir.h"
#include "wav_bytes.h"

namespace vesk::mkrec {
namespace {

using testing::FmtChunk;
using testing::ScratchDir;
using testing::WavFile;

TEST(WavReaderTest, ReadsFormatAndWholeSampleFramesPastOtherChunksPieceByPiece) {
  ScratchDir dir;
  WavReader reader;
  const auto file = WavFile(FmtChunk(1, 2, 22050, 16), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
  ASSERT_TRUE(reader.Open(dir.Write("a.wav", file)).ok());
  EXPECT_EQ(reader.format().channels, 2u);
  EXPECT_EQ(reader.format().rate, 22050u);
  EXPECT_EQ(reader.format().bits, 16u);
  // A trailing partial frame is dropped.
  EXPECT_EQ(reader.sampleBytes(), 8u);
  std::vector<std::uint8_t> got;
  for (int round = 0; round < 2; ++round) {
    std::uint8_t piece[3];
    std::size_t read = 0;
    do {
      ASSERT_TRUE(reader.Read(piece, sizeof piece, read).ok());
      got.insert(got.end(), piece, piece + read);
    } while (read > 0);
    ASSERT_TRUE(reader.Rewind().ok());
  }
  EXPECT_EQ(got, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(WavReaderTest, ExplainsFilesItCannotRead) {
  ScratchDir dir;
  std::vector<std::uint8_t> cut = WavFile(FmtChunk(1, 1, 8000, 8), std::vector<std::uint8_t>(10));
  cut.resize(cut.size() - 3);
  std::vector<std::uint8_t> noData = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  testing::AppendChunk(noData, "fmt ", FmtChunk(1, 1, 8000, 8));
  const struct {
    std::vector<std::uint8_t> bytes;
    const char* expected;
  } cases[] = {
      {WavFile(FmtChunk(3, 1, 8000, 32), {}), "format tag 3 is not plain PCM"},
      {WavFile(FmtChunk(1, 1, 8000, 24), {}), "24-bit samples"},
      {WavFile(FmtChunk(1, 6, 8000, 16), {}), "6 channels"},
      {cut, "data chunk is cut short"},
      {noData, "no data chunk"},
      {{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '}, "not a RIFF/WAVE file"},
  };
  for (const auto& c : cases) {
    WavReader reader;
    const Status status = reader.Open(dir.Write("bad.wav", c.bytes));
    EXPECT_NE(status.message().find(c.expected), std::string::npos)
        << "expected '" << c.expected << "', got '" << status.message() << "'";
  }
}

}  // namespace
}  // namespace vesk::mkrec
