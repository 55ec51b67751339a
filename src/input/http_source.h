// Plays a recorder stream served live over HTTP: a download thread reads the
// response one packet at a time and hands each packet to the dispatcher as it
// arrives. A watchdog around each packet read sends a time-out notice when the
// recorder goes quiet for too long.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "input/packet_dispatcher.h"
#include "input/packet_reader.h"
#include "input/watchdog.h"
#include "input/worker_thread.h"
#include "platform/http_reader.h"

namespace vesk::input {

class HttpSource final : public WorkerThread, private TimeOutTarget {
 public:
  static constexpr const char* kUserAgent = "DevaZud";
  static constexpr std::uint32_t kPacketTimeOutMs = 1500;

  // The dispatcher, the abort target and the reader are the filter's and must
  // outlive this source; the reader is used only by the download thread while
  // it runs.
  HttpSource(std::string url, PacketDispatcher& dispatcher, StreamAbortTarget& abortTarget,
             PacketReader& reader);
  ~HttpSource() override;

  // Open and Close are called by one thread at a time: the filter's state changes.

  // Starts the download thread (at the filter's Pause). E_FAIL when the HTTP
  // reader could not be set up (LastError tells why) or the thread could not
  // start; E_UNEXPECTED when already open.
  HRESULT Open();
  // Abandons the request, which releases a read blocked on the network, and
  // waits for the download thread (at the filter's Stop). Gives the thread's
  // result: 1 when the stream ended, a failure when it could not be opened,
  // broke or was abandoned; S_OK when nothing was open. Open may start again
  // afterwards.
  HRESULT Close();
  // Why the last Open could not set up its HTTP reader; S_OK when it could.
  HRESULT LastError() const { return lastError_; }

 private:
  HRESULT ThreadProc() override;
  void TimedOut() override;
  HRESULT ReadWatched(ByteSource& source, PacketPtr* packet);
  // Ends the pins' streams; a stream that could not go on is also reported,
  // unless Close abandoned it.
  HRESULT EndStream(HRESULT result);

  const std::string url_;
  PacketDispatcher& dispatcher_;
  StreamAbortTarget& abortTarget_;
  std::atomic<bool> closing_{false};  // set by Close before it abandons the request
  PacketReader& reader_;
  HRESULT lastError_ = S_OK;
  // From Open to Close. The download thread uses it in between; Close reaches
  // it from the stopping thread only through HttpReader::Close.
  std::unique_ptr<platform::HttpReader> http_;
};

}  // namespace vesk::input
