#include "mkrec/y4m_reader.h"

#include <gtest/gtest.h>

#include "scratch_dir.h"

namespace vesk::mkrec {
namespace {

using testing::ScratchDir;

std::vector<std::uint8_t> Text(const std::string& text) { return {text.begin(), text.end()}; }

// A 4x2 file whose frame k has luma k, U 100 + k and V 200 + k.
std::vector<std::uint8_t> Y4m(const std::string& header, int frames) {
  std::vector<std::uint8_t> bytes = Text(header + "\n");
  for (int k = 0; k < frames; ++k) {
    const std::vector<std::uint8_t> frame = Text("FRAME\n");
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    bytes.insert(bytes.end(), 8, static_cast<std::uint8_t>(k));
    bytes.insert(bytes.end(), 2, static_cast<std::uint8_t>(100 + k));
    bytes.insert(bytes.end(), 2, static_cast<std::uint8_t>(200 + k));
  }
  return bytes;
}

TEST(Y4mReaderTest, ReadsFramesToTheEndAndAgainAfterRewind) {
  ScratchDir dir;
  for (const char* header :
       {"YUV4MPEG2 W4 H2 F30000:1001 Ip A1:1 C420jpeg XYSCSS=420JPEG", "YUV4MPEG2 W4 H2 F25:1"}) {
    SCOPED_TRACE(header);
    Y4mReader reader;
    ASSERT_TRUE(reader.Open(dir.Write("clip.y4m", Y4m(header, 2))).ok());
    EXPECT_EQ(reader.width(), 4);
    EXPECT_EQ(reader.height(), 2);
    EXPECT_NEAR(reader.framesPerSecond(), header[17] == '3' ? 29.97 : 25.0, 0.001);
    I420Picture picture;
    bool got = false;
    for (int pass = 0; pass < 2; ++pass) {
      for (std::uint8_t k = 0; k < 2; ++k) {
        ASSERT_TRUE(reader.ReadFrame(picture, got).ok());
        ASSERT_TRUE(got);
        EXPECT_EQ(picture.y, std::vector<std::uint8_t>(8, k));
        EXPECT_EQ(picture.u, std::vector<std::uint8_t>(2, 100 + k));
        EXPECT_EQ(picture.v, std::vector<std::uint8_t>(2, 200 + k));
      }
      ASSERT_TRUE(reader.ReadFrame(picture, got).ok());
      EXPECT_FALSE(got);
      ASSERT_TRUE(reader.Rewind().ok());
    }
  }
}

TEST(Y4mReaderTest, ExplainsFilesItCannotRead) {
  ScratchDir dir;
  std::vector<std::uint8_t> cut = Y4m("YUV4MPEG2 W4 H2", 2);
  cut.pop_back();
  std::vector<std::uint8_t> noFrameHeader = Y4m("YUV4MPEG2 W4 H2", 1);
  noFrameHeader.erase(noFrameHeader.begin() + 16, noFrameHeader.begin() + 22);
  const struct {
    std::vector<std::uint8_t> bytes;
    const char* expected;
  } cases[] = {
      {Y4m("YUV4MPEG2 W4 H2 C444", 1), "C444 is not supported"},
      {Y4m("YUV4MPEG2 W4 H2 C420p10", 1), "C420p10 is not supported"},
      {Y4m("YUV4MPEG2 H2", 1), "lacks width"},
      {Y4m("YUV4MPEG2 W-4 H2", 1), "bad width"},
      {Y4m("YUV4MPEG2 W4 H2 F25:0", 1), "bad frame rate '25:0'"},
      {Y4m("RIFF W4 H2", 1), "not a YUV4MPEG2 file"},
      {cut, "frame 1 is cut short"},
      {noFrameHeader, "frame 0 lacks its FRAME header"},
  };
  for (const auto& c : cases) {
    Y4mReader reader;
    Status status = reader.Open(dir.Write("bad.y4m", c.bytes));
    if (status.ok()) {
      I420Picture picture;
      bool got = true;
      while (status.ok() && got) status = reader.ReadFrame(picture, got);
    }
    EXPECT_NE(status.message().find(c.expected), std::string::npos)
        << "expected '" << c.expected << "', got '" << status.message() << "'";
  }
  Y4mReader reader;
  EXPECT_FALSE(reader.Open(dir.File("missing.y4m")).ok());
}

}  // namespace
}  // namespace vesk::mkrec
