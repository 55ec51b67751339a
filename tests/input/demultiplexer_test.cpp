#include "input/demultiplexer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memory_source.h"
#include "input/packet_reader.h"
#include "mkrec/stream_writer.h"

namespace vesk::input {
namespace {

class FakeOutputs final : public DemultiplexerOutputs {
 public:
  bool VideoConnected() override { return videoConnected; }
  bool AudioConnected() override { return audioConnected; }
  void DeliverVideo(Packet& packet) override {
    events.push_back("video " + std::to_string(packet.kind) + " pin " + std::to_string(packet.pinIndex));
  }
  void DeliverAudio(Packet& packet) override {
    events.push_back("audio pin " + std::to_string(packet.pinIndex));
  }
  void SetClock(std::uint32_t seconds) override { events.push_back("clock " + std::to_string(seconds)); }
  void ShowTotalBytesPerSecond(double rate) override { rates.push_back(rate); }
  void EndOfStreamAll() override { events.push_back("end"); }
  bool SnapshotFreezeHeld() override { return freezeHeld; }
  void ReleaseSnapshotFreeze() override {
    freezeHeld = false;
    events.push_back("release");
  }

  bool freezeHeld = false;
  bool videoConnected = true;
  bool audioConnected = false;
  std::vector<std::string> events;
  std::vector<double> rates;
};

class DemultiplexerTest : public ::testing::Test {
 protected:
  void Play() {
    test::MemorySource source(sink_.bytes());
    PacketPtr packet;
    while (reader_.ReadPacket(source, &packet, ReadMode::kWithData) == S_OK) {
      tick_ += 100;
      demux_.DispatchPacket(*packet);
    }
  }
  std::vector<std::uint8_t> Configuration() {
    return mkrec::ConfigurationBuilder("DVR")
        .Channel(0, kChannelVideo, "xvid", "cam0", "")
        .Channel(2, kChannelVideo, "xvid", "cam2", "")
        .Channel(8, kChannelAudio, "pcm", "mic", "")
        .Channel(9, kChannelAudio, "pcm", "mic", "")
        .Channel(129, kChannelText, "", "line1", "")
        .bytes();
  }

  mkrec::VectorSink sink_;
  mkrec::StreamWriter writer_{sink_};
  PacketReader reader_;
  StreamConfiguration configuration_;
  FakeOutputs outputs_;
  std::uint32_t tick_ = 5000;
  Demultiplexer demux_{configuration_, outputs_, [this] { return tick_; }};
};

TEST_F(DemultiplexerTest, RoutesEachPacketToThePinOfItsChannel) {
  writer_.ChannelDescription(Configuration());
  writer_.IndexPosition(1000);
  writer_.DataPacket(2, std::vector<std::uint8_t>(10, 0));
  writer_.DataPacket(9, std::vector<std::uint8_t>(10, 0));   // audio pin not connected
  writer_.DataPacket(129, std::vector<std::uint8_t>{'h', 0});
  writer_.DataPacket(77, std::vector<std::uint8_t>(10, 0));  // not in the configuration
  writer_.ChannelDescription(Configuration());
  Play();
  outputs_.audioConnected = true;
  sink_.bytes().clear();
  writer_.DataPacket(9, std::vector<std::uint8_t>(10, 0));
  Play();

  const std::vector<std::string> expected = {
      "video -5 pin 0", "clock 1000", "video -1 pin 2", "video -3 pin 1", "video -5 pin 0",
      "audio pin 1"};
  EXPECT_EQ(outputs_.events, expected);
  EXPECT_EQ(demux_.CurrentTime(), 1000u);
}

TEST_F(DemultiplexerTest, UnparsableDescriptionStillNotifiesAndNothingGoesToAbsentPins) {
  outputs_.videoConnected = false;
  writer_.ChannelDescription(Configuration());
  writer_.DataPacket(0, std::vector<std::uint8_t>(10, 0));
  Play();
  EXPECT_TRUE(outputs_.events.empty());

  outputs_.videoConnected = true;
  sink_.bytes().clear();
  writer_.ChannelDescription(std::vector<std::uint8_t>{'D', 0, 3});  // cut after a channel number
  Play();
  EXPECT_EQ(outputs_.events, std::vector<std::string>{"video -5 pin 0"});
}

TEST_F(DemultiplexerTest, SnapshotFreezeEndsAtAnIndexPositionAfterTheLastCamera) {
  writer_.ChannelDescription(mkrec::ConfigurationBuilder("DVR")
                                 .Channel(0, kChannelVideo, "xvid", "cam0", "")
                                 .Channel(1, kChannelVideo, "xvid", "cam1", "")
                                 .bytes());
  Play();
  outputs_.events.clear();
  outputs_.freezeHeld = true;
  sink_.bytes().clear();
  writer_.DataPacket(0, std::vector<std::uint8_t>(10, 0));
  writer_.IndexPosition(1000);  // after the first camera: the freeze holds
  writer_.DataPacket(1, std::vector<std::uint8_t>(10, 0));
  writer_.IndexPosition(1001);
  Play();
  const std::vector<std::string> expected = {"video -1 pin 0", "clock 1000", "video -1 pin 1", "release",
                                             "clock 1001"};
  EXPECT_EQ(outputs_.events, expected);
}

TEST_F(DemultiplexerTest, ByteRateIsMeasuredOverTwoSecondPeriods) {
  for (int i = 0; i < 45; ++i) writer_.DataPacket(0, std::vector<std::uint8_t>(1000, 0));
  Play();  // packets 100 ms apart, the first one 100 ms after the start
  ASSERT_EQ(outputs_.rates.size(), 2u);
  // A period closes on the first packet more than 2000 ms after it began.
  EXPECT_DOUBLE_EQ(outputs_.rates[0], 21000 * 1000.0 / 2100);
  EXPECT_DOUBLE_EQ(outputs_.rates[1], 21000 * 1000.0 / 2100);
}

}  // namespace
}  // namespace vesk::input
