// A loopback HTTP server for tests. It answers each request with one body, on a
// thread of its own, and plays a script on the first request to act like a
// recorder that pauses, breaks the connection, refuses the URL or never
// answers; later requests get the whole body at once. It stops when destroyed,
// and by itself a minute after it started at the latest.
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
    kBody,      // 200 with the body
    kNotFound,  // 404
    kSilence,   // read the request, then hold the connection without a word
  };

  struct Script {
    std::vector<std::uint8_t> body;
    Answer answer = Answer::kBody;
    std::uint64_t pauseAt = kNever;  // body offset where sending stops for pauseMs
    std::uint32_t pauseMs = 0;
    std::uint64_t cutAt = kNever;  // body offset where the connection is closed
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
  void ServeClient(int client, bool first);
  Wake WaitFor(int fd, short events, std::chrono::milliseconds timeout);
  bool ReadRequest(int client, std::string* request);
  bool SendAll(int client, const void* data, std::size_t size);
  void RecordUserAgent(const std::string& request);
  void MarkHeld();
  void CloseSockets();

  const Script script_;
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
