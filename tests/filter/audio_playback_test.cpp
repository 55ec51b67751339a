// The filter playing a recording's audio into a host graph, as a player would.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "host/counting_sink.h"
#include "host/filter_graph.h"
#include "platform/little_endian.h"
#include "input/stream_format.h"
#include "mkrec/stream_writer.h"
#include "module/factory_table.h"
#include "vesk/splitter_settings.h"

namespace vesk {
namespace {

using namespace std::chrono_literals;

constexpr LONGLONG kSecond = 10000000;

// Audio channel 8 carries bytes counting up from 0, channel 9 from 100; one
// packet of each per second, ten seconds, an index position before each second.
std::vector<std::uint8_t> Pcm(std::uint8_t first, std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

class AudioPlaybackTest : public ::testing::Test {
 protected:
  ~AudioPlaybackTest() override {
    if (graph_) graph_->Stop();
    std::filesystem::remove(path_);
  }

  std::vector<std::uint8_t> Description(const char* options9 = "rate=8000 bits=16") {
    return mkrec::ConfigurationBuilder("DVR")
        .Channel(8, input::kChannelAudio, "PCM", "a", "rate=8000 bits=16")
        .Channel(9, input::kChannelAudio, "PCM", "b", options9)
        .bytes();
  }

  void WriteRecording(int seconds = 10, bool describeAgainHalfway = false) {
    mkrec::FileSink file(path_);
    mkrec::StreamWriter writer(file);
    writer.ChannelDescription(Description());
    for (int second = 0; second < seconds; ++second) {
      if (describeAgainHalfway && second == seconds / 2) writer.ChannelDescription(Description("rate=16000"));
      writer.IndexPosition(1000 + second);
      writer.DataPacket(8, Pcm(static_cast<std::uint8_t>(second), 400));
      writer.DataPacket(9, Pcm(static_cast<std::uint8_t>(100 + second), 300));
    }
    ASSERT_TRUE(file.Close());
  }

  void Build() {
    HRESULT hr = E_FAIL;
    IUnknown* created = module::FindFactoryEntry(CLSID_SplitterFilter)->create(nullptr, &hr);
    ASSERT_EQ(hr, S_OK);
    created->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(filter_.GetAddressOf()));
    filter_.As(IID_ISplitterSettings, &settings_);
    graph_ = host::FilterGraph::Create();
    ASSERT_EQ(graph_->AddFilter(filter_.Get(), u"source"), S_OK);
    ComPtr<IFileSourceFilter> source;
    filter_.As(IID_IFileSourceFilter, &source);
    const std::u16string name(path_.begin(), path_.end());
    ASSERT_EQ(source->Load(name.c_str(), nullptr), S_OK);

    sink_ = host::CountingSink::Create();
    sink_->SetSampleHook([this](IMediaSample& sample) {
      BYTE* data = nullptr;
      sample.GetPointer(&data);
      std::lock_guard lock(bytesLock_);
      bytes_.insert(bytes_.end(), data, data + sample.GetActualDataLength());
      if (sample.IsDiscontinuity() == S_OK) ++discontinuities_;
      REFERENCE_TIME start = -1, stop = -1;
      sample.GetTime(&start, &stop);
      if (start != 0 || stop != 1) otherTimes_ = true;
    });
    ASSERT_EQ(graph_->AddFilter(sink_.Get(), u"sink"), S_OK);
    ComPtr<IPin> out;
    ASSERT_EQ(filter_->FindPin(u"Audio", out.GetAddressOf()), S_OK);
    ASSERT_EQ(graph_->ConnectDirect(out.Get(), sink_->Pin(), nullptr), S_OK);
  }

  void PlayToEnd() {
    ASSERT_EQ(graph_->Run(), S_OK);
    ASSERT_TRUE(graph_->WaitForCompletion(10s));
    ASSERT_EQ(graph_->Stop(), S_OK);
  }

  std::vector<std::uint8_t> Bytes() {
    std::lock_guard lock(bytesLock_);
    return bytes_;
  }

  std::string path_ = (std::filesystem::temp_directory_path() /
                       ("audio-" + std::to_string(::getpid()) + ".vsk")).string();
  ComPtr<IBaseFilter> filter_;
  ComPtr<ISplitterSettings> settings_;
  ComPtr<host::FilterGraph> graph_;
  ComPtr<host::CountingSink> sink_;
  std::mutex bytesLock_;  // guards the three fields below
  std::vector<std::uint8_t> bytes_;
  int discontinuities_ = 0;
  bool otherTimes_ = false;  // a sample carried times other than 0 and 1
};

TEST_F(AudioPlaybackTest, DeliversThePcmOfTheChosenChannelUnchanged) {
  WriteRecording();
  Build();
  PlayToEnd();
  std::vector<std::uint8_t> expected;
  for (int second = 0; second < 10; ++second) {
    const auto pcm = Pcm(static_cast<std::uint8_t>(second), 400);
    expected.insert(expected.end(), pcm.begin(), pcm.end());
  }
  EXPECT_EQ(Bytes(), expected);
  EXPECT_EQ(sink_->EndOfStreams(), 1);
  EXPECT_EQ(sink_->Samples(), 10);
  EXPECT_FALSE(otherTimes_);
}

TEST_F(AudioPlaybackTest, AllChannelsOrSilence) {
  WriteRecording(3);
  Build();
  settings_->SetActiveAudio(-1);
  PlayToEnd();
  std::vector<std::uint8_t> expected;
  for (int second = 0; second < 3; ++second) {
    for (auto pcm : {Pcm(static_cast<std::uint8_t>(second), 400), Pcm(static_cast<std::uint8_t>(100 + second), 300)})
      expected.insert(expected.end(), pcm.begin(), pcm.end());
  }
  EXPECT_EQ(Bytes(), expected);

  {
    std::lock_guard lock(bytesLock_);
    bytes_.clear();
  }
  settings_->SetActiveAudio(1);
  settings_->SetMute(5);
  EXPECT_EQ(settings_->GetMute(), 5);
  ComPtr<IMediaSeeking> seeking;
  filter_.As(IID_IMediaSeeking, &seeking);
  LONGLONG start = 0;
  seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, 0);
  PlayToEnd();
  EXPECT_EQ(Bytes(), std::vector<std::uint8_t>(900, 0));
}

TEST_F(AudioPlaybackTest, EachChannelDescriptionReconnectsThePin) {
  WriteRecording(10, true);
  Build();
  PlayToEnd();
  // The connection, then one reconnection per description met in the stream
  // (the one the file begins with, and the one halfway), each marking the
  // first sample after it as a discontinuity.
  const auto types = sink_->MediaTypes();
  ASSERT_EQ(types.size(), 3u);
  EXPECT_EQ(platform::LoadLe32(types[2].Get().pbFormat + 4), 16000u);
  EXPECT_EQ(Bytes().size(), 10u * 400);
  EXPECT_EQ(discontinuities_, 2);
  char report[2048];
  settings_->GetConfigReport(report, sizeof report);
  EXPECT_NE(std::string(report).find("Audio configuration: 1, 16000, 8"), std::string::npos) << report;
}

TEST_F(AudioPlaybackTest, SeekingWhilePlayingRestartsAtTheIndexEntry) {
  WriteRecording();
  Build();
  sink_->HoldSamples();  // keeps playback near the start until the seek is done
  ASSERT_EQ(graph_->Run(), S_OK);
  ASSERT_TRUE(sink_->WaitForSamples(0, 5s));
  ComPtr<IMediaSeeking> seeking;
  ASSERT_EQ(filter_.As(IID_IMediaSeeking, &seeking), S_OK);
  LONGLONG target = 7 * kSecond + kSecond / 2;
  std::thread release([this] {
    std::this_thread::sleep_for(50ms);
    sink_->ReleaseSamples();
  });
  EXPECT_EQ(seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
  release.join();
  ASSERT_EQ(graph_->Run(), S_OK);
  ASSERT_TRUE(graph_->WaitForCompletion(10s));
  LONGLONG position = 0;
  seeking->GetCurrentPosition(&position);
  EXPECT_EQ(position, 9 * kSecond);
  // The last bytes are seconds 7, 8 and 9, after a flush and a new segment.
  const auto bytes = Bytes();
  ASSERT_GE(bytes.size(), 1200u);
  EXPECT_EQ(bytes[bytes.size() - 1200], 7);
  EXPECT_GE(sink_->Flushes(), 1);
  EXPECT_GE(sink_->NewSegments(), 1);
}

TEST_F(AudioPlaybackTest, StateChangesInAnyOrderNeverHang) {
  WriteRecording(30);
  Build();
  sink_->HoldSamples();  // the producer waits inside the sink for a free sample
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(graph_->Pause(), S_OK);
    EXPECT_EQ(graph_->Run(), S_OK);
    EXPECT_EQ(graph_->Pause(), S_OK);
    EXPECT_EQ(graph_->Stop(), S_OK);
    EXPECT_EQ(graph_->Run(), S_OK);
    EXPECT_EQ(graph_->Stop(), S_OK);
    EXPECT_EQ(graph_->Stop(), S_OK);
  }
  sink_->ReleaseSamples();
  ComPtr<IMediaSeeking> seeking;
  filter_.As(IID_IMediaSeeking, &seeking);
  LONGLONG start = 0;
  seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, 0);
  PlayToEnd();
  EXPECT_EQ(Bytes().size() % 400, 0u);
}

}  // namespace
}  // namespace vesk
