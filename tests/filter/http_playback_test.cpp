// The filter playing a live recorder over HTTP into a host graph: a recorder
// that goes quiet for a while, one that drops the connection, and a Stop that
// comes while the download thread waits for bytes that never come.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "audio_graph.h"
#include "input/stream_format.h"
#include "mkrec/stream_writer.h"
#include "test_http_server.h"

namespace vesk {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// Generous: they only turn a hang into a failure.
constexpr auto kPlayLimit = 30s;
constexpr auto kStopLimit = 30s;

constexpr int kSeconds = 8;
constexpr std::size_t kPacketSize = 400;

Bytes Pcm(int second) {
  Bytes bytes(kPacketSize);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(second * 13 + i);
  return bytes;
}

Bytes PcmOfSeconds(int count) {
  Bytes bytes;
  for (int second = 0; second < count; ++second) {
    const Bytes pcm = Pcm(second);
    bytes.insert(bytes.end(), pcm.begin(), pcm.end());
  }
  return bytes;
}

// Runs `call` on a thread of its own. A call still running after `limit` is
// a deadlock the test program cannot recover from: it ends here, loudly.
void ReturnsWithin(std::chrono::seconds limit, const char* what, std::function<void()> call) {
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> returned = done->get_future();
  std::thread([call = std::move(call), done] {
    call();
    done->set_value();
  }).detach();
  if (returned.wait_for(limit) == std::future_status::timeout) {
    std::fprintf(stderr, "%s did not return within %lld s\n", what, static_cast<long long>(limit.count()));
    std::abort();
  }
}

class HttpPlaybackTest : public ::testing::Test {
 protected:
  ~HttpPlaybackTest() override {
    if (audio_.graph) ReturnsWithin(kStopLimit, "Stop", [this] { audio_.graph->Stop(); });
    server_.reset();
  }

  // One audio channel of 16-bit PCM; an index position and one packet a second.
  // packetAt_[n] is the offset of second n's audio packet in the stream.
  Bytes Recording() {
    mkrec::VectorSink stream;
    mkrec::StreamWriter writer(stream);
    writer.ChannelDescription(mkrec::ConfigurationBuilder("Gate")
                                  .Channel(8, input::kChannelAudio, "PCM", "mic", "rate=8000 bits=16")
                                  .End()
                                  .bytes());
    for (int second = 0; second < kSeconds; ++second) {
      writer.IndexPosition(1000 + second);
      packetAt_.push_back(writer.Position());
      writer.DataPacket(8, Pcm(second));
    }
    return stream.bytes();
  }

  void Serve(test::TestHttpServer::Script script) {
    server_ = std::make_unique<test::TestHttpServer>(std::move(script));
    ASSERT_NE(server_->Port(), 0);
  }

  void Build() {
    ASSERT_NO_FATAL_FAILURE(audio_.Build("http://127.0.0.1:" + std::to_string(server_->Port()) + "/live"));
  }

  std::vector<std::uint64_t> packetAt_;
  std::unique_ptr<test::TestHttpServer> server_;
  test::AudioGraph audio_;
};

TEST_F(HttpPlaybackTest, ARecorderThatPausesInsideAPacketLosesNothing) {
  test::TestHttpServer::Script script;
  script.body = Recording();
  // Two seconds of silence in the middle of second 3's payload: longer than
  // the download thread's packet time-out.
  script.pauseAt = packetAt_[3] + 4 + kPacketSize / 2;
  script.pauseMs = 2000;
  Serve(std::move(script));
  Build();

  ASSERT_EQ(audio_.graph->Run(), S_OK);
  EXPECT_TRUE(server_->WaitUntilHeld(kPlayLimit));
  ASSERT_TRUE(audio_.graph->WaitForCompletion(kPlayLimit));
  EXPECT_EQ(audio_.Bytes(), PcmOfSeconds(kSeconds));
  EXPECT_EQ(audio_.sink->Samples(), kSeconds);
  EXPECT_EQ(audio_.sink->EndOfStreams(), 1);
}

TEST_F(HttpPlaybackTest, ABrokenConnectionEndsTheStream) {
  test::TestHttpServer::Script script;
  script.body = Recording();
  script.cutAt = packetAt_[5] + 4 + 10;  // inside second 5's packet
  Serve(std::move(script));
  Build();

  ASSERT_EQ(audio_.graph->Run(), S_OK);
  ASSERT_TRUE(audio_.graph->WaitForCompletion(kPlayLimit));
  // The packets that arrived whole, and nothing of the broken one.
  EXPECT_EQ(audio_.Bytes(), PcmOfSeconds(5));
  EXPECT_EQ(audio_.sink->EndOfStreams(), 1);
}

TEST_F(HttpPlaybackTest, StopReleasesAReadBlockedOnTheNetworkAndPlayingStartsAfresh) {
  test::TestHttpServer::Script script;
  script.body = Recording();
  script.answer = test::TestHttpServer::Answer::kSilence;  // the first request only
  Serve(std::move(script));
  Build();

  ASSERT_EQ(audio_.graph->Run(), S_OK);
  ASSERT_TRUE(server_->WaitUntilHeld(kPlayLimit));
  ReturnsWithin(kStopLimit, "Stop during a blocked read", [this] { EXPECT_EQ(audio_.graph->Stop(), S_OK); });
  EXPECT_EQ(audio_.sink->Samples(), 0);

  // The next run makes a new request, which the server answers in full.
  ASSERT_EQ(audio_.graph->Run(), S_OK);
  ASSERT_TRUE(audio_.graph->WaitForCompletion(kPlayLimit));
  EXPECT_EQ(audio_.Bytes(), PcmOfSeconds(kSeconds));
  EXPECT_EQ(audio_.sink->EndOfStreams(), 1);
}

}  // namespace
}  // namespace vesk
