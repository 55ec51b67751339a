#include "test_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace vesk::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto kLifetime = std::chrono::seconds(60);
constexpr milliseconds kForever = milliseconds::max();
constexpr std::size_t kMaxRequestSize = 16 * 1024;
constexpr char kNotFound[] = "HTTP/1.0 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found";

}  // namespace

TestHttpServer::TestHttpServer(Script script)
    : script_(std::move(script)), deadline_(Clock::now() + kLifetime) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int wake[2];
  const bool ready =
      listener_ >= 0 && ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
      ::listen(listener_, 8) == 0 &&
      ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
      ::pipe2(wake, O_CLOEXEC | O_NONBLOCK) == 0;
  if (!ready) {
    CloseSockets();
    return;
  }
  wakeRead_ = wake[0];
  wakeWrite_ = wake[1];
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

std::string TestHttpServer::Url() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/stream";
}

void TestHttpServer::Stop() {
  if (thread_.joinable()) {
    const char wake = 1;
    (void)!::write(wakeWrite_, &wake, 1);
    thread_.join();
  }
  CloseSockets();
}

void TestHttpServer::CloseSockets() {
  for (int* fd : {&listener_, &wakeRead_, &wakeWrite_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

std::string TestHttpServer::UserAgent() const {
  std::lock_guard lock(mutex_);
  return userAgent_;
}

bool TestHttpServer::WaitUntilHeld(milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return heldChanged_.wait_for(lock, timeout, [this] { return held_; });
}

void TestHttpServer::MarkHeld() {
  {
    std::lock_guard lock(mutex_);
    held_ = true;
  }
  heldChanged_.notify_all();
}

// Waits for `events` on `fd`, for Stop, or for the end of `timeout` or of the
// server's lifetime, whichever comes first.
TestHttpServer::Wake TestHttpServer::WaitFor(int fd, short events, milliseconds timeout) {
  const auto until = timeout == kForever ? deadline_ : std::min(deadline_, Clock::now() + timeout);
  pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {fd, events, 0}};
  for (;;) {
    const auto now = Clock::now();
    if (now >= deadline_) return Wake::kStopped;
    if (now >= until) return Wake::kTimedOut;
    const auto left = std::chrono::ceil<milliseconds>(until - now).count();
    const int n = ::poll(fds, 2, static_cast<int>(left));
    if (n < 0 && errno != EINTR) return Wake::kStopped;
    if (n > 0 && fds[0].revents) return Wake::kStopped;
    if (n > 0 && fds[1].revents) return Wake::kReady;
  }
}

void TestHttpServer::Serve() {
  for (bool first = true;;) {
    if (WaitFor(listener_, POLLIN, kForever) != Wake::kReady) return;
    const int client = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (client < 0) continue;
    ServeClient(client, first);
    first = false;
    ::shutdown(client, SHUT_WR);
    ::close(client);
  }
}

void TestHttpServer::ServeClient(int client, bool first) {
  std::string request;
  if (!ReadRequest(client, &request)) return;
  RecordUserAgent(request);

  const Answer answer = first ? script_.answer : Answer::kBody;
  if (answer == Answer::kNotFound) {
    SendAll(client, kNotFound, sizeof kNotFound - 1);
    return;
  }
  if (answer == Answer::kSilence) {
    MarkHeld();
    WaitFor(client, POLLIN, kForever);  // until the client goes or the server stops
    return;
  }

  const std::vector<std::uint8_t>& body = script_.body;
  const std::string head =
      "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
      std::to_string(body.size()) + "\r\n\r\n";
  const std::uint64_t end = first ? std::min<std::uint64_t>(body.size(), script_.cutAt) : body.size();
  const std::uint64_t pause = first ? std::min(script_.pauseAt, end) : end;
  if (!SendAll(client, head.data(), head.size()) || !SendAll(client, body.data(), pause)) return;
  if (pause < end) {
    MarkHeld();
    // The client sends nothing after its request: readable means it went away.
    if (WaitFor(client, POLLIN, milliseconds(script_.pauseMs)) != Wake::kTimedOut) return;
  }
  SendAll(client, body.data() + pause, end - pause);
}

bool TestHttpServer::ReadRequest(int client, std::string* request) {
  char buffer[1024];
  while (request->find("\r\n\r\n") == std::string::npos) {
    if (request->size() > kMaxRequestSize) return false;
    if (WaitFor(client, POLLIN, kForever) != Wake::kReady) return false;
    const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return false;
    if (n > 0) request->append(buffer, static_cast<std::size_t>(n));
  }
  return true;
}

bool TestHttpServer::SendAll(int client, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::send(client, bytes, size, MSG_NOSIGNAL);
    if (n > 0) {
      bytes += n;
      size -= static_cast<std::size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      if (WaitFor(client, POLLOUT, kForever) != Wake::kReady) return false;
    } else {
      return false;
    }
  }
  return true;
}

void TestHttpServer::RecordUserAgent(const std::string& request) {
  std::string lower(request);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const std::string name = "\r\nuser-agent:";
  std::string value;
  if (const auto at = lower.find(name); at != std::string::npos) {
    const auto start = request.find_first_not_of(' ', at + name.size());
    value = request.substr(start, request.find("\r\n", start) - start);
  }
  std::lock_guard lock(mutex_);
  userAgent_ = value;
}

}  // namespace vesk::test
