// The filter in a host graph that behaves as strictly as real graph managers
// and renderers do: sinks that hold a picture while paused, allocators that
// give less than asked or none, reconnections that fail or wait, channel
// descriptions that change the pictures in mid-play. Every wait is bounded,
// so a hang fails the test instead of the run.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "audio_graph.h"
#include "mkrec/recording_composer.h"
#include "mkrec/stream_writer.h"
#include "returns_within.h"
#include "scratch_dir.h"
#include "stream_walker.h"
#include "vesk/event_handle.h"

namespace vesk::filter {
namespace {

using namespace std::chrono_literals;
using host::SinkFilter;

constexpr LONGLONG kSecond = 10000000;
constexpr auto kLimit = 20s;

// The channel description the composer writes for `plan`.
std::vector<std::uint8_t> DescriptionOf(mkrec::RecordingPlan plan) {
  plan.durationSeconds = 1;
  mkrec::VectorSink stream;
  mkrec::StreamWriter writer(stream);
  EXPECT_TRUE(mkrec::RecordingComposer(plan).Write(writer).ok());
  return mkrec::testing::WalkStream(stream.bytes()).at(0).payload;
}

class StrictGraphTest : public ::testing::Test {
 protected:
  ~StrictGraphTest() override {
    if (graph_.graph) test::ReturnsWithin(kLimit, "graph call", [this] { return graph_.graph->Stop(); });
  }

  // `cameras` of 64 x 48 at 5 pictures a second and an audio channel for
  // `seconds`; at second `changeAt`, a channel description without camera 2
  // whose cameras are `changedWidth` wide.
  std::string Write(int cameras, std::uint32_t seconds, std::optional<std::uint32_t> changeAt = {},
                    int width = 64, int changedWidth = 64) {
    mkrec::RecordingPlan plan;
    plan.startTime = 1000;
    plan.durationSeconds = seconds;
    for (std::uint8_t slot = 0; slot < cameras; ++slot) plan.cameras.push_back({slot, width, width * 3 / 4, "", ""});
    plan.audio.push_back({});
    mkrec::RecordingPlan changed = plan;
    std::erase_if(changed.cameras, [](const mkrec::CameraPlan& camera) { return camera.slot == 2; });
    for (mkrec::CameraPlan& camera : changed.cameras) {
      camera.width = changedWidth;
      camera.height = changedWidth * 3 / 4;
    }
    const auto description = DescriptionOf(changed);
    if (changeAt) {
      plan.extraPackets = [=](mkrec::StreamWriter& writer, std::uint32_t second) {
        if (second == *changeAt) writer.ChannelDescription(description);
      };
    }
    const std::string path = dir_.File("recording.vsk");
    mkrec::FileSink file(path);
    mkrec::StreamWriter writer(file);
    EXPECT_TRUE(mkrec::RecordingComposer(plan).Write(writer).ok());
    EXPECT_TRUE(file.Close());
    return path;
  }

  void PlayToEnd() {
    ASSERT_EQ(graph_.graph->Run(), S_OK);
    ASSERT_TRUE(graph_.graph->WaitForCompletion(kLimit));
  }

  mkrec::testing::ScratchDir dir_;
  test::AudioGraph graph_;
};

TEST_F(StrictGraphTest, APausedRendererHoldingItsPictureStallsNeitherThePositionNorASeek) {
  ASSERT_NO_FATAL_FAILURE(graph_.Build(Write(1, 10)));
  ASSERT_NO_FATAL_FAILURE(graph_.Connect(u"VideoOutput0", graph_.video));
  // Only the video sink holds: the producer passes sound on to the next picture.
  graph_.video->SetHold(SinkFilter::Hold::kWhilePaused);
  // The new segments each picture came after: the framework's rule is that a
  // new segment reaches the sink before any sample of it.
  std::mutex lock;
  std::vector<long> segmentsSeen;
  graph_.video->SetSampleHook([&](IMediaSample&) {
    const long segments = graph_.video->NewSegments();
    std::lock_guard hold(lock);
    segmentsSeen.push_back(segments);
  });

  // One producer serves both pins: it stays inside the video sink with the first picture.
  ASSERT_EQ(graph_.graph->Pause(), S_OK);
  ASSERT_TRUE(graph_.video->WaitForSamples(1, kLimit));
  auto seeking = graph_.Seeking();
  LONGLONG position = -1;
  EXPECT_EQ(test::ReturnsWithin(2s, "GetCurrentPosition", [&] { return seeking->GetCurrentPosition(&position); }), S_OK);
  EXPECT_EQ(position, 0);

  for (long segment = 1; segment <= 3; ++segment) {
    const long before = graph_.video->Samples();
    LONGLONG target = (8 - segment) * kSecond;
    EXPECT_EQ(test::ReturnsWithin(kLimit, "SetPositions",
                                  [&] { return seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0); }),
              S_OK);
    ASSERT_TRUE(graph_.video->WaitForSamples(before + 1, kLimit));
    std::lock_guard hold(lock);
    EXPECT_EQ(segmentsSeen[static_cast<std::size_t>(before)], segment) << "a picture came before its new segment";
  }
  EXPECT_EQ(test::ReturnsWithin(2s, "GetCurrentPosition", [&] { return seeking->GetCurrentPosition(&position); }), S_OK);
  EXPECT_EQ(position, 5 * kSecond);
  PlayToEnd();
  EXPECT_EQ(graph_.video->Flushes(), 3);
}

TEST_F(StrictGraphTest, AllocatorsThatGiveLessOrNoneLeaveTheModuleItsOwn) {
  const std::string path = Write(1, 2);
  std::vector<std::uint8_t> whole;
  long pictures = -1;
  long sounds = -1;
  for (auto policy : {host::AllocatorPolicy::kOffersOwn, host::AllocatorPolicy::kOffersNone,
                      host::AllocatorPolicy::kGrantsLess, host::AllocatorPolicy::kRefusesOwn}) {
    test::AudioGraph graph;
    ASSERT_NO_FATAL_FAILURE(graph.Load(path));
    const ALLOCATOR_PROPERTIES requirements{0, 0, 64, 16};
    graph.sink->SetAllocatorPolicy(policy, requirements);
    graph.video->SetAllocatorPolicy(policy, requirements);
    ASSERT_NO_FATAL_FAILURE(graph.Connect(u"Audio", graph.sink));
    ASSERT_NO_FATAL_FAILURE(graph.Connect(u"VideoOutput0", graph.video));
    for (auto& sink : {graph.sink, graph.video}) {
      ComPtr<IMemInputPin> input;
      ASSERT_EQ(ComPtr<IPin>(sink->Pin()).As(IID_IMemInputPin, &input), S_OK);
      ComPtr<IMemAllocator> used;
      ASSERT_EQ(input->GetAllocator(used.GetAddressOf()), S_OK);
      ALLOCATOR_PROPERTIES properties{};
      used->GetProperties(&properties);
      EXPECT_EQ(properties.cbAlign, 64);  // the downstream pin's alignment and prefix are kept
      EXPECT_EQ(properties.cbPrefix, 16);
    }
    ASSERT_EQ(graph.graph->Run(), S_OK);
    ASSERT_TRUE(graph.graph->WaitForCompletion(kLimit));
    graph.graph->Stop();
    if (pictures < 0) {
      whole = graph.Bytes();
      pictures = graph.video->Samples();
      sounds = graph.sink->Samples();
    }
    EXPECT_FALSE(whole.empty());
    EXPECT_EQ(graph.Bytes(), whole);
    EXPECT_EQ(graph.video->Samples(), pictures);
    EXPECT_EQ(graph.video->Bytes(), std::int64_t{pictures} * 4 * 64 * 48 * 4) << "each picture says it carries itself";
  }

  // Samples whose memory cannot be reached: each fill fails, and each sample
  // is delivered all the same.
  test::AudioGraph hollow;
  ASSERT_NO_FATAL_FAILURE(hollow.Load(path));
  hollow.sink->SetAllocatorPolicy(host::AllocatorPolicy::kGivesNoMemory);
  ASSERT_NO_FATAL_FAILURE(hollow.Connect(u"Audio", hollow.sink));
  ASSERT_EQ(hollow.graph->Run(), S_OK);
  ASSERT_TRUE(hollow.graph->WaitForCompletion(kLimit));
  hollow.graph->Stop();
  EXPECT_EQ(hollow.sink->Samples(), sounds);
}

TEST_F(StrictGraphTest, ReconnectionsTheGraphRefusesOrKeepsWaitingDropOnePacketAndStop) {
  const std::string path = Write(0, 6, 3);
  ASSERT_NO_FATAL_FAILURE(graph_.Build(path));
  PlayToEnd();
  const long all = graph_.sink->Samples();
  graph_.graph->Stop();

  // The request of the description read at Load survives the connection: a
  // start past the description still reconnects, and marks the first sample.
  test::AudioGraph late;
  ASSERT_NO_FATAL_FAILURE(late.Build(path));
  LONGLONG second = kSecond;
  late.Seeking()->SetPositions(&second, AM_SEEKING_AbsolutePositioning, nullptr, 0);
  ASSERT_EQ(late.graph->Run(), S_OK);
  ASSERT_TRUE(late.graph->WaitForCompletion(kLimit));
  late.graph->Stop();
  EXPECT_EQ(late.sink->MediaTypes().size(), 3u);  // connection, start, the description at second 3
  EXPECT_EQ(late.Discontinuities(), 2);

  // A graph without dynamic reconnection: the packet after each request goes.
  test::AudioGraph refusing;
  ASSERT_NO_FATAL_FAILURE(refusing.Build(path));
  refusing.graph->SetReconnectPolicy(host::FilterGraph::ReconnectPolicy::kNotImplemented);
  ASSERT_EQ(refusing.graph->Run(), S_OK);
  ASSERT_TRUE(refusing.graph->WaitForCompletion(kLimit));
  refusing.graph->Stop();
  EXPECT_EQ(refusing.sink->Samples(), all - 2);
  EXPECT_EQ(refusing.sink->MediaTypes().size(), 1u);

  // A graph that waits for the pin's abort event lets go when the filter stops.
  test::AudioGraph waiting;
  ASSERT_NO_FATAL_FAILURE(waiting.Build(path));
  waiting.graph->SetReconnectPolicy(host::FilterGraph::ReconnectPolicy::kWaitsForAbort);
  ASSERT_EQ(waiting.graph->Run(), S_OK);
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(test::ReturnsWithin(kLimit, "graph call", [&] { return waiting.graph->Stop(); }), S_OK);
  EXPECT_EQ(waiting.sink->Samples(), 0);
}

TEST_F(StrictGraphTest, TheLastPictureOutlivesAReconnectionThatFails) {
  // The second description makes the cameras half as wide; the sink takes
  // only the first size, so the pin is left unconnected and its buffers go.
  ASSERT_NO_FATAL_FAILURE(graph_.Build(Write(2, 4, 2, 352, 176)));
  graph_.video->AcceptOnly([](const AM_MEDIA_TYPE& type) {
    VIDEOINFOHEADER format{};
    if (type.cbFormat < sizeof format || !type.pbFormat) return false;
    std::memcpy(&format, type.pbFormat, sizeof format);
    return format.bmiHeader.biWidth == 2 * 352;
  });
  ASSERT_NO_FATAL_FAILURE(graph_.Connect(u"VideoOutput0", graph_.video));
  ASSERT_EQ(graph_.graph->Run(), S_OK);
  for (int i = 0; i < 2000 && graph_.sink->EndOfStreams() == 0; ++i) std::this_thread::sleep_for(10ms);
  ASSERT_EQ(graph_.sink->EndOfStreams(), 1);
  ComPtr<IPin> peer;
  EXPECT_EQ(graph_.video->Pin()->ConnectedTo(peer.GetAddressOf()), VFW_E_NOT_CONNECTED);

  graph_.settings->SaveSnapshot(dir_.File("shot").c_str());
  std::vector<std::string> snapshots;
  for (const std::string& name : dir_.Names())
    if (name.rfind("shot_", 0) == 0) snapshots.push_back(name);
  ASSERT_EQ(snapshots.size(), 1u);
  EXPECT_EQ(std::filesystem::file_size(dir_.File(snapshots[0])), 54u + 4u * 704 * 528);
}

TEST_F(StrictGraphTest, SeekingBackReplaysWithTheConfigurationRecordedThere) {
  // Four cameras, five pictures a second each; camera 2 leaves at second 3.
  ASSERT_NO_FATAL_FAILURE(graph_.Build(Write(4, 6, 3)));
  ASSERT_NO_FATAL_FAILURE(graph_.Connect(u"VideoOutput0", graph_.video));
  PlayToEnd();
  for (bool stopped : {false, true}) {
    if (stopped) graph_.graph->Stop();
    const long before = graph_.video->Samples();
    const long ended = graph_.sink->EndOfStreams();
    LONGLONG second = kSecond;
    graph_.Seeking()->SetPositions(&second, AM_SEEKING_AbsolutePositioning, nullptr, 0);
    ASSERT_EQ(graph_.graph->Run(), S_OK);
    for (int i = 0; i < 2000 && graph_.sink->EndOfStreams() == ended; ++i) std::this_thread::sleep_for(10ms);
    // The description of second 0 again (one picture), seconds 1 and 2 with
    // all four cameras, the description of second 3 (one picture), then three
    // seconds of three cameras.
    EXPECT_EQ(graph_.video->Samples() - before, 1 + 2 * 5 * 4 + 1 + 3 * 5 * 3)
        << (stopped ? "seek while stopped" : "seek while running");
  }
}

// Everything a host and a user may do at once, over and over, on a recording
// with sound, four cameras and a change of configuration, with sinks that hold
// their samples while paused. The sanitizer builds see no race; nothing hangs.
TEST_F(StrictGraphTest, StormOfStateChangesSeeksSnapshotsAndSettings) {
  ASSERT_NO_FATAL_FAILURE(graph_.Load(Write(4, 8, 4)));
  graph_.sink->SetHold(SinkFilter::Hold::kWhilePaused);
  graph_.video->SetHold(SinkFilter::Hold::kWhilePaused);
  ASSERT_NO_FATAL_FAILURE(graph_.Connect(u"Audio", graph_.sink));
  ASSERT_NO_FATAL_FAILURE(graph_.Connect(u"VideoOutput0", graph_.video));
  auto seeking = graph_.Seeking();
  ComPtr<IPin> videoPin;
  ComPtr<IPinFlowControl> flow;
  ASSERT_EQ(graph_.filter->FindPin(u"VideoOutput0", videoPin.GetAddressOf()), S_OK);
  ASSERT_EQ(videoPin.As(IID_IPinFlowControl, &flow), S_OK);
  const HANDLE blocked = CreateEventHandle();
  std::atomic<bool> done{false};
  std::thread user([&] {
    for (LONG round = 0; !done; ++round) {
      // The downstream side holds the pin back for a moment, as renderers
      // do around a change of format.
      if (round % 10 == 0 && flow->Block(AM_PIN_FLOW_CONTROL_BLOCK, blocked) == S_OK) {
        std::this_thread::sleep_for(1ms);
        flow->Block(0, nullptr);
      }
      LONG on = round & 1;
      graph_.settings->SetActiveCamera(round % 5 == 4 ? -1 : round % 4);
      graph_.settings->SetActiveAudio(round % 2);
      graph_.settings->ShowFpsOp(OptionWrite, &on);
      graph_.settings->ShowTimeOp(OptionWrite, &on);
      graph_.settings->ShowBrightnessOp(OptionWrite, &on);
      graph_.settings->SetBrightness(round % 50);
      graph_.settings->SetMute(on);
      graph_.settings->SaveSnapshot(dir_.File("snap").c_str());
      graph_.settings->SetFreezeMode(0);
      LONGLONG position = 0;
      seeking->GetCurrentPosition(&position);
      std::this_thread::sleep_for(1ms);
    }
  });
  const auto until = std::chrono::steady_clock::now() + 10s;
  for (int round = 0; std::chrono::steady_clock::now() < until; ++round) {
    LONGLONG target = (round * 3 % 9) * kSecond;
    test::ReturnsWithin(kLimit, "graph call", [&] {
      switch (round % 5) {
        case 0: return graph_.graph->Run();
        case 1: return graph_.graph->Pause();
        case 2: return seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0);
        case 3: return graph_.graph->Stop();
        default: return graph_.graph->Run();
      }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(round % 7 * 5));
  }
  // Stopped first: a user's call that went in just before the last pause
  // (all cameras again, delivered at once by the caller) may wait behind the
  // producer, whom a paused renderer holds until the graph moves on.
  done = true;
  test::ReturnsWithin(kLimit, "graph call", [&] { return graph_.graph->Stop(); });
  user.join();
  CloseEventHandle(blocked);
  LONGLONG start = 0;
  seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, 0);
  graph_.sink->SetHold(SinkFilter::Hold::kNone);
  graph_.video->SetHold(SinkFilter::Hold::kNone);
  PlayToEnd();
  EXPECT_GT(graph_.video->Samples(), 0);
}

}  // namespace
}  // namespace vesk::filter
