#include "input/http_source.h"

#include <utility>

#include "input/http_byte_source.h"

namespace vesk::input {

HttpSource::HttpSource(std::string url, PacketDispatcher& dispatcher, PacketReader& reader)
    : url_(std::move(url)), dispatcher_(dispatcher), reader_(reader) {}

HttpSource::~HttpSource() { Close(); }

HRESULT HttpSource::Open() {
  if (http_) return E_UNEXPECTED;
  lastError_ = platform::HttpReader::Create(kUserAgent, &http_);
  if (FAILED(lastError_)) return E_FAIL;
  if (!Create()) {
    http_.reset();
    return E_FAIL;
  }
  return S_OK;
}

HRESULT HttpSource::Close() {
  if (http_) http_->Close();
  const HRESULT result = Join();
  http_.reset();
  return result;
}

// The download loop. A URL that cannot be opened ends the thread without a
// word to the pins; once the stream flows, its end or break ends their streams.
HRESULT HttpSource::ThreadProc() {
  if (FAILED(http_->Open(url_))) return E_FAIL;
  HttpByteSource source(*http_);
  for (;;) {
    PacketPtr packet;
    const HRESULT hr = ReadWatched(source, &packet);
    if (hr != S_OK) {
      dispatcher_.EndOfStreamAll();
      return hr;
    }
    dispatcher_.DispatchPacket(*packet);
  }
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
