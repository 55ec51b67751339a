// Where producers (the reading thread, the HTTP download thread, the time-out
// watchdog) hand their packets: the filter's demultiplexer.
#pragma once

#include "input/packet.h"
#include "vesk/com.h"

namespace vesk::input {

class PacketDispatcher {
 public:
  // Routes one packet to the pin that plays it; the caller keeps its reference.
  // Safe to call from several producer threads: calls are serialised inside.
  virtual void DispatchPacket(Packet& packet) = 0;
  // Sends end of stream to every connected pin.
  virtual void EndOfStreamAll() = 0;

 protected:
  ~PacketDispatcher() = default;
};

// Told by a live source when its stream cannot go on.
class StreamAbortTarget {
 public:
  // Sends end of stream to every connected pin and tells the host `why` (a failure).
  virtual void AbortStream(HRESULT why) = 0;

 protected:
  ~StreamAbortTarget() = default;
};

}  // namespace vesk::input
