#include "input/file_source.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "input/packet_reader.h"
#include "mkrec/stream_writer.h"

namespace vesk::input {
namespace {

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() /
          (std::string(name) + "-" + std::to_string(::getpid()))).string();
}

TEST(FileSourceTest, ReadsSkipsAndSeeksARecording) {
  const std::string path = TempPath("file-source");
  {
    mkrec::FileSink sink(path);
    mkrec::StreamWriter writer(sink);
    writer.IndexPosition(100);
    writer.Fragment(1, std::vector<std::uint8_t>(20, 0xAB), true, true);
    writer.IndexPosition(101);
    ASSERT_TRUE(sink.Close());
  }
  FileSource source;
  ASSERT_EQ(source.Open(path), S_OK);
  PacketReader reader;
  PacketPtr packet;
  ASSERT_EQ(reader.ReadPacket(source, &packet, ReadMode::kHeadersOnly), S_OK);
  ASSERT_EQ(reader.ReadPacket(source, &packet, ReadMode::kHeadersOnly), S_OK);
  EXPECT_EQ(source.Position(), 36u);
  ASSERT_EQ(reader.ReadPacket(source, &packet, ReadMode::kHeadersOnly), S_OK);
  EXPECT_EQ(packet->time, 101u);
  EXPECT_EQ(reader.ReadPacket(source, &packet, ReadMode::kHeadersOnly), S_FALSE);

  ASSERT_EQ(source.SeekTo(12), S_OK);
  ASSERT_EQ(reader.ReadPacket(source, &packet, ReadMode::kWithData), S_OK);
  EXPECT_EQ(packet->data[19], 0xAB);
  std::remove(path.c_str());
}

TEST(FileSourceTest, OpenReportsWhyItFailed) {
  FileSource source;
  EXPECT_EQ(source.Open(TempPath("missing")), HRESULT_FROM_WIN32(2));
  EXPECT_EQ(source.Open(std::filesystem::temp_directory_path().string()), HRESULT_FROM_WIN32(5));
  std::uint32_t got = 1;
  std::uint8_t byte;
  EXPECT_EQ(source.Read(&byte, 1, &got), E_UNEXPECTED);
  EXPECT_EQ(got, 0u);
}

}  // namespace
}  // namespace vesk::input
