#include "platform/http_reader.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>

#include "platform/event.h"
#include "platform/thread.h"
#include "test_http_server.h"
#include "vesk/stream_errors.h"

namespace vesk::platform {
namespace {

using test::TestHttpServer;
using Answer = TestHttpServer::Answer;

constexpr std::uint32_t kHangMs = 5000;

std::vector<std::uint8_t> Body(std::size_t size) {
  std::vector<std::uint8_t> body(size);
  std::iota(body.begin(), body.end(), std::uint8_t{1});
  return body;
}

std::unique_ptr<HttpReader> NewReader() {
  std::unique_ptr<HttpReader> reader;
  EXPECT_EQ(HttpReader::Create("VeskTest/1", &reader), S_OK);
  return reader;
}

TEST(HttpReaderTest, ReadsExactCountsUntilTheBodyEnds) {
  const auto body = Body(100'000);
  TestHttpServer server({.body = body});
  ASSERT_NE(server.Port(), 0);
  auto reader = NewReader();
  ASSERT_EQ(reader->Open(server.Url()), S_OK);

  std::vector<std::uint8_t> received(body.size() + 10);
  std::uint32_t got = 0;
  ASSERT_EQ(reader->Read(received.data(), 4, &got), S_OK);
  EXPECT_EQ(got, 4u);
  ASSERT_EQ(reader->Read(received.data() + 4, 70'000, &got), S_OK);
  EXPECT_EQ(got, 70'000u);
  ASSERT_EQ(reader->Read(received.data() + 70'004, 30'000, &got), S_OK);
  EXPECT_EQ(got, 29'996u);  // fewer only where the body ends
  received.resize(body.size());
  EXPECT_EQ(received, body);
  EXPECT_EQ(reader->Read(received.data(), 10, &got), S_OK);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(server.UserAgent(), "VeskTest/1");
}

// The cases of each cause are played through vesk-play's tests.
TEST(HttpReaderTest, NamesWhyARequestFails) {
  TestHttpServer notFound({.body = Body(10), .answer = Answer::kNotFound});
  EXPECT_EQ(NewReader()->Open(notFound.Url()), HttpStatusResult(404));

  const std::uint16_t closedPort = notFound.Port();
  notFound.Stop();
  EXPECT_EQ(NewReader()->Open("http://127.0.0.1:" + std::to_string(closedPort) + "/"), kStreamCannotConnect);
}

// Close from another thread must release whatever the reading thread waits in.
void ExpectCloseReleases(HttpReader& reader, TestHttpServer& server,
                         const std::function<HRESULT()>& blockingCall) {
  Event returned(EventMode::kManualReset);
  HRESULT result = S_OK;
  Thread thread;
  ASSERT_EQ(thread.Start([&] {
    result = blockingCall();
    returned.Set();
  }), S_OK);
  ASSERT_TRUE(server.WaitUntilHeld(std::chrono::milliseconds(kHangMs)));
  reader.Close();
  EXPECT_TRUE(returned.Wait(kHangMs));
  server.Stop();  // should Close have failed, this ends the call
  thread.Join();
  EXPECT_EQ(result, E_FAIL);
}

TEST(HttpReaderTest, CloseReleasesAnOpenWaitingForAnAnswer) {
  TestHttpServer server({.body = {}, .answer = Answer::kSilence});
  auto reader = NewReader();
  ExpectCloseReleases(*reader, server, [&] { return reader->Open(server.Url()); });
}

TEST(HttpReaderTest, CloseReleasesABlockedReadAndEndsTheReader) {
  TestHttpServer server({.body = Body(1000), .pauseAt = 100, .pauseMs = 60'000});
  auto reader = NewReader();
  ASSERT_EQ(reader->Open(server.Url()), S_OK);
  std::uint8_t buffer[1000];
  std::uint32_t got = 0;
  ExpectCloseReleases(*reader, server, [&] { return reader->Read(buffer, sizeof buffer, &got); });
  EXPECT_EQ(reader->Read(buffer, 1, &got), E_FAIL);
  EXPECT_EQ(reader->Open(server.Url()), E_FAIL);
}

}  // namespace
}  // namespace vesk::platform
