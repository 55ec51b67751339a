// The filter playing pictures while another thread changes what they show,
// takes snapshots and lets the picture go again: the playback ends, and the
// sanitizer builds see no race between the two threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "host/counting_sink.h"
#include "host/filter_graph.h"
#include "mkrec/recording_composer.h"
#include "mkrec/stream_writer.h"
#include "module/factory_table.h"
#include "scratch_dir.h"
#include "vesk/splitter_settings.h"

namespace vesk::filter {
namespace {

using namespace std::chrono_literals;

TEST(VideoPlaybackTest, SettingsChangeWhilePicturesFlow) {
  mkrec::testing::ScratchDir dir;
  const std::string path = dir.File("cameras.vsk");
  {
    mkrec::RecordingPlan plan;
    plan.durationSeconds = 20;
    plan.framesPerSecond = 10;
    for (std::uint8_t slot = 0; slot < 4; ++slot) plan.cameras.push_back({slot, 64, 48, "", ""});
    mkrec::FileSink file(path);
    mkrec::StreamWriter writer(file);
    ASSERT_TRUE(mkrec::RecordingComposer(plan).Write(writer).ok());
    ASSERT_TRUE(file.Close());
  }

  HRESULT hr = E_FAIL;
  IUnknown* created = module::FindFactoryEntry(CLSID_SplitterFilter)->create(nullptr, &hr);
  ASSERT_EQ(hr, S_OK);
  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(created->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(filter.GetAddressOf())), S_OK);
  ComPtr<ISplitterSettings> settings;
  ComPtr<IFileSourceFilter> source;
  ASSERT_EQ(filter.As(IID_ISplitterSettings, &settings), S_OK);
  ASSERT_EQ(filter.As(IID_IFileSourceFilter, &source), S_OK);
  auto graph = host::FilterGraph::Create();
  ASSERT_EQ(graph->AddFilter(filter.Get(), u"source"), S_OK);
  const std::u16string name(path.begin(), path.end());
  ASSERT_EQ(source->Load(name.c_str(), nullptr), S_OK);
  auto sink = host::CountingSink::Create();
  ASSERT_EQ(graph->AddFilter(sink.Get(), u"sink"), S_OK);
  ComPtr<IPin> video;
  ASSERT_EQ(filter->FindPin(u"VideoOutput0", video.GetAddressOf()), S_OK);
  ASSERT_EQ(graph->ConnectDirect(video.Get(), sink->Pin(), nullptr), S_OK);

  ASSERT_EQ(graph->Run(), S_OK);
  std::atomic<bool> done{false};
  std::thread changer([&] {
    for (LONG round = 0; !done; ++round) {
      LONG on = round & 1;
      settings->SetActiveCamera(round % 5 == 4 ? -1 : round % 4);
      settings->ShowFpsOp(OptionWrite, &on);
      settings->ShowTimeOp(OptionWrite, &on);
      settings->ShowBrightnessOp(OptionWrite, &on);
      settings->SetBrightness(round % 50);
      settings->SaveSnapshot(dir.File("snap").c_str());
      settings->SetFreezeMode(0);
      std::this_thread::sleep_for(1ms);
    }
  });
  const bool completed = graph->WaitForCompletion(60s);
  done = true;
  changer.join();
  graph->Stop();
  EXPECT_TRUE(completed);
  EXPECT_GT(sink->Samples(), 0);
  EXPECT_FALSE(dir.Names().size() < 2) << "the recording and at least one snapshot";
}

}  // namespace
}  // namespace vesk::filter
