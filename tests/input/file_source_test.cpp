#include "input/file_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "scratch_dir.h"

namespace vesk::input {
namespace {

// Reads of every size, skips and seeks around the read-ahead buffer's
// edges give the file's bytes in order; a file that grows gives the rest.
TEST(FileSourceTest, ReadsSkipsAndSeeksAcrossTheReadAheadAndAGrowingEnd) {
  mkrec::testing::ScratchDir dir;
  const std::string path = dir.File("bytes");
  const auto byteAt = [](std::uint64_t offset) { return static_cast<std::uint8_t>(offset * 7 + offset / 251); };
  const auto write = [&](std::uint64_t from, std::uint64_t to, const char* mode) {
    std::vector<std::uint8_t> bytes;
    for (std::uint64_t at = from; at < to; ++at) bytes.push_back(byteAt(at));
    std::FILE* file = std::fopen(path.c_str(), mode);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
  };
  constexpr std::uint64_t kLength = 300000;
  write(0, kLength, "wb");

  FileSource source;
  ASSERT_EQ(source.Open(path), S_OK);
  std::vector<std::uint8_t> buffer(100000);
  const auto expectRead = [&](std::uint32_t size) {
    const std::uint64_t from = source.Position();
    const std::uint32_t expected = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, kLength - from));
    std::uint32_t got = 0;
    ASSERT_EQ(source.Read(buffer.data(), size, &got), S_OK);
    ASSERT_EQ(got, expected) << "at " << from;
    for (std::uint32_t i = 0; i < got; ++i) ASSERT_EQ(buffer[i], byteAt(from + i)) << "at " << from + i;
    EXPECT_EQ(source.Position(), from + got);
  };
  for (std::uint32_t size : {1u, 16u, 65535u, 3u, 65536u, 70000u, 12u})
    expectRead(size);
  ASSERT_EQ(source.Skip(5), S_OK);        // inside what was read ahead
  expectRead(40);
  ASSERT_EQ(source.Skip(80000), S_OK);    // past it: a short read-ahead follows
  expectRead(20);
  expectRead(5000);
  ASSERT_EQ(source.SeekTo(65530), S_OK);
  expectRead(100);
  ASSERT_EQ(source.SeekTo(kLength - 10), S_OK);
  expectRead(50);  // the last 10 bytes
  std::uint32_t got = 1;
  EXPECT_EQ(source.Read(buffer.data(), 10, &got), S_OK);
  EXPECT_EQ(got, 0u);

  write(kLength, kLength + 30, "ab");
  ASSERT_EQ(source.Read(buffer.data(), 50, &got), S_OK);
  ASSERT_EQ(got, 30u);
  EXPECT_EQ(buffer[29], byteAt(kLength + 29));
}

TEST(FileSourceTest, OpenReportsWhyItFailed) {
  mkrec::testing::ScratchDir dir;
  FileSource source;
  EXPECT_EQ(source.Open(dir.File("missing")), HRESULT_FROM_WIN32(2));
  EXPECT_EQ(source.Open(dir.File("")), HRESULT_FROM_WIN32(5));
  std::uint32_t got = 1;
  std::uint8_t byte;
  EXPECT_EQ(source.Read(&byte, 1, &got), E_UNEXPECTED);
  EXPECT_EQ(got, 0u);
}

}  // namespace
}  // namespace vesk::input
