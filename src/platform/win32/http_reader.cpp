#include "platform/http_reader.h"

#include <windows.h>
#include <wininet.h>

namespace vesk::platform {

// WinInet's handles. Close may come from another thread while a call blocks
// on them: closing a handle makes that call return, so they are swapped out
// atomically and closed once.
struct HttpReader::Session {
  ~Session() { CloseHandles(); }
  void CloseHandles() {
    if (HINTERNET request = url.exchange(nullptr)) InternetCloseHandle(request);
    if (HINTERNET session = internet.exchange(nullptr)) InternetCloseHandle(session);
  }

  std::atomic<HINTERNET> internet{nullptr};
  std::atomic<HINTERNET> url{nullptr};
};

HttpReader::HttpReader(std::unique_ptr<Session> session) : session_(std::move(session)) {}
HttpReader::~HttpReader() = default;

HRESULT HttpReader::Create(const std::string& userAgent, std::unique_ptr<HttpReader>* reader) {
  auto session = std::make_unique<Session>();
  session->internet = InternetOpenA(userAgent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!session->internet) return E_FAIL;
  reader->reset(new HttpReader(std::move(session)));
  return S_OK;
}

HRESULT HttpReader::Open(const std::string& url) {
  HINTERNET internet = session_->internet.load();
  if (closed_ || !internet || session_->url.load()) return E_FAIL;
  HINTERNET request =
      InternetOpenUrlA(internet, url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
  if (!request) return E_FAIL;
  HINTERNET expected = nullptr;
  if (closed_ || !session_->url.compare_exchange_strong(expected, request)) {
    InternetCloseHandle(request);
    return E_FAIL;
  }
  DWORD status = 0;
  DWORD length = sizeof status;
  if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr) ||
      status < 200 || status > 299)
    return E_FAIL;
  return S_OK;
}

HRESULT HttpReader::Read(void* buffer, std::uint32_t size, std::uint32_t* got) {
  *got = 0;
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  while (*got < size) {
    HINTERNET request = session_->url.load();
    if (closed_ || !request) return E_FAIL;
    DWORD n = 0;
    if (!InternetReadFile(request, bytes + *got, size - *got, &n)) return E_FAIL;
    if (n == 0) break;
    *got += n;
  }
  return closed_ ? E_FAIL : S_OK;
}

void HttpReader::Close() {
  closed_ = true;
  session_->CloseHandles();
}

}  // namespace vesk::platform
