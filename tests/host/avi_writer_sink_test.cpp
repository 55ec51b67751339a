#include "host/avi_writer_sink.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "riff_file.h"
#include "test_media_types.h"
#include "writer_graph_test.h"

namespace vesk::host {
namespace {

using capture::testing::Le32;
using capture::testing::ParseAvi;
using capture::testing::ParsedAvi;

std::vector<BYTE> Picture(std::size_t bytes, BYTE seed) {
  std::vector<BYTE> picture(bytes);
  for (std::size_t i = 0; i < bytes; ++i) picture[i] = static_cast<BYTE>(seed + 3 * i);
  return picture;
}

// Fills a sample of the sink's allocator with `picture` and hands it over
// without setting its length, as the module's video pin does.
HRESULT DeliverUnsized(IPin* input, const std::vector<BYTE>& picture) {
  ComPtr<IMemInputPin> memInput;
  ComPtr<IMemAllocator> allocator;
  ComPtr<IMediaSample> sample;
  BYTE* data = nullptr;
  HRESULT hr = ComPtr<IPin>(input).As(IID_IMemInputPin, &memInput);
  if (SUCCEEDED(hr)) hr = memInput->GetAllocator(allocator.GetAddressOf());
  if (SUCCEEDED(hr)) hr = allocator->GetBuffer(sample.GetAddressOf(), nullptr, nullptr, 0);
  if (SUCCEEDED(hr)) hr = sample->GetPointer(&data);
  if (FAILED(hr)) return hr;
  std::memcpy(data, picture.data(), picture.size());
  return memInput->Receive(sample.Get());
}

std::vector<BYTE> FrameData(const ParsedAvi& avi, std::size_t frame) {
  const std::size_t at = avi.frames[frame];
  const auto begin = avi.bytes.begin() + static_cast<std::ptrdiff_t>(at + 8);
  return std::vector<BYTE>(begin, begin + Le32(avi.bytes, at + 4));
}

class AviWriterSinkTest : public test::WriterGraphTest<AviWriterSink> {
 protected:
  AviWriterSinkTest() : WriterGraphTest("out.avi") {}

  void Start(const MediaType& type, std::uint64_t size_limit = AviWriter::kDefaultSizeLimit) {
    WriterGraphTest::Start(type, AviWriterSink::Create(path_, size_limit));
  }
};

// The module's video pin sends samples without a length: a picture fills the
// start of the buffer, however large the buffer is.
TEST_F(AviWriterSinkTest, EachPictureBecomesOneFrame) {
  Start(test::RgbType(4, 2));
  const std::vector<BYTE> sized = Picture(32, 1);
  const std::vector<BYTE> unsized = Picture(32, 2);
  ASSERT_EQ(source_->Pin().Deliver(sized), S_OK);
  ASSERT_EQ(DeliverUnsized(sink_->Pin(), unsized), S_OK);
  EXPECT_FALSE(std::filesystem::exists(path_));  // nothing under the final name until the end

  source_->Pin().DeliverEndOfStream();
  const ParsedAvi avi = ParseAvi(path_);
  ASSERT_EQ(avi.error, "");
  ASSERT_EQ(avi.frames.size(), 2u);
  EXPECT_EQ(FrameData(avi, 0), sized);
  EXPECT_EQ(FrameData(avi, 1), unsized);
  EXPECT_EQ(sink_->Pictures(), 2);
  EXPECT_EQ(sink_->Width(), 4);
  EXPECT_EQ(sink_->Height(), 2);
  EXPECT_EQ(sink_->Status(), S_OK);
  EXPECT_EQ(directory_.Names().size(), 1u);
}

// Three 24-bit pixels take 9 bytes of a 12-byte row.
TEST_F(AviWriterSinkTest, Rgb24PicturesKeepTheirPaddedRows) {
  Start(test::RgbType(3, 2, 24));
  const std::vector<BYTE> picture = Picture(24, 9);
  ASSERT_EQ(source_->Pin().Deliver(picture), S_OK);
  ASSERT_EQ(source_->Pin().Deliver(Picture(18, 0)), S_OK);  // rows without padding: not a picture
  graph_->Stop();

  const ParsedAvi avi = ParseAvi(path_);
  ASSERT_EQ(avi.error, "");
  ASSERT_EQ(avi.frames.size(), 1u);
  EXPECT_EQ(FrameData(avi, 0), picture);
  EXPECT_EQ(capture::testing::Le16(avi.bytes, avi.strf + 14), 24);
  EXPECT_EQ(sink_->DroppedPictures(), 1);
}

TEST_F(AviWriterSinkTest, PicturesOfAnotherSizeAreDroppedAndCounted) {
  Start(test::RgbType(2, 2));
  ASSERT_EQ(source_->Pin().Deliver(Picture(16, 0)), S_OK);
  source_->Pin().SetTypes({test::RgbType(4, 1)});
  ComPtr<IGraphConfig> config;
  ASSERT_EQ(ComPtr<FilterGraph>(graph_).As(IID_IGraphConfig, &config), S_OK);
  ASSERT_EQ(config->Reconnect(&source_->Pin(), nullptr, nullptr, nullptr, nullptr, 0), S_OK);
  ASSERT_EQ(source_->Pin().Deliver(Picture(16, 0)), S_OK);  // same length, other size
  config.Reset();
  graph_.Reset();  // releasing the graph finishes the file

  ASSERT_EQ(ParseAvi(path_).frames.size(), 1u);
  EXPECT_EQ(sink_->Pictures(), 1);
  EXPECT_EQ(sink_->DroppedPictures(), 1);
}

TEST_F(AviWriterSinkTest, SizeLimitEndsTheFileWithThePicturesBefore) {
  // 4620 bytes of headers, 40 for the index headers, 8 + 64 + 16 + 8 for each frame.
  Start(test::RgbType(4, 4), 4620 + 40 + 3 * 96);
  for (BYTE i = 0; i < 5; ++i) ASSERT_EQ(source_->Pin().Deliver(Picture(64, i)), S_OK);
  source_->Pin().DeliverEndOfStream();

  const ParsedAvi avi = ParseAvi(path_);
  ASSERT_EQ(avi.error, "");
  ASSERT_EQ(avi.frames.size(), 3u);
  EXPECT_EQ(FrameData(avi, 2), Picture(64, 2));
  EXPECT_TRUE(sink_->LimitReached());
  EXPECT_EQ(sink_->Pictures(), 3);
  EXPECT_EQ(sink_->DroppedPictures(), 2);
  EXPECT_EQ(sink_->Status(), S_OK);
}

TEST_F(AviWriterSinkTest, AFileThatCannotBeCreatedIsReportedOnce) {
  path_ = directory_.File("missing/out.avi");
  Start(test::RgbType(2, 2));
  EXPECT_EQ(source_->Pin().Deliver(Picture(16, 0)), HRESULT_FROM_WIN32(3));
  EXPECT_EQ(source_->Pin().Deliver(Picture(16, 1)), S_OK);
  graph_->Stop();
  EXPECT_EQ(sink_->Status(), HRESULT_FROM_WIN32(3));
  EXPECT_EQ(sink_->Pictures(), 0);
  EXPECT_EQ(sink_->DroppedPictures(), 2);
  EXPECT_TRUE(directory_.Names().empty());
}

}  // namespace
}  // namespace vesk::host
