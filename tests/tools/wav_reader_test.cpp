#include "mkrec/wav_reader.h"

#include <gtest/gtest.h>

#include "scratch_dir.h"
#include "wav_bytes.h"

namespace vesk::mkrec {
namespace {

using testing::FmtChunk;
using testing::ScratchDir;
using testing::WavFile;

TEST(WavReaderTest, ReadsFormatAndWholeSampleFramesPastOtherChunks) {
  ScratchDir dir;
  WavReader reader;
  const auto file = WavFile(FmtChunk(1, 2, 22050, 16), {1, 2, 3, 4, 5, 6, 7});
  ASSERT_TRUE(reader.Read(dir.Write("a.wav", file)).ok());
  EXPECT_EQ(reader.format().channels, 2u);
  EXPECT_EQ(reader.format().rate, 22050u);
  EXPECT_EQ(reader.format().bits, 16u);
  // A trailing partial frame is dropped.
  EXPECT_EQ(reader.samples(), (std::vector<std::uint8_t>{1, 2, 3, 4}));
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
    const Status status = reader.Read(dir.Write("bad.wav", c.bytes));
    EXPECT_NE(status.message().find(c.expected), std::string::npos)
        << "expected '" << c.expected << "', got '" << status.message() << "'";
  }
}

}  // namespace
}  // namespace vesk::mkrec
