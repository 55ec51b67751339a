// One HTTP GET whose body is read with exact-count reads, as a byte source
// needs them. Close, from any thread, abandons the request at once: an Open or
// a Read blocked on the network returns with a failure.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "vesk/com.h"

namespace vesk::platform {

class HttpReader {
 public:
  // A reader whose request will carry `userAgent`. E_FAIL when the HTTP library
  // could not set one up.
  static HRESULT Create(const std::string& userAgent, std::unique_ptr<HttpReader>* reader);
  ~HttpReader();
  HttpReader(const HttpReader&) = delete;
  HttpReader& operator=(const HttpReader&) = delete;

  // Sends the request and waits for the answer's headers, following up to
  // five redirects. S_OK for a 2xx answer; otherwise the cause as one of the
  // results of vesk/stream_errors.h (an HTTP status, a refused connection, an
  // answer closed before its headers...), or E_FAIL for a second Open or Close.
  HRESULT Open(const std::string& url);
  // Reads `size` bytes of the body, or fewer only where the body ends; *got = 0
  // means it has ended. When the connection broke first, the cause as Open
  // gives it; E_FAIL on Close.
  HRESULT Read(void* buffer, std::uint32_t size, std::uint32_t* got);
  // Abandons the request; every Open and Read from now on fails. The only call
  // that may come from another thread while Open or Read runs. The connection
  // itself is released with the object.
  void Close();

 private:
  struct Session;  // the library's handles and the transfer's progress

  explicit HttpReader(std::unique_ptr<Session> session);
  template <typename Done>
  HRESULT RunUntil(Done done);

  const std::unique_ptr<Session> session_;
  std::atomic<bool> closed_{false};
};

}  // namespace vesk::platform
