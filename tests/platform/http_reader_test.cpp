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

// What the whole body reads as: S_OK, or the cause the reader gave for its end.
HRESULT ReadToEnd(HttpReader& reader, std::vector<std::uint8_t>* received) {
  std::uint8_t buffer[700];
  for (std::uint32_t got = 0;;) {
    const HRESULT hr = reader.Read(buffer, sizeof buffer, &got);
    received->insert(received->end(), buffer, buffer + got);
    if (FAILED(hr) || got == 0) return hr;
  }
}

TEST(HttpReaderTest, NamesWhyARequestFailsOrABodyBreaks) {
  TestHttpServer refusing({.body = Body(10)});
  const std::uint16_t closedPort = refusing.Port();
  refusing.Stop();
  EXPECT_EQ(NewReader()->Open("http://127.0.0.1:" + std::to_string(closedPort) + "/"), kStreamCannotConnect);

  const std::vector<std::pair<TestHttpServer::Script, HRESULT>> refusals = {
      {{.body = {}, .answer = Answer::kNotFound}, HttpStatusResult(404)},
      {{.body = {}, .answer = Answer::kServerError}, HttpStatusResult(500)},
      {{.body = {}, .answer = Answer::kFound, .laterAnswer = Answer::kServerError}, HttpStatusResult(500)},
      {{.body = {}, .answer = Answer::kFound, .laterAnswer = Answer::kFound}, kStreamTooManyRedirects},
      {{.body = {}, .answer = Answer::kCloseAtOnce}, kStreamClosedEarly},
      {{.body = {}, .answer = Answer::kNotHttp}, kStreamBadAnswer},
  };
  for (const auto& [script, cause] : refusals) {
    TestHttpServer server(script);
    EXPECT_EQ(NewReader()->Open(server.Url()), cause) << static_cast<int>(script.answer);
  }

  const auto body = Body(5000);
  const std::vector<std::pair<TestHttpServer::Script, HRESULT>> bodies = {
      {{.body = body, .answer = Answer::kMoved}, S_OK},
      {{.body = body, .chunked = true}, S_OK},
      {{.body = body, .cutAt = 3000}, kStreamClosedEarly},
      {{.body = body, .lengthError = 100}, kStreamClosedEarly},
      {{.body = body, .resetAt = 3000}, kStreamReset},
      {{.body = body, .chunked = true, .brokenChunkAt = 3500}, kStreamReset},
  };
  for (const auto& [script, cause] : bodies) {
    TestHttpServer server(script);
    auto reader = NewReader();
    ASSERT_EQ(reader->Open(server.Url()), S_OK);
    std::vector<std::uint8_t> received;
    EXPECT_EQ(ReadToEnd(*reader, &received), cause);
    // What arrived is the body or, where it broke, a part of its start.
    ASSERT_LE(received.size(), body.size());
    if (SUCCEEDED(cause)) {
      EXPECT_EQ(received.size(), body.size());
    }
    EXPECT_TRUE(std::equal(received.begin(), received.end(), body.begin()));
  }
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
