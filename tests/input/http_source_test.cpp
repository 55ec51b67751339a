#include "input/http_source.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <numeric>

#include "memory_source.h"
#include "mkrec/stream_writer.h"
#include "platform/event.h"
#include "platform/thread.h"
#include "test_http_server.h"
#include "vesk/stream_errors.h"

namespace vesk::input {
namespace {

using test::TestHttpServer;

constexpr std::uint32_t kHangMs = 10'000;

// One line per packet: enough to tell packets and their order apart.
std::string Describe(const Packet& packet) {
  const std::uint32_t sum =
      packet.data ? std::accumulate(packet.data, packet.data + packet.length, 0u) : 0u;
  char line[96];
  std::snprintf(line, sizeof line, "kind %d channel %u time %u length %u sum %u", packet.kind,
                packet.channel, packet.time, packet.length, sum);
  return line;
}

// Stands for the filter's demultiplexer: keeps what the producers hand it.
class RecordingDispatcher final : public PacketDispatcher, public StreamAbortTarget {
 public:
  void DispatchPacket(Packet& packet) override {
    {
      std::lock_guard lock(mutex_);
      records_.push_back(Describe(packet));
    }
    changed_.notify_all();
  }
  void EndOfStreamAll() override {
    {
      std::lock_guard lock(mutex_);
      ++ends_;
    }
    changed_.notify_all();
  }
  void AbortStream(HRESULT why) override {
    {
      std::lock_guard lock(mutex_);
      abortCause_ = why;
    }
    EndOfStreamAll();
  }

  bool WaitForEnd() { return WaitUntil([this] { return ends_ > 0; }); }
  bool WaitForRecords(std::size_t count) {
    return WaitUntil([this, count] { return records_.size() >= count; });
  }
  std::vector<std::string> Records() const {
    std::lock_guard lock(mutex_);
    return records_;
  }
  int Ends() const {
    std::lock_guard lock(mutex_);
    return ends_;
  }
  // Why the stream was aborted; S_OK when it was not.
  HRESULT AbortCause() const {
    std::lock_guard lock(mutex_);
    return abortCause_;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    records_.clear();
    ends_ = 0;
    abortCause_ = S_OK;
  }

 private:
  template <typename Condition>
  bool WaitUntil(Condition condition) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(kHangMs), condition);
  }

  // Guards records_, ends_ and abortCause_: the download and watchdog threads both dispatch.
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> records_;
  int ends_ = 0;
  HRESULT abortCause_ = S_OK;
};

// A configuration, then index positions and fragmented data packets of two channels.
struct Recording {
  std::vector<std::uint8_t> bytes;
  std::uint64_t middlePacketOffset = 0;  // where the fourth data packet begins
  std::size_t packetsBeforeMiddle = 0;
};

Recording MakeRecording() {
  mkrec::VectorSink sink;
  mkrec::StreamWriter writer(sink);
  Recording recording;
  writer.ChannelDescription(mkrec::ConfigurationBuilder("DVR")
                                .Channel(0, kChannelVideo, "XVID", "Gate", "")
                                .Channel(1, kChannelAudio, "PCM", "Hall", "")
                                .End()
                                .bytes());
  for (std::uint32_t i = 0; i < 6; ++i) {
    writer.IndexPosition(1000 + i);
    if (i == 3) {
      recording.middlePacketOffset = writer.Position();
      recording.packetsBeforeMiddle = 1 + 2 * i + 1;
    }
    std::vector<std::uint8_t> payload(3000 + 100 * i);
    std::iota(payload.begin(), payload.end(), static_cast<std::uint8_t>(i));
    writer.DataPacket(static_cast<std::uint8_t>(i % 2), payload, 0, 1024);
  }
  recording.bytes = sink.bytes();
  return recording;
}

// What a reader makes of the bytes, read straight from memory.
std::vector<std::string> PacketsIn(const std::vector<std::uint8_t>& bytes) {
  test::MemorySource source(bytes, true);
  PacketReader reader;
  std::vector<std::string> packets;
  PacketPtr packet;
  while (reader.ReadPacket(source, &packet, ReadMode::kWithData) == S_OK)
    packets.push_back(Describe(*packet));
  return packets;
}

class HttpSourceTest : public ::testing::Test {
 protected:
  const Recording recording_ = MakeRecording();
  const std::vector<std::string> packets_ = PacketsIn(recording_.bytes);
  RecordingDispatcher dispatcher_;
  PacketReader reader_;
};

TEST_F(HttpSourceTest, DispatchesEveryPacketInOrderThenEndsTheStreams) {
  TestHttpServer server({.body = recording_.bytes});
  HttpSource source(server.Url(), dispatcher_, dispatcher_, reader_);
  ASSERT_EQ(source.Open(), S_OK);
  ASSERT_TRUE(dispatcher_.WaitForEnd());
  EXPECT_EQ(source.Close(), S_FALSE);
  EXPECT_EQ(dispatcher_.Records(), packets_);
  EXPECT_EQ(dispatcher_.Ends(), 1);
  EXPECT_EQ(dispatcher_.AbortCause(), S_OK);
  EXPECT_EQ(server.UserAgent(), "DevaZud");
}

// vesk-play's tests play every other fault through the filter.
TEST_F(HttpSourceTest, AFailedRequestOrBytesOutOfStepEndTheStreamsAndSayWhy) {
  const std::vector<std::string> before(packets_.begin(),
                                        packets_.begin() + recording_.packetsBeforeMiddle);
  struct Case {
    TestHttpServer::Script script;
    HRESULT cause;
    std::vector<std::string> records;
  };
  const std::vector<Case> cases = {
      {{.body = {}, .answer = TestHttpServer::Answer::kNotFound}, HttpStatusResult(404), {}},
      {{.body = recording_.bytes, .garbageAt = recording_.middlePacketOffset}, kStreamNotRecorder, before},
  };
  for (const Case& c : cases) {
    dispatcher_.Clear();
    TestHttpServer server(c.script);
    HttpSource source(server.Url(), dispatcher_, dispatcher_, reader_);
    ASSERT_EQ(source.Open(), S_OK);
    ASSERT_TRUE(dispatcher_.WaitForEnd());
    EXPECT_EQ(source.Close(), c.cause);
    EXPECT_EQ(dispatcher_.AbortCause(), c.cause);
    EXPECT_EQ(dispatcher_.Records(), c.records);
    EXPECT_EQ(dispatcher_.Ends(), 1);
  }
}

TEST_F(HttpSourceTest, APauseInsideAPacketSendsOneTimeOutNoticeThenPlaybackGoesOn) {
  TestHttpServer server({.body = recording_.bytes,
                         .pauseAt = recording_.middlePacketOffset + 1500,
                         .pauseMs = 2000});
  HttpSource source(server.Url(), dispatcher_, dispatcher_, reader_);
  ASSERT_EQ(source.Open(), S_OK);
  ASSERT_TRUE(dispatcher_.WaitForEnd());
  EXPECT_EQ(source.Close(), S_FALSE);

  std::vector<std::string> expected = packets_;
  expected.insert(expected.begin() + recording_.packetsBeforeMiddle,
                  "kind -4 channel 0 time 0 length 0 sum 0");
  EXPECT_EQ(dispatcher_.Records(), expected);
}

TEST_F(HttpSourceTest, CloseReleasesABlockedReadAndOpenStartsAgain) {
  TestHttpServer server({.body = recording_.bytes,
                         .pauseAt = recording_.middlePacketOffset + 1500,
                         .pauseMs = 60'000});
  HttpSource source(server.Url(), dispatcher_, dispatcher_, reader_);
  ASSERT_EQ(source.Open(), S_OK);
  // The download thread now reads the packet the server holds back.
  ASSERT_TRUE(dispatcher_.WaitForRecords(recording_.packetsBeforeMiddle));

  platform::Event closed(platform::EventMode::kManualReset);
  HRESULT closeResult = S_OK;
  platform::Thread stopping;
  ASSERT_EQ(stopping.Start([&] {
    closeResult = source.Close();
    closed.Set();
  }), S_OK);
  const bool released = closed.Wait(kHangMs);
  if (!released) server.Stop();  // ends the read, so the test can end
  stopping.Join();
  ASSERT_TRUE(released);
  EXPECT_EQ(closeResult, E_FAIL);
  EXPECT_EQ(dispatcher_.Ends(), 1);
  EXPECT_EQ(dispatcher_.AbortCause(), S_OK);  // a stop is no failure of the stream

  // The server gives later requests the whole body.
  dispatcher_.Clear();
  ASSERT_EQ(source.Open(), S_OK);
  ASSERT_TRUE(dispatcher_.WaitForEnd());
  EXPECT_EQ(source.Close(), S_FALSE);
  EXPECT_EQ(dispatcher_.Records(), packets_);
}

}  // namespace
}  // namespace vesk::input
