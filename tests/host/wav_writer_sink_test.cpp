#include "host/wav_writer_sink.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "riff_file.h"
#include "test_media_types.h"
#include "writer_graph_test.h"

namespace vesk::host {
namespace {

using capture::testing::ReadFile;
using test::FakeSource;
using test::PcmType;

std::vector<BYTE> Le32(std::uint32_t value) {
  return {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
          static_cast<BYTE>(value >> 24)};
}

// The 44-byte header of a finished file: RIFF, a 16-byte PCM format chunk, the data chunk.
std::vector<BYTE> Header(WORD channels, DWORD rate, WORD bits, std::uint32_t data_bytes) {
  const WORD block_align = static_cast<WORD>(channels * bits / 8);
  std::vector<BYTE> header = {'R', 'I', 'F', 'F'};
  auto append = [&](const std::vector<BYTE>& bytes) { header.insert(header.end(), bytes.begin(), bytes.end()); };
  append(Le32(36 + data_bytes + data_bytes % 2));
  append({'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  append(Le32(16));
  append({1, 0, static_cast<BYTE>(channels), 0});
  append(Le32(rate));
  append(Le32(rate * block_align));
  append({static_cast<BYTE>(block_align), 0, static_cast<BYTE>(bits), 0});
  append({'d', 'a', 't', 'a'});
  append(Le32(data_bytes));
  return header;
}

class WavWriterSinkTest : public test::WriterGraphTest<WavWriterSink> {
 protected:
  WavWriterSinkTest() : WriterGraphTest("out.wav") {}

  void Start(const MediaType& type) { WriterGraphTest::Start(type, WavWriterSink::Create(path_)); }
};

TEST_F(WavWriterSinkTest, EndOfStreamFinishesTheFileByteForByte) {
  Start(PcmType(2, 8000, 16));
  ASSERT_EQ(source_->Pin().Deliver({1, 2, 3, 4, 5, 6, 7, 8}), S_OK);
  ASSERT_EQ(source_->Pin().Deliver({9, 10, 11, 12}), S_OK);
  // Until the end, nothing stands under the final name.
  EXPECT_FALSE(std::filesystem::exists(path_));

  source_->Pin().DeliverEndOfStream();
  std::vector<BYTE> expected = Header(2, 8000, 16, 12);
  for (BYTE b = 1; b <= 12; ++b) expected.push_back(b);
  EXPECT_EQ(ReadFile(path_), expected);
  EXPECT_EQ(sink_->Status(), S_OK);
  // Only the finished file is left in the directory.
  EXPECT_EQ(directory_.Names().size(), 1u);
}

TEST_F(WavWriterSinkTest, OddDataGetsAPadByteAndStopFinishesTheFile) {
  Start(PcmType(1, 11025, 8));
  ASSERT_EQ(source_->Pin().Deliver({0x80, 0x81, 0x82}), S_OK);
  graph_->Stop();

  std::vector<BYTE> expected = Header(1, 11025, 8, 3);
  expected.insert(expected.end(), {0x80, 0x81, 0x82, 0});
  EXPECT_EQ(ReadFile(path_), expected);
}

TEST_F(WavWriterSinkTest, SamplesInAnotherFormatAreDroppedUntilTheFirstReturns) {
  const MediaType first = PcmType(1, 8000, 8);
  Start(first);
  ComPtr<IGraphConfig> config;
  ASSERT_EQ(ComPtr<FilterGraph>(graph_).As(IID_IGraphConfig, &config), S_OK);
  auto reconnect_to = [&](const MediaType& type) {
    source_->Pin().SetTypes({type});
    ASSERT_EQ(config->Reconnect(&source_->Pin(), nullptr, nullptr, nullptr, nullptr, 0), S_OK);
  };

  ASSERT_EQ(source_->Pin().Deliver({1, 2}), S_OK);
  reconnect_to(PcmType(2, 8000, 16));
  ASSERT_EQ(source_->Pin().Deliver({0xEE, 0xEE, 0xEE, 0xEE}), S_OK);
  reconnect_to(first);
  ASSERT_EQ(source_->Pin().Deliver({3, 4}), S_OK);
  source_->Pin().DeliverEndOfStream();

  std::vector<BYTE> expected = Header(1, 8000, 8, 4);
  expected.insert(expected.end(), {1, 2, 3, 4});
  EXPECT_EQ(ReadFile(path_), expected);
  EXPECT_EQ(sink_->DroppedSamples(), 1);
}

TEST_F(WavWriterSinkTest, RefusesAnythingButPcm) {
  source_ = FakeSource::Create({test::RgbType(8, 8)});
  sink_ = WavWriterSink::Create(path_);
  EXPECT_EQ(source_->Pin().Connect(sink_->Pin(), nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
}

TEST_F(WavWriterSinkTest, ReleasingTheGraphFinishesTheFile) {
  Start(PcmType(1, 8000, 8));
  ASSERT_EQ(source_->Pin().Deliver({7, 7}), S_OK);
  graph_.Reset();
  source_.Reset();
  sink_.Reset();

  std::vector<BYTE> expected = Header(1, 8000, 8, 2);
  expected.insert(expected.end(), {7, 7});
  EXPECT_EQ(ReadFile(path_), expected);
}

}  // namespace
}  // namespace vesk::host
