#include "platform/http_reader.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "vesk/stream_errors.h"

namespace vesk::platform {
namespace {

// The longest a wait for the network sleeps; Close and the library's own
// timers wake it earlier.
constexpr int kPollTimeoutMs = 1000;
constexpr long kMaxRedirects = 5;

}  // namespace

struct HttpReader::Session {
  ~Session() {
    if (added) curl_multi_remove_handle(multi, easy);
    if (easy) curl_easy_cleanup(easy);
    if (multi) curl_multi_cleanup(multi);
    curl_slist_free_all(headers);
  }

  static size_t OnBody(char* data, size_t size, size_t count, void* user);
  static size_t OnHeader(char* line, size_t size, size_t count, void* user);
  void CollectResult();
  // Why the transfer could not begin or go on, once it has finished badly or
  // without a success answer.
  HRESULT Failure() const;

  CURLM* multi = nullptr;
  CURL* easy = nullptr;
  curl_slist* headers = nullptr;
  bool added = false;        // the request is on its way
  bool headersDone = false;  // a 2xx answer's headers have arrived
  bool finished = false;     // the transfer is over, well or badly
  CURLcode result = CURLE_OK;

  // The caller's buffer while a Read runs: body bytes go straight there.
  std::uint8_t* target = nullptr;
  std::uint32_t targetSize = 0;
  std::uint32_t targetFilled = 0;
  // Body bytes that arrived beyond what the reads asked for so far.
  std::vector<std::uint8_t> pending;
  std::size_t pendingOffset = 0;
};

size_t HttpReader::Session::OnBody(char* data, size_t size, size_t count, void* user) {
  Session& session = *static_cast<Session*>(user);
  const size_t total = size * count;
  size_t direct = 0;
  if (session.target) {
    direct = std::min<size_t>(total, session.targetSize - session.targetFilled);
    std::memcpy(session.target + session.targetFilled, data, direct);
    session.targetFilled += static_cast<std::uint32_t>(direct);
  }
  try {
    session.pending.insert(session.pending.end(), data + direct, data + total);
  } catch (const std::bad_alloc&) {
    return 0;  // a short count makes the library fail the transfer
  }
  return total;
}

// Called for every header line of every answer, redirects included; the empty
// line ends an answer's headers.
size_t HttpReader::Session::OnHeader(char* line, size_t size, size_t count, void* user) {
  Session& session = *static_cast<Session*>(user);
  const size_t total = size * count;
  const bool endOfHeaders = (total == 2 && line[0] == '\r' && line[1] == '\n') ||
                            (total == 1 && line[0] == '\n');
  if (endOfHeaders) {
    long code = 0;
    curl_easy_getinfo(session.easy, CURLINFO_RESPONSE_CODE, &code);
    if (code >= 200 && code < 300) session.headersDone = true;
  }
  return total;
}

void HttpReader::Session::CollectResult() {
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
    if (message->msg == CURLMSG_DONE) {
      finished = true;
      result = message->data.result;
    }
  }
}

HRESULT HttpReader::Session::Failure() const {
  long status = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  switch (result) {
    case CURLE_OK:
    case CURLE_HTTP_RETURNED_ERROR:
      // Finished without a success answer: an error status, or a redirect not followed.
      return status != 0 ? HttpStatusResult(status) : kStreamClosedEarly;
    case CURLE_COULDNT_CONNECT:
      return kStreamCannotConnect;
    case CURLE_COULDNT_RESOLVE_HOST:
      return kStreamNameNotResolved;
    case CURLE_TOO_MANY_REDIRECTS:
      return kStreamTooManyRedirects;
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
      return kStreamClosedEarly;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
      return kStreamReset;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL:  // an answer without a status line
      return kStreamBadAnswer;
    default:
      return E_FAIL;
  }
}

HRESULT HttpReader::Create(const std::string& userAgent, std::unique_ptr<HttpReader>* reader) {
  reader->reset();
  // Once for the process; the library's global state stays until the process ends.
  static const CURLcode global = curl_global_init(CURL_GLOBAL_DEFAULT);
  if (global != CURLE_OK) return E_FAIL;

  auto session = std::make_unique<Session>();
  session->multi = curl_multi_init();
  session->easy = curl_easy_init();
  // A live stream must come from the recorder itself, never from a cache on the way.
  session->headers = curl_slist_append(nullptr, "Cache-Control: no-cache");
  if (!session->multi || !session->easy || !session->headers) return E_FAIL;

  CURL* easy = session->easy;
  const bool configured =
      curl_easy_setopt(easy, CURLOPT_USERAGENT, userAgent.c_str()) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_HTTPHEADER, session->headers) == CURLE_OK &&
      // Several threads use the library; it must not touch the process's signals.
      curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects) == CURLE_OK &&
      // An error answer ends the transfer at once instead of delivering its body.
      curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Session::OnBody) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_WRITEDATA, session.get()) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Session::OnHeader) == CURLE_OK &&
      curl_easy_setopt(easy, CURLOPT_HEADERDATA, session.get()) == CURLE_OK;
  if (!configured) return E_FAIL;

  reader->reset(new HttpReader(std::move(session)));
  return S_OK;
}

HttpReader::HttpReader(std::unique_ptr<Session> session) : session_(std::move(session)) {}

HttpReader::~HttpReader() = default;

// Drives the transfer until `done` holds, the transfer ends or Close is called.
// S_OK also when the transfer ended well before `done` held.
template <typename Done>
HRESULT HttpReader::RunUntil(Done done) {
  Session& session = *session_;
  for (;;) {
    if (closed_.load()) return E_FAIL;
    if (done()) return S_OK;
    if (session.finished) return session.result == CURLE_OK ? S_OK : session.Failure();
    int running = 0;
    if (curl_multi_perform(session.multi, &running) != CURLM_OK) return E_FAIL;
    session.CollectResult();
    if (done() || session.finished) continue;
    if (curl_multi_poll(session.multi, nullptr, 0, kPollTimeoutMs, nullptr) != CURLM_OK)
      return E_FAIL;
  }
}

HRESULT HttpReader::Open(const std::string& url) {
  Session& session = *session_;
  if (session.added || closed_.load()) return E_FAIL;
  if (curl_easy_setopt(session.easy, CURLOPT_URL, url.c_str()) != CURLE_OK) return E_FAIL;
  if (curl_multi_add_handle(session.multi, session.easy) != CURLM_OK) return E_FAIL;
  session.added = true;
  const HRESULT hr = RunUntil([&session] { return session.headersDone; });
  if (FAILED(hr)) return hr;
  return session.headersDone ? S_OK : session.Failure();
}

HRESULT HttpReader::Read(void* buffer, std::uint32_t size, std::uint32_t* got) {
  *got = 0;
  Session& session = *session_;
  if (!session.added) return E_UNEXPECTED;

  auto* bytes = static_cast<std::uint8_t*>(buffer);
  const std::size_t held =
      std::min<std::size_t>(size, session.pending.size() - session.pendingOffset);
  if (held > 0) {
    std::memcpy(bytes, session.pending.data() + session.pendingOffset, held);
    session.pendingOffset += held;
    if (session.pendingOffset == session.pending.size()) {
      session.pending.clear();
      session.pendingOffset = 0;
    }
  }

  session.target = bytes;
  session.targetSize = size;
  session.targetFilled = static_cast<std::uint32_t>(held);
  const HRESULT hr = RunUntil([&session] { return session.targetFilled == session.targetSize; });
  *got = session.targetFilled;
  session.target = nullptr;
  return hr;
}

void HttpReader::Close() {
  closed_.store(true);
  curl_multi_wakeup(session_->multi);
}

}  // namespace vesk::platform
