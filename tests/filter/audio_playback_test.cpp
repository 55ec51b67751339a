// The filter playing a recording's audio into a host graph, as a player would.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "audio_graph.h"
#include "platform/little_endian.h"
#include "input/stream_format.h"
#include "mkrec/stream_writer.h"
#include "scratch_dir.h"

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
  std::vector<std::uint8_t> Description(const char* options9 = "rate=8000 bits=16") {
    return mkrec::ConfigurationBuilder("DVR")
        .Channel(8, input::kChannelAudio, "PCM", "a", "rate=8000 bits=16")
        .Channel(9, input::kChannelAudio, "PCM", "b", options9)
        .bytes();
  }

  void WriteRecording(int seconds = 10, bool describeAgainHalfway = false,
                      const char* options9 = "rate=8000 bits=16") {
    mkrec::FileSink file(path_);
    mkrec::StreamWriter writer(file);
    writer.ChannelDescription(Description(options9));
    for (int second = 0; second < seconds; ++second) {
      if (describeAgainHalfway && second == seconds / 2) writer.ChannelDescription(Description("rate=16000"));
      writer.IndexPosition(1000 + second);
      writer.DataPacket(8, Pcm(static_cast<std::uint8_t>(second), 400));
      writer.DataPacket(9, Pcm(static_cast<std::uint8_t>(100 + second), 300));
    }
    ASSERT_TRUE(file.Close());
  }

  void Build() { ASSERT_NO_FATAL_FAILURE(audio_.Build(path_)); }

  void PlayToEnd() {
    ASSERT_EQ(audio_.graph->Run(), S_OK);
    ASSERT_TRUE(audio_.graph->WaitForCompletion(10s));
    ASSERT_EQ(audio_.graph->Stop(), S_OK);
  }

  mkrec::testing::ScratchDir dir_;
  std::string path_ = dir_.File("audio.vsk");
  test::AudioGraph audio_;
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
  EXPECT_EQ(audio_.Bytes(), expected);
  EXPECT_EQ(audio_.sink->EndOfStreams(), 1);
  EXPECT_EQ(audio_.sink->Samples(), 10);
  EXPECT_FALSE(audio_.OtherTimes());
}

TEST_F(AudioPlaybackTest, AllChannelsOrSilence) {
  WriteRecording(3, false, "rate=8000");
  Build();
  audio_.settings->SetActiveAudio(-1);
  PlayToEnd();
  std::vector<std::uint8_t> expected;
  for (int second = 0; second < 3; ++second) {
    for (auto pcm : {Pcm(static_cast<std::uint8_t>(second), 400), Pcm(static_cast<std::uint8_t>(100 + second), 300)})
      expected.insert(expected.end(), pcm.begin(), pcm.end());
  }
  EXPECT_EQ(audio_.Bytes(), expected);

  audio_.ClearBytes();
  audio_.settings->SetActiveAudio(1);
  audio_.settings->SetMute(5);
  EXPECT_EQ(audio_.settings->GetMute(), 5);
  LONGLONG start = 0;
  audio_.Seeking()->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, 0);
  PlayToEnd();
  // The pin plays 8-bit sound, whose silence is the middle value: a zero
  // would be full negative level.
  EXPECT_EQ(audio_.Bytes(), std::vector<std::uint8_t>(900, 0x80));
}

TEST_F(AudioPlaybackTest, EachChannelDescriptionReconnectsThePin) {
  WriteRecording(10, true);
  Build();
  PlayToEnd();
  // The connection, then one reconnection per description met in the stream
  // (the one the file begins with, and the one halfway), each marking the
  // first sample after it as a discontinuity.
  const auto types = audio_.sink->MediaTypes();
  ASSERT_EQ(types.size(), 3u);
  EXPECT_EQ(platform::LoadLe32(types[2].Get().pbFormat + 4), 16000u);
  EXPECT_EQ(audio_.Bytes().size(), 10u * 400);
  EXPECT_EQ(audio_.Discontinuities(), 2);
  char report[2048];
  audio_.settings->GetConfigReport(report, sizeof report);
  EXPECT_NE(std::string(report).find("Audio configuration: 1, 16000, 8"), std::string::npos) << report;
}

TEST_F(AudioPlaybackTest, SeekingWhilePlayingRestartsAtTheIndexEntry) {
  WriteRecording();
  Build();
  audio_.sink->SetHold(host::SinkFilter::Hold::kUntilReleased);  // keeps playback near the start until the seek is done
  ASSERT_EQ(audio_.graph->Run(), S_OK);
  ASSERT_TRUE(audio_.sink->WaitForSamples(0, 5s));
  ComPtr<IMediaSeeking> seeking = audio_.Seeking();
  ASSERT_TRUE(seeking);
  LONGLONG target = 7 * kSecond + kSecond / 2;
  std::thread release([this] {
    std::this_thread::sleep_for(500ms);  // SetPositions must have begun by then, even on a loaded machine
    audio_.sink->ReleaseSamples();
  });
  EXPECT_EQ(seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
  release.join();
  ASSERT_EQ(audio_.graph->Run(), S_OK);
  ASSERT_TRUE(audio_.graph->WaitForCompletion(10s));
  LONGLONG position = 0;
  seeking->GetCurrentPosition(&position);
  EXPECT_EQ(position, 9 * kSecond);
  // The last bytes are seconds 7, 8 and 9, after a flush and a new segment.
  const auto bytes = audio_.Bytes();
  ASSERT_GE(bytes.size(), 1200u);
  EXPECT_EQ(bytes[bytes.size() - 1200], 7);
  EXPECT_GE(audio_.sink->Flushes(), 1);
  EXPECT_GE(audio_.sink->NewSegments(), 1);
}

TEST_F(AudioPlaybackTest, StateChangesInAnyOrderNeverHang) {
  WriteRecording(30);
  Build();
  audio_.sink->SetHold(host::SinkFilter::Hold::kUntilReleased);  // the producer waits inside the sink for a free sample
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(audio_.graph->Pause(), S_OK);
    EXPECT_EQ(audio_.graph->Run(), S_OK);
    EXPECT_EQ(audio_.graph->Pause(), S_OK);
    EXPECT_EQ(audio_.graph->Stop(), S_OK);
    EXPECT_EQ(audio_.graph->Run(), S_OK);
    EXPECT_EQ(audio_.graph->Stop(), S_OK);
    EXPECT_EQ(audio_.graph->Stop(), S_OK);
  }
  audio_.sink->ReleaseSamples();
  LONGLONG start = 0;
  audio_.Seeking()->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, 0);
  PlayToEnd();
  EXPECT_EQ(audio_.Bytes().size() % 400, 0u);
}

}  // namespace
}  // namespace vesk
