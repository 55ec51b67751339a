#include "probe/recording_probe.h"

#include <gtest/gtest.h>

#include <fstream>

#include "input/stream_format.h"
#include "mkrec/stream_writer.h"
#include "scratch_dir.h"

namespace vesk::probe {
namespace {

using mkrec::StreamWriter;

class RecordingProbeTest : public ::testing::Test {
 protected:
  void Save() { dir_.Write("probe.vsk", sink_.bytes()); }
  void WriteConfiguration() {
    mkrec::ConfigurationBuilder record("DVR");
    record.Channel(1, input::kChannelVideo, "xvid", "cam1", "-width 352 -height 288")
        .Channel(8, input::kChannelAudio, "pcm", "mic", "")
        .Channel(9, input::kChannelAudio, "pcm", "mic \"2\"", "rate=48000 bits=16 stereo")
        .Channel(16, input::kChannelStatus, "", "", "");
    writer_.ChannelDescription(record.bytes());
  }

  mkrec::testing::ScratchDir dir_;
  std::string path_ = dir_.File("probe.vsk");
  mkrec::VectorSink sink_;
  StreamWriter writer_{sink_};
};

TEST_F(RecordingProbeTest, SummarisesConfigurationIndexAndChannels) {
  WriteConfiguration();
  // 1 Dec 2026 23:59:58 UTC, then two seconds later.
  writer_.IndexPosition(1796169598);
  writer_.Fragment(16, std::vector<std::uint8_t>(10, 0), true, true);
  writer_.DataPacket(1, std::vector<std::uint8_t>(70000, 1));
  writer_.DataPacket(8, std::vector<std::uint8_t>(300, 2));
  writer_.IndexPosition(1796169600);
  writer_.DataPacket(1, std::vector<std::uint8_t>(5, 1));
  Save();

  std::vector<std::uint64_t> offsets;
  const ProbeResult result =
      ProbeRecording(path_, [&](std::uint64_t offset, const input::Packet&) { offsets.push_back(offset); });
  ASSERT_EQ(result.status, S_OK) << result.error;
  EXPECT_NE(result.configReport.find("Device name: DVR\r\n"), std::string::npos);
  EXPECT_NE(result.configReport.find("0x8: Audio Channel; Name: mic, Codec: pcm; State: not connected"),
            std::string::npos);
  EXPECT_EQ(offsets.size(), 7u);
  EXPECT_EQ(offsets[1], 8u + sink_.bytes()[4]);

  // Each channel with its own format: the pin plays one audio format, the
  // recording may hold several.
  EXPECT_EQ(FormatSummary(result),
            "Channels:\n"
            "  0x1: video, 352x288\n"
            "  0x8: audio, 8000 Hz, 8 bits, mono\n"
            "  0x9: audio, 48000 Hz, 16 bits, stereo\n"
            "  0x10: status\n"
            "Channel descriptions: 1\n"
            "Index positions: 2\n"
            "First time: 01/12/26 23:59:58\n"
            "Last time: 02/12/26 00:00:00\n"
            "Duration: 2 seconds\n"
            "Data packets per channel:\n"
            "  channel 0x1: 2 packets, 70005 bytes\n"
            "  channel 0x8: 1 packets, 300 bytes\n"
            "  channel 0x10: 1 packets, 10 bytes\n");
  const std::string json = FormatJson("a \"b\".vsk", result);
  EXPECT_NE(json.find("\"file\": \"a \\\"b\\\".vsk\""), std::string::npos) << json;
  EXPECT_NE(json.find("{\"number\": 9, \"kind\": \"audio\", \"name\": \"mic \\\"2\\\"\", \"codec\": \"pcm\", "
                      "\"sample_rate\": 48000, \"bits\": 16, \"audio_channels\": 2, \"packets\": 0, \"bytes\": 0}"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"duration_seconds\": 2\n}"), std::string::npos) << json;
}

TEST_F(RecordingProbeTest, NamesWhereABrokenFileStopped) {
  std::ofstream(path_) << "hello, this is text\n";
  ProbeResult result = ProbeRecording(path_);
  EXPECT_TRUE(FAILED(result.status));
  EXPECT_EQ(result.stoppedAt, 0u);
  EXPECT_NE(result.error.find("not a recorder stream"), std::string::npos) << result.error;

  WriteConfiguration();
  const std::uint64_t strayAt = writer_.Position();
  writer_.Fragment(1, std::vector<std::uint8_t>(3, 0), false, false);
  Save();
  result = ProbeRecording(path_);
  EXPECT_TRUE(FAILED(result.status));
  EXPECT_EQ(result.stoppedAt, strayAt + 4);
  EXPECT_EQ(result.channelDescriptions, 1u);

  sink_.bytes().resize(strayAt);
  writer_.DataPacket(1, std::vector<std::uint8_t>(100, 0));
  sink_.bytes().resize(sink_.bytes().size() - 1);
  Save();
  result = ProbeRecording(path_);
  EXPECT_TRUE(FAILED(result.status));
  EXPECT_EQ(result.stoppedAt, strayAt);
  EXPECT_NE(result.error.find("cut short"), std::string::npos) << result.error;

  // A first description the filter refuses: an entry cut short after its type.
  sink_.bytes().clear();
  std::vector<std::uint8_t> record = mkrec::ConfigurationBuilder("DVR").Channel(1, input::kChannelVideo, "", "", "").bytes();
  record.insert(record.end(), {2, input::kChannelVideo});
  writer_.ChannelDescription(record);
  writer_.IndexPosition(1000);
  Save();
  result = ProbeRecording(path_);
  EXPECT_TRUE(FAILED(result.status));
  EXPECT_EQ(result.error, "not a recorder stream: its channel description has an entry cut short at byte 0");

  std::ofstream(path_, std::ios::trunc).flush();
  EXPECT_TRUE(FAILED(ProbeRecording(path_).status));
  EXPECT_EQ(ProbeRecording(path_ + ".missing").error, "no such file");
}

}  // namespace
}  // namespace vesk::probe
