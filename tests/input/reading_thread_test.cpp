#include "input/reading_thread.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "mkrec/stream_writer.h"
#include "platform/event.h"
#include "scratch_dir.h"

namespace vesk::input {
namespace {

// Records what reaches the pins; can hold the producer inside a delivery.
class RecordingOutputs final : public StreamBroadcast {
 public:
  void DispatchPacket(Packet& packet) override {
    std::lock_guard lock(mutex_);
    events_.push_back(packet.kind == PacketKind::kIndexPosition ? "index " + std::to_string(packet.time)
                                                                : "packet");
  }
  void EndOfStreamAll() override {
    {
      std::lock_guard lock(mutex_);
      events_.push_back("end");
    }
    ended_.Set();
  }
  void BeginFlushAll() override {
    std::lock_guard lock(mutex_);
    events_.push_back("flush");
  }
  void EndFlushAll() override {}
  void NewSegmentAll() override {
    std::lock_guard lock(mutex_);
    events_.push_back("segment");
  }

  bool WaitForEnd() { return ended_.Wait(10000); }
  std::vector<std::string> events() {
    std::lock_guard lock(mutex_);
    return events_;
  }

 private:
  std::mutex mutex_;  // guards events_
  std::vector<std::string> events_;
  platform::Event ended_{platform::EventMode::kAutoReset};
};

class ReadingThreadTest : public ::testing::Test {
 protected:
  ReadingThreadTest() {
    mkrec::VectorSink sink;
    mkrec::StreamWriter writer(sink);
    writer.ChannelDescription(mkrec::ConfigurationBuilder("DVR").Channel(0, kChannelVideo, "", "", "").bytes());
    for (std::uint32_t second = 0; second < 3; ++second) {
      writer.IndexPosition(100 + second);
      writer.DataPacket(0, std::vector<std::uint8_t>(50, 1));
      writer.DataPacket(0, std::vector<std::uint8_t>(50, 2));
    }
    EXPECT_EQ(file_.source.Open(dir_.Write("reading.vsk", sink.bytes())), S_OK);
    EXPECT_EQ(index_.Scan(file_.source, reader_, configuration_), S_OK);
  }

  void Play() {
    ASSERT_TRUE(thread_.Create());
    EXPECT_EQ(thread_.CallWorker(kRequestPause), E_UNEXPECTED);  // before init
    EXPECT_EQ(thread_.CallWorker(kRequestInit), S_OK);
    EXPECT_EQ(thread_.CallWorker(kRequestPause), S_OK);
    ASSERT_TRUE(outputs_.WaitForEnd());
    EXPECT_EQ(thread_.CallWorker(kRequestStop), S_OK);
    EXPECT_EQ(thread_.CallWorker(99), E_NOTIMPL);
    EXPECT_EQ(thread_.CallWorker(kRequestExit), S_OK);
    EXPECT_EQ(thread_.Join(), S_OK);
  }

  mkrec::testing::ScratchDir dir_;
  SharedFile file_;
  PacketReader reader_;
  StreamConfiguration configuration_;
  FileIndex index_;
  PlaybackCursor cursor_;
  RecordingOutputs outputs_;
  ReadingThread thread_{file_, reader_, index_, cursor_, outputs_};
};

TEST_F(ReadingThreadTest, ReadsStraightThroughToTheEnd) {
  Play();
  const std::vector<std::string> expected = {"packet", "index 100", "packet", "packet", "index 101",
                                             "packet", "packet", "index 102", "packet", "packet", "end"};
  EXPECT_EQ(outputs_.events(), expected);
}

// Each step seeks to the current entry and moves on; from the last entry in
// the stepping direction there is nowhere to move, and the stream ends.
TEST_F(ReadingThreadTest, IndexSteppingJumpsFromEntryToEntryUntilTheLast) {
  cursor_.playMode = kPlayModeIndexStepping | kPlayModeForward;
  cursor_.currentEntry = 1;
  Play();
  std::vector<std::string> expected = {"flush", "index 101", "packet", "flush", "end"};
  EXPECT_EQ(outputs_.events(), expected);
  EXPECT_EQ(cursor_.currentEntry, 2u);

  RecordingOutputs backward;
  ReadingThread thread(file_, reader_, index_, cursor_, backward);
  cursor_.playMode = kPlayModeIndexStepping;
  ASSERT_TRUE(thread.Create());
  EXPECT_EQ(thread.CallWorker(kRequestInit), S_OK);
  EXPECT_EQ(thread.CallWorker(kRequestRun), S_OK);
  ASSERT_TRUE(backward.WaitForEnd());
  EXPECT_EQ(thread.CallWorker(kRequestStop), S_OK);
  EXPECT_EQ(thread.CallWorker(kRequestExit), S_OK);
  expected = {"flush", "index 102", "packet", "flush", "index 101", "packet", "flush", "end"};
  EXPECT_EQ(backward.events(), expected);
  EXPECT_EQ(cursor_.currentEntry, 0u);
}

}  // namespace
}  // namespace vesk::input
