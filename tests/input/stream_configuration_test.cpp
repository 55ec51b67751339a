#include "input/stream_configuration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "input/koi8.h"
#include "mkrec/stream_writer.h"
#include "trace_capture.h"

namespace vesk::input {
namespace {

using mkrec::ConfigurationBuilder;

class RecordingListener final : public ConfigurationListener {
 public:
  void SetVideoChannelDescription(const ChannelRecord& record) override {
    video.push_back(record);
  }
  void SetAudioChannelDescription(const ChannelRecord& record) override {
    audio.push_back(record);
  }
  void SetStatusChannel(int channel) override { statusChannel = channel; }
  void ConfigurationParsed() override { ++parsed; }

  std::vector<ChannelRecord> video;
  std::vector<ChannelRecord> audio;
  int statusChannel = -2;
  int parsed = 0;
};

class StreamConfigurationTest : public ::testing::Test {
 protected:
  HRESULT Parse(const std::vector<std::uint8_t>& record) {
    return config_.ParseConfiguration(record.data(), static_cast<std::uint32_t>(record.size()));
  }
  std::string Report(std::uint32_t size, const PinReport& pins = {}, HRESULT* result = nullptr) {
    std::vector<char> buffer(size + 1, '#');
    HRESULT hr = config_.GetConfigReport(buffer.data(), size, pins);
    if (result) *result = hr;
    EXPECT_EQ(buffer[size], '#') << "report written past its buffer";
    return std::string(buffer.data());
  }

  RecordingListener listener_;
  StreamConfiguration config_{&listener_};
};

TEST_F(StreamConfigurationTest, DeviceNameOnly) {
  ASSERT_EQ(Parse(ConfigurationBuilder("DVR").bytes()), S_OK);
  EXPECT_TRUE(config_.ConfigReceived());
  EXPECT_EQ(config_.DeviceName(), "DVR");
  EXPECT_EQ(config_.TotalChannelCount(), 0u);
  EXPECT_DOUBLE_EQ(config_.FramesPerSecond(), 25.0);
  EXPECT_EQ(listener_.statusChannel, -1);
  EXPECT_EQ(listener_.parsed, 1);

  // A description with no bytes at all, as a cut stream may give one.
  ASSERT_EQ(config_.ParseConfiguration(nullptr, 0), S_OK);
  EXPECT_EQ(config_.DeviceName(), "");
}

TEST_F(StreamConfigurationTest, ChannelTableFollowsChannelNumbers) {
  ConfigurationBuilder record("DVR");
  record.Channel(2, kChannelVideo, "xvid", "cam2", "-width 352")
      .Channel(0, kChannelVideo, "xvid", "cam0", "")
      .Channel(9, kChannelAudio, "pcm", "mic9", "rate=16000")
      .Channel(5, kChannelAudio, "pcm", "mic5", "")
      .Channel(3, 3, "odd", "ignored", "")
      .Channel(128, kChannelText, "", "line0", "")
      .Channel(255, kChannelText, "", "general", "")
      .Channel(20, kChannelStatus, "", "status", "")
      .Channel(1, kChannelVideo, "xvid", "cam1", "")
      .End()
      .Channel(7, kChannelVideo, "after end", "", "");
  test::TraceCapture trace;
  ASSERT_EQ(Parse(record.bytes()), S_OK);
  EXPECT_TRUE(trace.Saw("T_AUDIO"));
  EXPECT_TRUE(trace.Saw("T_TEXT"));

  EXPECT_EQ(config_.VideoChannelCount(), 3u);
  EXPECT_EQ(config_.AudioChannelCount(), 2u);
  EXPECT_EQ(config_.TotalChannelCount(), 7u);
  EXPECT_NEAR(config_.FramesPerSecond(), 14.0 / 3, 1e-12);

  ASSERT_EQ(listener_.video.size(), 1u);
  EXPECT_STREQ(listener_.video[0].name, "cam0");
  ASSERT_EQ(listener_.audio.size(), 2u);
  EXPECT_STREQ(listener_.audio[1].name, "mic9");
  EXPECT_EQ(listener_.audio[1].pinIndex, 0);  // the pins get the record before the pass sets it
  EXPECT_EQ(listener_.statusChannel, 20);

  EXPECT_EQ(config_.Channel(5).pinIndex, 0);
  EXPECT_EQ(config_.Channel(9).pinIndex, 1);
  EXPECT_EQ(config_.Channel(2).pinIndex, 2);
  EXPECT_EQ(config_.Channel(128).pinIndex, 0);
  EXPECT_EQ(config_.Channel(255).pinIndex, -1);
  EXPECT_EQ(config_.Channel(0).previousVideoChannel, 2u);
  EXPECT_EQ(config_.Channel(1).previousVideoChannel, 0u);
  EXPECT_STREQ(config_.Channel(2).options, "-width 352");

  EXPECT_EQ(config_.IsChannelPresent(20), 1u);
  EXPECT_EQ(config_.IsChannelPresent(3), 0u);
  EXPECT_EQ(config_.IsChannelPresent(7), 0u);
  EXPECT_EQ(config_.IsChannelPresent(-1), 0u);
  EXPECT_EQ(config_.IsChannelPresent(256), 0u);
}

TEST_F(StreamConfigurationTest, EntryCutShortFailsAndTellsNobody) {
  ASSERT_EQ(Parse(ConfigurationBuilder("first").Channel(4, kChannelStatus, "", "", "").bytes()),
            S_OK);
  listener_ = RecordingListener();

  std::vector<std::uint8_t> record = ConfigurationBuilder("second")
                                         .Channel(0, kChannelVideo, "xvid", "cam0", "")
                                         .Channel(1, kChannelVideo, "xvid", "cam1", "")
                                         .bytes();
  record.push_back(2);  // a channel number with no type
  EXPECT_EQ(Parse(record), E_FAIL);
  record.push_back(kChannelVideo);  // a type with nothing after it
  EXPECT_EQ(Parse(record), E_FAIL);

  EXPECT_TRUE(config_.ConfigReceived());
  EXPECT_EQ(config_.DeviceName(), "second");
  EXPECT_EQ(config_.VideoChannelCount(), 0u);
  EXPECT_DOUBLE_EQ(config_.FramesPerSecond(), 0.0);
  EXPECT_STREQ(config_.Channel(1).name, "cam1");
  EXPECT_TRUE(listener_.video.empty());
  EXPECT_EQ(listener_.statusChannel, -2);
  EXPECT_EQ(listener_.parsed, 0);
}

TEST_F(StreamConfigurationTest, LongTextsAreCutToTheirFields) {
  const std::string longName(300, 'n');
  std::vector<std::uint8_t> record =
      ConfigurationBuilder(std::string(100, 'd')).Channel(0, kChannelVideo, "c", longName, "o").bytes();
  record.pop_back();  // options without its zero byte: the text ends with the record
  ASSERT_EQ(Parse(record), S_OK);
  EXPECT_EQ(config_.DeviceName(), std::string(79, 'd'));
  EXPECT_EQ(std::string(config_.Channel(0).name), std::string(199, 'n'));
  EXPECT_STREQ(config_.Channel(0).options, "o");

  const std::uint8_t nameWithoutZero[] = {'a', 'b'};
  EXPECT_EQ(config_.ParseConfiguration(nameWithoutZero, 2), S_OK);
  EXPECT_EQ(config_.DeviceName(), "ab");
}

TEST_F(StreamConfigurationTest, ReportListsChannelsAndStopsAtWholeLines) {
  std::string notYet = Report(100);
  EXPECT_EQ(notYet, "Config was not received yet\r\n");

  ConfigurationBuilder record("DVR");
  record.Channel(0, kChannelVideo, "xvid", "cam0", "")
      .Channel(1, kChannelVideo, "xvid", "cam1", "")
      .Channel(8, kChannelAudio, "pcm", "mic", "")
      .Channel(200, kChannelText, "", "note", "")
      .Channel(16, kChannelStatus, "", "st", "");
  ASSERT_EQ(Parse(record.bytes()), S_OK);

  PinReport pins;
  pins.hasVideoPin = true;
  pins.cameraWidth = 352;
  pins.cameraHeight = 288;
  pins.hasAudioPin = true;
  pins.audioChannels = 1;
  pins.samplesPerSecond = 16000;
  pins.bitsPerSample = 16;
  pins.audioConnected = true;
  HRESULT hr = E_FAIL;
  EXPECT_EQ(Report(4096, pins, &hr),
            "Device name: DVR\r\n"
            "Total channels: 4\r\n"
            "Number of video channels: 2\r\n"
            "Number of audio channels: 1\r\n"
            "Frames Per Second: 7.00\r\n"
            "Video configuration: sizeX=352; sizeY=288\r\n"
            "Audio configuration: 1, 16000, 16\r\n"
            "-------------Channels descriptions:-------------\r\n"
            "0x0: Video Channel; Name: cam0, Codec: xvid; State: not connected\r\n"
            "0x1: Video Channel; Name: cam1, Codec: xvid; State: not connected\r\n"
            "0x8: Audio Channel; Name: mic, Codec: pcm; State: connected\r\n"
            "0xc8: Text Channel; Name: note, Codec: ; State: not connected\r\n"
            "-------------end of cfg-------------------------\r\n");
  EXPECT_EQ(hr, S_OK);

  EXPECT_EQ(Report(60, {}, &hr), "Device name: DVR\r\nTotal channels: 4\r\n");
  EXPECT_EQ(hr, S_FALSE);
  char untouched = '#';
  EXPECT_EQ(config_.GetConfigReport(&untouched, 0, {}), S_FALSE);
  EXPECT_EQ(untouched, '#');
  EXPECT_EQ(config_.GetConfigReport(nullptr, 10, {}), E_POINTER);
}

TEST(RecodeKoi8Test, EveryKoi8LetterBecomesADistinctWindows1251Letter) {
  char text[] = "\xE1\xE2 \xC1\xDF \xB3\xA3 abc \x80";
  RecodeKoi8(text);
  EXPECT_STREQ(text, "\xC0\xC1 \xE0\xFA \xC5\xC5 abc \x80");
  RecodeKoi8(nullptr);

  char all[65] = {};
  for (int i = 0; i < 64; ++i) all[i] = static_cast<char>(0xC0 + i);
  RecodeKoi8(all);
  std::vector<bool> seen(64, false);
  for (int i = 0; i < 64; ++i) {
    const int windows = static_cast<unsigned char>(all[i]);
    ASSERT_GE(windows, 0xC0);
    EXPECT_FALSE(seen[windows - 0xC0]);
    seen[windows - 0xC0] = true;
  }
}

}  // namespace
}  // namespace vesk::input
