#include "input/http_source.h"

#include <utility>

#include "input/http_byte_source.h"
#include "vesk/stream_errors.h"

namespace vesk::input {

HttpSource::HttpSource(std::string url, PacketDispatcher& dispatcher,
                       StreamAbortTarget& abortTarget, PacketReader& reader)
    : url_(std::move(url)), dispatcher_(dispatcher), abortTarget_(abortTarget), reader_(reader) {}

HttpSource::~HttpSource() { Close(); }

HRESULT HttpSource::Open() {
  if (http_) return E_UNEXPECTED;
  lastError_ = platform::HttpReader::Create(kUserAgent, &http_);
  if (FAILED(lastError_)) return E_FAIL;
  closing_ = false;
  if (!Create()) {
    http_.reset();
    return E_FAIL;
  }
  return S_OK;
}

HRESULT HttpSource::Close() {
  closing_ = true;
  if (http_) http_->Close();
  const HRESULT result = Join();
  http_.reset();
  return result;
}

// The download loop. The stream ends normally only where the response ends
// between two packets; a request that fails, a connection that breaks or ends
// inside a packet, and bytes that are not a recorder stream end it with a cause.
HRESULT HttpSource::ThreadProc() {
  if (const HRESULT opened = http_->Open(url_); FAILED(opened)) return EndStream(opened);
  HttpByteSource source(*http_);
  for (bool cut = false;;) {
    const std::uint64_t packetStart = source.Position();
    PacketPtr packet;
    const HRESULT hr = ReadWatched(source, &packet);
    if (hr == S_FALSE)
      return EndStream(cut || source.Position() != packetStart ? kStreamClosedEarly : S_FALSE);
    if (hr != S_OK) {
      // The reader says E_FAIL both for a broken connection and for bytes out of step.
      const HRESULT brokenRead = source.Failure();
      return EndStream(hr != E_FAIL ? hr : FAILED(brokenRead) ? brokenRead : kStreamNotRecorder);
    }
    cut = reader_.LastPacketCut();
    dispatcher_.DispatchPacket(*packet);
  }
}

HRESULT HttpSource::EndStream(HRESULT result) {
  if (SUCCEEDED(result) || closing_) {
    dispatcher_.EndOfStreamAll();
  } else {
    // Deliberately more than ending the download thread, also when the request
    // itself failed: a host waiting for the end of the stream would wait forever.
    abortTarget_.AbortStream(result);
  }
  return result;
}

HRESULT HttpSource::ReadWatched(ByteSource& source, PacketPtr* packet) {
  Watchdog watchdog(*this, kPacketTimeOutMs);
  return reader_.ReadPacket(source, packet, ReadMode::kWithData);
}

// Runs on the watchdog's thread while the download thread waits for bytes.
void HttpSource::TimedOut() {
  PacketPtr notice(Packet::Create(PacketKind::kTimeOut, 0, false));
  if (notice) dispatcher_.DispatchPacket(*notice);
}

}  // namespace vesk::input
