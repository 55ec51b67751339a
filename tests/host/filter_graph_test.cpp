#include "host/filter_graph.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

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

MediaType ConnectionTypeOf(IPin& pin) {
  AM_MEDIA_TYPE type;
  EXPECT_EQ(pin.ConnectionMediaType(&type), S_OK);
  MediaType copy(type);
  FreeMediaType(type);
  return copy;
}

class FilterGraphTest : public ::testing::Test {
 protected:
  ComPtr<IGraphConfig> Config() {
    ComPtr<IGraphConfig> config;
    EXPECT_EQ(ComPtr<FilterGraph>(graph_).As(IID_IGraphConfig, &config), S_OK);
    return config;
  }

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

TEST_F(FilterGraphTest, ReconnectRenegotiatesThroughTheOutputPinsTypes) {
  const MediaType mono = PcmType(1, 8000, 8);
  const MediaType stereo = PcmType(2, 16000, 16);
  ComPtr<FakeSource> source = FakeSource::Create({mono});
  ComPtr<CountingSink> sink = CountingSink::Create();
  graph_->AddFilter(source.Get(), u"Source");
  graph_->AddFilter(sink.Get(), u"Sink");
  ASSERT_EQ(graph_->ConnectDirect(&source->Pin(), sink->Pin(), nullptr), S_OK);
  ASSERT_EQ(graph_->Run(), S_OK);
  ASSERT_EQ(source->Pin().Deliver({1, 2}), S_OK);

  source->Pin().SetTypes({stereo});
  ASSERT_EQ(Config()->Reconnect(&source->Pin(), nullptr, nullptr, nullptr, nullptr,
                                AM_GRAPH_CONFIG_RECONNECT_CACHE_REMOVED_FILTERS),
            S_OK);

  EXPECT_TRUE(stereo.Matches(ConnectionTypeOf(*sink->Pin()).Get()));
  // The new allocator is committed at once: the next sample flows.
  EXPECT_EQ(source->Pin().Deliver({3, 4, 5, 6}), S_OK);
  EXPECT_EQ(sink->Samples(), 2);
  std::vector<MediaType> seen = sink->MediaTypes();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_TRUE(mono.Matches(seen[0].Get()));
  EXPECT_TRUE(stereo.Matches(seen[1].Get()));
}

TEST_F(FilterGraphTest, ReconnectFailsWhenTheSinkRefusesTheNewType) {
  ComPtr<FakeSource> source = FakeSource::Create({PcmType(1, 8000, 8)});
  ComPtr<CountingSink> sink = CountingSink::Create();
  sink->AcceptOnly([](const AM_MEDIA_TYPE& type) { return PcmType(1, 8000, 8).Matches(type); });
  graph_->AddFilter(source.Get(), u"Source");
  graph_->AddFilter(sink.Get(), u"Sink");
  ASSERT_EQ(graph_->ConnectDirect(&source->Pin(), sink->Pin(), nullptr), S_OK);

  source->Pin().SetTypes({PcmType(2, 8000, 8)});
  EXPECT_EQ(Config()->Reconnect(&source->Pin(), sink->Pin(), nullptr, nullptr, nullptr, 0),
            VFW_E_NO_ACCEPTABLE_TYPES);
  EXPECT_EQ(source->Pin().Deliver({1}), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(Config()->Reconnect(sink->Pin(), nullptr, nullptr, nullptr, nullptr, 0),
            VFW_E_INVALID_DIRECTION);
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

TEST_F(FilterGraphTest, StopReleasesProducersBlockedInTheSinkAndInTheAllocator) {
  ComPtr<FakeSource> source = FakeSource::Create({PcmType(1, 8000, 8)});
  ComPtr<CountingSink> sink = CountingSink::Create();
  graph_->AddFilter(source.Get(), u"Source");
  graph_->AddFilter(sink.Get(), u"Sink");
  ASSERT_EQ(graph_->ConnectDirect(&source->Pin(), sink->Pin(), nullptr), S_OK);
  ASSERT_EQ(graph_->Run(), S_OK);
  sink->SetHold(host::SinkFilter::Hold::kUntilReleased);

  // The first producer holds the only sample inside Receive; the second waits for it.
  auto in_sink = std::async(std::launch::async, [&] { return source->Pin().Deliver({1}); });
  ASSERT_TRUE(sink->WaitForSamples(1, 10s));
  auto in_allocator = std::async(std::launch::async, [&] { return source->Pin().Deliver({2}); });
  std::this_thread::sleep_for(20ms);  // let it reach GetBuffer; the outcome is the same if not

  ASSERT_EQ(graph_->Stop(), S_OK);
  ASSERT_EQ(in_sink.wait_for(10s), std::future_status::ready);
  ASSERT_EQ(in_allocator.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(in_sink.get(), S_OK);
  EXPECT_EQ(in_allocator.get(), VFW_E_NOT_COMMITTED);
  EXPECT_EQ(sink->Samples(), 1);
}

TEST_F(FilterGraphTest, CompletionWaitsForEverySink) {
  ComPtr<FakeSource> audio = FakeSource::Create({PcmType(1, 8000, 8)});
  ComPtr<FakeSource> video = FakeSource::Create({test::Rgb32Type(4, 2)});
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
