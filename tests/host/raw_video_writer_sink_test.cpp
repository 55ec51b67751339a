#include "host/raw_video_writer_sink.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fake_source.h"
#include "host/filter_graph.h"
#include "test_media_types.h"

namespace vesk::host {
namespace {

TEST(RawVideoWriterSinkTest, AppendsWholePicturesOfTheFirstSizeOnly) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / "vesk-raw-video-test.rgb";
  std::filesystem::remove(path);
  ComPtr<FilterGraph> graph = FilterGraph::Create();
  ComPtr<test::FakeSource> source = test::FakeSource::Create({test::Rgb32Type(2, 2)}, 64);
  ComPtr<RawVideoWriterSink> sink = RawVideoWriterSink::Create(path);
  graph->AddFilter(source.Get(), u"Source");
  graph->AddFilter(sink.Get(), u"Writer");
  ASSERT_EQ(graph->ConnectDirect(&source->Pin(), sink->Pin(), nullptr), S_OK);
  ASSERT_EQ(graph->Run(), S_OK);

  std::vector<BYTE> picture(16);
  for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<BYTE>(i);
  ASSERT_EQ(source->Pin().Deliver(picture), S_OK);
  ASSERT_EQ(source->Pin().Deliver(std::vector<BYTE>(12, 0xFF)), S_OK);  // a short picture
  source->Pin().SetTypes({test::Rgb32Type(4, 1)});
  ComPtr<IGraphConfig> config;
  ASSERT_EQ(ComPtr<FilterGraph>(graph).As(IID_IGraphConfig, &config), S_OK);
  ASSERT_EQ(config->Reconnect(&source->Pin(), nullptr, nullptr, nullptr, nullptr, 0), S_OK);
  ASSERT_EQ(source->Pin().Deliver(picture), S_OK);  // same length, other size
  source->Pin().DeliverEndOfStream();

  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), picture);
  EXPECT_EQ(sink->Width(), 2);
  EXPECT_EQ(sink->Height(), 2);
  EXPECT_EQ(sink->Pictures(), 1);
  EXPECT_EQ(sink->DroppedPictures(), 2);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace vesk::host
