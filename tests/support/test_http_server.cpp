#include "test_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vesk::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto kLifetime = std::chrono::seconds(60);
constexpr milliseconds kForever = milliseconds::max();
constexpr std::size_t kMaxRequestSize = 16 * 1024;
constexpr char kNotFound[] = "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nConnection: close\r\n\r\nnot found";
constexpr char kServerError[] =
    "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 5\r\nConnection: close\r\n\r\nbusy!";
constexpr char kNotHttp[] = "SSH-2.0-OpenWhatever\r\nthis is no answer to a GET\r\n\r\n";
constexpr std::size_t kChunkSize = 1000;
constexpr auto kDripPause = std::chrono::microseconds(200);

std::string Redirect(int status, const std::string& reason, const std::string& location) {
  return "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\nLocation: " + location +
         "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
}

// Where a request asked to go: its path, for a redirect to the same place.
std::string RequestPath(const std::string& request) {
  const auto start = request.find(' ') + 1;
  return request.substr(start, request.find(' ', start) - start);
}

}  // namespace

TestHttpServer::TestHttpServer(Script script)
    : script_(std::move(script)), sentBody_(script_.body), deadline_(Clock::now() + kLifetime) {
  for (std::uint64_t i = script_.garbageAt; i < sentBody_.size(); ++i)
    sentBody_[i] = static_cast<std::uint8_t>("garbage!"[i % 8]);
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
    if (ServeClient(client, first)) {
      ::shutdown(client, SHUT_WR);
    } else {
      // No linger: the close resets the connection.
      const linger reset{1, 0};
      ::setsockopt(client, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }
    first = false;
    ::close(client);
  }
}

bool TestHttpServer::ServeClient(int client, bool first) {
  std::string request;
  if (!ReadRequest(client, &request)) return true;
  RecordUserAgent(request);

  switch (first ? script_.answer : script_.laterAnswer) {
    case Answer::kNotFound:
      SendAll(client, kNotFound, sizeof kNotFound - 1);
      return true;
    case Answer::kServerError:
      SendAll(client, kServerError, sizeof kServerError - 1);
      return true;
    case Answer::kMoved:
    case Answer::kFound: {
      const bool moved = (first ? script_.answer : script_.laterAnswer) == Answer::kMoved;
      const std::string answer = Redirect(moved ? 301 : 302, moved ? "Moved Permanently" : "Found",
                                          "http://127.0.0.1:" + std::to_string(port_) + RequestPath(request));
      SendAll(client, answer.data(), answer.size());
      return true;
    }
    case Answer::kSilence:
      MarkHeld();
      WaitFor(client, POLLIN, kForever);  // until the client goes or the server stops
      return true;
    case Answer::kCloseAtOnce:
      return true;
    case Answer::kNotHttp:
      SendAll(client, kNotHttp, sizeof kNotHttp - 1);
      return true;
    case Answer::kBody:
      break;
  }
  const bool faulty = !bodyServed_;
  bodyServed_ = true;
  return SendBody(client, faulty);
}

// The head, then the body with the script's faults when `faulty`.
bool TestHttpServer::SendBody(int client, bool faulty) {
  const Script plain{.body = script_.body};
  const Script& s = faulty ? script_ : plain;
  const std::vector<std::uint8_t>& body = faulty ? sentBody_ : script_.body;
  const std::string status = "HTTP/1.1 200 OK\r\n";
  const std::string head =
      "Content-Type: application/octet-stream\r\nConnection: close\r\n" +
      (s.chunked ? std::string("Transfer-Encoding: chunked\r\n")
                 : "Content-Length: " + std::to_string(static_cast<std::int64_t>(body.size()) + s.lengthError) +
                       "\r\n") +
      "\r\n";
  if (!SendAll(client, status.data(), status.size())) return true;
  if (s.headerDelayMs > 0) {
    MarkHeld();
    if (WaitFor(client, POLLIN, milliseconds(s.headerDelayMs)) != Wake::kTimedOut) return true;
  }
  if (!SendAll(client, head.data(), head.size())) return true;

  const std::uint64_t end = std::min<std::uint64_t>({body.size(), s.cutAt, s.resetAt});
  for (std::uint64_t offset = 0; offset < end;) {
    std::uint64_t next = std::min(end, s.chunked ? offset + kChunkSize : end);
    for (std::uint64_t mark : {s.pauseAt, s.brokenChunkAt})
      if (offset < mark && mark < next) next = mark;
    if (offset == s.pauseAt) {
      MarkHeld();
      // The client sends nothing after its request: readable means it went away.
      if (WaitFor(client, POLLIN, milliseconds(s.pauseMs)) != Wake::kTimedOut) return true;
    }
    if (s.chunked) {
      char size[32];
      const bool broken = offset == s.brokenChunkAt;
      std::snprintf(size, sizeof size, broken ? "zz\r\n" : "%llx\r\n",
                    static_cast<unsigned long long>(next - offset));
      if (!SendAll(client, size, std::strlen(size))) return true;
    }
    if (!SendBodyBytes(client, body.data() + offset, next - offset, s.drip)) return true;
    if (s.chunked && !SendAll(client, "\r\n", 2)) return true;
    offset = next;
  }
  if (end < body.size()) return end != s.resetAt;
  return !s.chunked || SendAll(client, "0\r\n\r\n", 5);
}

bool TestHttpServer::SendBodyBytes(int client, const std::uint8_t* data, std::size_t size, bool drip) {
  if (!drip) return SendAll(client, data, size);
  const int noDelay = 1;  // each byte its own segment
  ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
  for (std::size_t i = 0; i < size; ++i) {
    if (!SendAll(client, data + i, 1)) return false;
    std::this_thread::sleep_for(kDripPause);
  }
  return true;
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
