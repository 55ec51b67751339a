#include "host/filter_graph.h"

#include <gtest/gtest.h>

#include <chrono>

#include "fake_source.h"
#include "host/counting_sink.h"
#include "host/null_sink.h"
#include "test_media_types.h"

namespace vesk::host {
namespace {

using namespace std::chrono_literals;
using test::FakeSource;
using test::PcmType;

FILTER_INFO InfoOf(IBaseFilter& filter) {
  FILTER_INFO info;
  EXPECT_EQ(filter.QueryFilterInfo(&info), S_OK);
  if (info.pGraph != nullptr) info.pGraph->Release();
  return info;
}

class FilterGraphTest : public ::testing::Test {
 protected:
  ComPtr<FilterGraph> graph_ = FilterGraph::Create();
};

TEST_F(FilterGraphTest, FiltersJoinUnderUniqueNamesAndLeaveDisconnected) {
  ComPtr<CountingSink> first = CountingSink::Create();
  ComPtr<CountingSink> second = CountingSink::Create();
  ComPtr<FakeSource> source = FakeSource::Create({PcmType(1, 8000, 8)});
  EXPECT_EQ(graph_->AddFilter(source.Get(), u"Source"), S_OK);
  EXPECT_EQ(graph_->AddFilter(first.Get(), u"Sink"), S_OK);
  EXPECT_EQ(graph_->AddFilter(second.Get(), u"Sink"), VFW_S_DUPLICATE_NAME);

  FILTER_INFO info = InfoOf(*second);
  EXPECT_EQ(std::u16string(info.achName), u"Sink 1");
  EXPECT_EQ(info.pGraph, static_cast<IFilterGraph*>(graph_.Get()));
  ComPtr<IBaseFilter> found;
  ASSERT_EQ(graph_->FindFilterByName(u"Sink 1", found.GetAddressOf()), S_OK);
  EXPECT_EQ(found.Get(), static_cast<IBaseFilter*>(second.Get()));
  EXPECT_EQ(graph_->FindFilterByName(u"Sink 2", found.GetAddressOf()), VFW_E_NOT_FOUND);

  ASSERT_EQ(graph_->ConnectDirect(&source->Pin(), second->Pin(), nullptr), S_OK);
  ASSERT_EQ(graph_->RemoveFilter(second.Get()), S_OK);
  EXPECT_EQ(InfoOf(*second).pGraph, nullptr);
  ComPtr<IPin> peer;
  EXPECT_EQ(second->Pin()->ConnectedTo(peer.GetAddressOf()), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(source->Pin().ConnectedTo(peer.GetAddressOf()), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(graph_->RemoveFilter(second.Get()), VFW_E_NOT_FOUND);
}

TEST_F(FilterGraphTest, StateChangesReachSinksBeforeSources) {
  ComPtr<FakeSource> source = FakeSource::Create({PcmType(1, 8000, 8)});
  ComPtr<NullSink> sink = NullSink::Create();
  // Added source first, so the order cannot come from the order of adding.
  graph_->AddFilter(source.Get(), u"Source");
  graph_->AddFilter(sink.Get(), u"Sink");
  ASSERT_EQ(graph_->ConnectDirect(&source->Pin(), sink->Pin(), nullptr), S_OK);

  ASSERT_EQ(graph_->Pause(), S_OK);
  EXPECT_EQ(source->DownstreamStateAtPause(), State_Paused);
  ASSERT_EQ(graph_->Stop(), S_OK);
  EXPECT_EQ(source->DownstreamStateAtStop(), State_Stopped);
}

TEST_F(FilterGraphTest, CompletionWaitsForEverySink) {
  ComPtr<FakeSource> audio = FakeSource::Create({PcmType(1, 8000, 8)});
  ComPtr<FakeSource> video = FakeSource::Create({test::RgbType(4, 2)});
  ComPtr<CountingSink> audio_sink = CountingSink::Create();
  ComPtr<CountingSink> video_sink = CountingSink::Create();
  ComPtr<NullSink> unconnected = NullSink::Create();
  for (IBaseFilter* filter : {static_cast<IBaseFilter*>(audio.Get()), static_cast<IBaseFilter*>(video.Get()),
                              static_cast<IBaseFilter*>(audio_sink.Get()),
                              static_cast<IBaseFilter*>(video_sink.Get()),
                              static_cast<IBaseFilter*>(unconnected.Get())}) {
    ASSERT_TRUE(SUCCEEDED(graph_->AddFilter(filter, nullptr)));
  }
  ASSERT_EQ(graph_->ConnectDirect(&audio->Pin(), audio_sink->Pin(), nullptr), S_OK);
  ASSERT_EQ(graph_->ConnectDirect(&video->Pin(), video_sink->Pin(), nullptr), S_OK);
  ASSERT_EQ(graph_->Run(), S_OK);

  audio->Pin().DeliverEndOfStream();
  EXPECT_FALSE(graph_->WaitForCompletion(0ms));
  video->Pin().DeliverEndOfStream();
  EXPECT_TRUE(graph_->WaitForCompletion(10s));
  EXPECT_EQ(audio_sink->EndOfStreams(), 1);

  // A new run waits for a new end of stream.
  graph_->Stop();
  graph_->Run();
  EXPECT_FALSE(graph_->WaitForCompletion(0ms));
}

}  // namespace
}  // namespace vesk::host
