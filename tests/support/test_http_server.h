// A loopback HTTP server for tests. It answers each request on a thread of its
// own and acts like a recorder that misbehaves: it refuses, redirects, never
// answers, answers slowly or with garbage, and serves the body with one fault
// (a pause, a cut, a reset, a drip, garbage, a wrong length, broken chunks).
// The faults shape the first body it serves; later requests get the whole
// body at once. It stops when destroyed, and by itself a minute after it
// started at the latest.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vesk::test {

class TestHttpServer {
 public:
  static constexpr std::uint64_t kNever = ~0ull;

  enum class Answer {
    kBody,         // 200 with the body
    kNotFound,     // 404
    kServerError,  // 500
    kMoved,        // 301 to the same URL
    kFound,        // 302 to the same URL
    kSilence,      // read the request, then hold the connection without a word
    kCloseAtOnce,  // close the connection before any header
    kNotHttp,      // bytes that are no HTTP answer at all
  };

  struct Script {
    std::vector<std::uint8_t> body;
    Answer answer = Answer::kBody;       // to the first request
    Answer laterAnswer = Answer::kBody;  // to every request after it
    std::uint32_t headerDelayMs = 0;     // between the status line and the other headers
    std::uint64_t pauseAt = kNever;      // body offset where sending stops for pauseMs
    std::uint32_t pauseMs = 0;
    std::uint64_t cutAt = kNever;      // body offset where the connection is closed
    std::uint64_t resetAt = kNever;    // body offset where the connection is reset
    std::uint64_t garbageAt = kNever;  // body offset from which garbage replaces the bytes
    bool drip = false;                 // one byte per send
    std::int64_t lengthError = 0;      // added to the Content-Length announced
    bool chunked = false;              // chunked transfer coding instead of a length
    std::uint64_t brokenChunkAt = kNever;  // body offset of a chunk whose size is garbled
  };
  explicit TestHttpServer(Script script);
  ~TestHttpServer() { Stop(); }
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  // The port on 127.0.0.1; 0 when the server could not start.
  std::uint16_t Port() const { return port_; }
  std::string Url() const;
  // Stops serving at once, closing any connection it holds.
  void Stop();

  // The User-Agent header of the last request; empty before any.
  std::string UserAgent() const;
  // Waits until the first request reached its pause or its silence; false
  // when `timeout` passed first.
  bool WaitUntilHeld(std::chrono::milliseconds timeout);

 private:
  enum class Wake { kReady, kTimedOut, kStopped };

  void Serve();
  // False when the connection must go without the orderly close.
  bool ServeClient(int client, bool first);
  bool SendBody(int client, bool faulty);
  bool SendBodyBytes(int client, const std::uint8_t* data, std::size_t size, bool drip);
  Wake WaitFor(int fd, short events, std::chrono::milliseconds timeout);
  bool ReadRequest(int client, std::string* request);
  bool SendAll(int client, const void* data, std::size_t size);
  void RecordUserAgent(const std::string& request);
  void MarkHeld();
  void CloseSockets();

  const Script script_;
  std::vector<std::uint8_t> sentBody_;  // the body with its garbage, if any
  bool bodyServed_ = false;             // server thread only
  const std::chrono::steady_clock::time_point deadline_;
  int listener_ = -1;
  int wakeRead_ = -1;  // Stop writes to wakeWrite_; every wait watches wakeRead_
  int wakeWrite_ = -1;
  std::uint16_t port_ = 0;

  mutable std::mutex mutex_;  // guards userAgent_ and held_
  std::condition_variable heldChanged_;
  std::string userAgent_;
  bool held_ = false;

  std::thread thread_;
};

}  // namespace vesk::test
