// The filter playing a live recorder over HTTP into a host graph: a Stop that
// comes while the download thread waits for bytes that never come. The
// recorder's other faults are played through vesk-play's tests.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

#include "audio_graph.h"
#include "input/stream_format.h"
#include "mkrec/stream_writer.h"
#include "returns_within.h"
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

class HttpPlaybackTest : public ::testing::Test {
 protected:
  ~HttpPlaybackTest() override {
    if (audio_.graph) test::ReturnsWithin(kStopLimit, "Stop", [this] { return audio_.graph->Stop(); });
    server_.reset();
  }

  // One audio channel of 16-bit PCM; an index position and one packet a second.
  Bytes Recording() {
    mkrec::VectorSink stream;
    mkrec::StreamWriter writer(stream);
    writer.ChannelDescription(mkrec::ConfigurationBuilder("Gate")
                                  .Channel(8, input::kChannelAudio, "PCM", "mic", "rate=8000 bits=16")
                                  .End()
                                  .bytes());
    for (int second = 0; second < kSeconds; ++second) {
      writer.IndexPosition(1000 + second);
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

  std::unique_ptr<test::TestHttpServer> server_;
  test::AudioGraph audio_;
};

TEST_F(HttpPlaybackTest, StopReleasesAReadBlockedOnTheNetworkAndPlayingStartsAfresh) {
  test::TestHttpServer::Script script;
  script.body = Recording();
  script.answer = test::TestHttpServer::Answer::kSilence;  // the first request only
  Serve(std::move(script));
  Build();

  ASSERT_EQ(audio_.graph->Run(), S_OK);
  ASSERT_TRUE(server_->WaitUntilHeld(kPlayLimit));
  EXPECT_EQ(test::ReturnsWithin(kStopLimit, "Stop during a blocked read", [this] { return audio_.graph->Stop(); }), S_OK);
  EXPECT_EQ(audio_.sink->Samples(), 0);

  // The next run makes a new request, which the server answers in full.
  ASSERT_EQ(audio_.graph->Run(), S_OK);
  ASSERT_TRUE(audio_.graph->WaitForCompletion(kPlayLimit));
  EXPECT_EQ(audio_.Bytes(), PcmOfSeconds(kSeconds));
  EXPECT_EQ(audio_.sink->EndOfStreams(), 1);
}

}  // namespace
}  // namespace vesk
