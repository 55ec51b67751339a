#include "mkrec/recording_composer.h"

#include <gtest/gtest.h>

#include <map>

#include "scratch_dir.h"
#include "stream_walker.h"
#include "wav_bytes.h"

namespace vesk::mkrec {
namespace {

using testing::ScratchDir;
using testing::WalkedPacket;
using testing::WalkStream;

// Camera 1 at 32x16, 8 kHz 8-bit mono audio on channel 8, a general text line
// at second 1 and status on channel 16: two seconds of two frames each.
RecordingPlan TinyPlan() {
  RecordingPlan plan;
  plan.deviceName = "Тест";
  plan.startTime = 1000;
  plan.durationSeconds = 2;
  plan.framesPerSecond = 2;
  plan.keyFrameInterval = 3;
  plan.cameras = {CameraPlan{1, 32, 16, "", ""}};
  plan.audio = {AudioPlan{8, {8000, 8, 1}, false, "", ""}};
  plan.texts = {TextPlan{255, {{1, "Привет"}}, ""}};
  plan.status = StatusPlan{16, {}};
  return plan;
}

std::vector<WalkedPacket> Compose(const RecordingPlan& plan) {
  VectorSink sink;
  StreamWriter writer(sink);
  RecordingComposer composer(plan);
  const Status status = composer.Write(writer);
  EXPECT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(composer.summary().bytes, sink.bytes().size());
  std::vector<WalkedPacket> packets = WalkStream(sink.bytes());
  EXPECT_FALSE(packets.empty()) << "the stream does not split into whole packets";
  return packets;
}

std::string ErrorOf(const RecordingPlan& plan) {
  VectorSink sink;
  StreamWriter writer(sink);
  return RecordingComposer(plan).Write(writer).message();
}

// "D" for a description, "I" for an index position, else the channel number.
std::vector<std::string> Layout(const std::vector<WalkedPacket>& packets) {
  std::vector<std::string> layout;
  for (const WalkedPacket& p : packets) {
    layout.push_back(p.kind == WalkedPacket::kDescription ? "D"
                     : p.kind == WalkedPacket::kIndex     ? "I"
                                                          : std::to_string(p.fragment.channel));
  }
  return layout;
}

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

TEST(RecordingComposerTest, FirstPacketDescribesEveryChannelInKoi8) {
  const std::vector<WalkedPacket> packets = Compose(TinyPlan());
  ASSERT_EQ(packets.front().kind, WalkedPacket::kDescription);
  using namespace std::string_literals;
  const std::string expected =
      "\xF4\xC5\xD3\xD4\0"s                              // Тест
      "\x01\x01XVID\0Camera 1\0-width 32 -height 16\0"s  //
      "\x08\x02PCM\0Audio 8\0rate=8000 bits=8\0"s        //
      "\xFF\x04TEXT\0Text 255\0\0"s                      //
      "\x10\x10STATUS\0Status\0\0"s                      //
      "\xA5"s;
  EXPECT_EQ(packets.front().payload, Bytes(expected));
}

TEST(RecordingComposerTest, EachSecondIsIndexStatusTextsThenCamerasAndAudioPerTick) {
  const std::vector<WalkedPacket> packets = Compose(TinyPlan());
  EXPECT_EQ(Layout(packets), (std::vector<std::string>{"D", "I", "16", "1", "8", "1", "8",  //
                                                       "I", "16", "255", "1", "8", "1", "8"}));
  const WalkedPacket& first = packets[1];
  const WalkedPacket& second = packets[7];
  EXPECT_EQ(first.time, 1000u);
  EXPECT_EQ(first.prevLength, 0u);
  EXPECT_EQ(second.time, 1001u);
  EXPECT_EQ(second.prevLength, second.offset - first.offset);

  // Status: 4 ignored bytes, then (channel, activity) for channels 0 to 8.
  const std::vector<std::uint8_t>& status = packets[8].payload;
  ASSERT_EQ(status.size(), 4u + 2u * 9u);
  for (std::uint8_t channel = 0; channel <= 8; ++channel) {
    EXPECT_EQ(status[4 + 2 * channel], channel);
    EXPECT_EQ(status[5 + 2 * channel], SyntheticActivity(channel, 1));
  }
  EXPECT_EQ(packets[9].payload, Bytes(std::string("\xF0\xD2\xC9\xD7\xC5\xD4") + '\0'));
  EXPECT_EQ(packets[4].payload.size(), 4000u);  // half a second of 8 kHz 8-bit mono
}

TEST(RecordingComposerTest, SmallMaximumSplitsPacketsIntoFragmentsThatJoinToTheSameData) {
  RecordingPlan plan = TinyPlan();
  std::vector<std::vector<std::uint8_t>> whole;
  for (const WalkedPacket& p : Compose(plan))
    if (p.kind == WalkedPacket::kFragment) whole.push_back(p.payload);

  plan.maxFragment = 100;
  std::vector<std::vector<std::uint8_t>> joined;
  bool inPacket = false;
  int channel = -1;
  for (const WalkedPacket& p : Compose(plan)) {
    if (p.kind != WalkedPacket::kFragment) continue;
    EXPECT_LE(p.payload.size(), 100u);
    EXPECT_EQ(p.fragment.first, !inPacket) << "at offset " << p.offset;
    if (inPacket) {
      EXPECT_EQ(p.fragment.channel, channel) << "at offset " << p.offset;
    }
    if (p.fragment.first) joined.emplace_back();
    joined.back().insert(joined.back().end(), p.payload.begin(), p.payload.end());
    if (!p.fragment.last) {
      EXPECT_EQ(p.payload.size(), 100u);
    }
    inPacket = !p.fragment.last;
    channel = p.fragment.channel;
  }
  EXPECT_FALSE(inPacket);
  EXPECT_EQ(joined, whole);
}

TEST(RecordingComposerTest, FlagsVideoFramesRepeatsTheDescriptionAndRunsTheHook) {
  RecordingPlan plan = TinyPlan();
  plan.markKeyFrames = true;
  plan.videoFlags = {{1, 2, 0x20}};
  plan.repeatDescriptionAt = 1;
  plan.extraPackets = [](StreamWriter& writer, std::uint32_t second) {
    const std::uint8_t stray[] = {static_cast<std::uint8_t>(second)};
    writer.Fragment(1, stray, false, false);
  };
  const std::vector<WalkedPacket> packets = Compose(plan);
  EXPECT_EQ(Layout(packets),
            (std::vector<std::string>{"D", "I", "16", "1", "1", "8", "1", "8",  //
                                      "D", "I", "16", "1", "255", "1", "8", "1", "8"}));
  EXPECT_EQ(packets[8].payload, packets[0].payload);
  EXPECT_FALSE(packets[3].fragment.first || packets[3].fragment.last);
  std::vector<int> videoFlags;
  for (const WalkedPacket& p : packets) {
    if (p.kind == WalkedPacket::kFragment && p.fragment.channel == 1 && p.fragment.first)
      videoFlags.push_back(p.fragment.flagByte);
  }
  // Key frames 0 and 3 carry the mark; frame 2 the flag asked for.
  EXPECT_EQ(videoFlags, (std::vector<int>{1, 0, 0x20, 1}));
}

TEST(RecordingComposerTest, FileSourcesAndNosndShapeTheAudioAndVideo) {
  ScratchDir dir;
  std::vector<std::uint8_t> y4m = Bytes("YUV4MPEG2 W16 H8 C420\nFRAME\n");
  y4m.resize(y4m.size() + 16 * 8 * 3 / 2, 90);
  RecordingPlan plan = TinyPlan();
  plan.durationSeconds = 1;
  plan.texts.clear();
  plan.cameras[0].y4mPath = dir.Write("clip.y4m", y4m);
  plan.audio[0].wavPath = dir.Write(
      "a.wav", testing::WavFile(testing::FmtChunk(1, 2, 11025, 16), {1, 2, 3, 4, 5, 6, 7, 8}));
  plan.audio.push_back(AudioPlan{9, {8000, 16, 1}, true, "", ""});
  plan.allowMixedAudio = true;
  const std::vector<WalkedPacket> packets = Compose(plan);
  const std::string record(packets[0].payload.begin(), packets[0].payload.end());
  EXPECT_NE(record.find("-width 16 -height 8"), std::string::npos);
  EXPECT_NE(record.find("rate=11025 bits=16 stereo"), std::string::npos);
  EXPECT_NE(record.find("rate=8000 bits=16 -nosnd"), std::string::npos);

  std::map<int, std::vector<std::vector<std::uint8_t>>> byChannel;
  for (const WalkedPacket& p : packets)
    if (p.kind == WalkedPacket::kFragment) byChannel[p.fragment.channel].push_back(p.payload);
  EXPECT_EQ(byChannel[1].size(), 2u);  // the one-frame file plays again
  // 11025 Hz over two ticks: 5512 then 5513 frames of the file's two, looping.
  ASSERT_EQ(byChannel[8].size(), 2u);
  EXPECT_EQ(byChannel[8][0].size(), 5512u * 4u);
  EXPECT_EQ(byChannel[8][1].size(), 5513u * 4u);
  EXPECT_EQ(byChannel[8][1][4], 5);
  // -nosnd: only the byte count of half a second of 16-bit mono.
  EXPECT_EQ(byChannel[9][0], (std::vector<std::uint8_t>{0x40, 0x1F}));
}

TEST(RecordingComposerTest, RefusesPlansThePlayerCouldNotTake) {
  const struct {
    std::function<void(RecordingPlan&)> change;
    const char* expected;
  } cases[] = {
      {[](RecordingPlan& p) { p.audio[0].channel = 1; }, "channel 1 is already used"},
      {[](RecordingPlan& p) { p.status->channel = 165; }, "channel 165 marks the end"},
      {[](RecordingPlan& p) { p.texts[0].channel = 100; }, "text channels are 128 to 255"},
      {[](RecordingPlan& p) { p.texts[0].lines[0].second = 2; }, "past the end"},
      {[](RecordingPlan& p) { p.cameras[0].width = 31; }, "must be even"},
      {[](RecordingPlan& p) { p.deviceName = std::string(80, 'x'); }, "device name is longer"},
      {[](RecordingPlan& p) {
         p.videoFlags = {{2, 0, 1}};
       },
       "no such camera"},
      {[](RecordingPlan& p) {
         p.audio[0] = AudioPlan{8, {192000, 16, 2}, true, "", ""};
       },
       "-nosnd packet cannot count"},
      {[](RecordingPlan& p) { p.cameras[0].y4mPath = "/nonexistent/clip.y4m"; },
       "/nonexistent/clip.y4m: cannot open"},
      {[](RecordingPlan& p) { p.audio.push_back(AudioPlan{9, {48000, 16, 2}, false, "", ""}); },
       "audio channels 8 (8000 Hz, 8 bits, mono) and 9 (48000 Hz, 16 bits, stereo) differ"},
  };
  for (const auto& c : cases) {
    RecordingPlan plan = TinyPlan();
    c.change(plan);
    const std::string message = ErrorOf(plan);
    EXPECT_NE(message.find(c.expected), std::string::npos)
        << "expected '" << c.expected << "', got '" << message << "'";
  }
}

}  // namespace
}  // namespace vesk::mkrec
