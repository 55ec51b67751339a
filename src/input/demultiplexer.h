// Routes every packet a producer hands over to the pin that plays its channel,
// keeps the stream clock from the index positions, reconfigures the channels
// when a channel description passes, and measures the incoming byte rate.
// There is no queue: the pins deliver before DispatchPacket returns, so the
// downstream pace is the reading pace.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "input/packet_dispatcher.h"
#include "input/stream_configuration.h"

namespace vesk::input {

// The filter's pins as the demultiplexer sees them.
class DemultiplexerOutputs {
 public:
  virtual bool VideoConnected() = 0;
  virtual bool AudioConnected() = 0;
  virtual void DeliverVideo(Packet& packet) = 0;
  virtual void DeliverAudio(Packet& packet) = 0;
  // Every index position: the stream clock of the pins moves to its time.
  virtual void SetClock(std::uint32_t seconds) = 0;
  virtual void ShowTotalBytesPerSecond(double bytesPerSecond) = 0;
  // A snapshot freezes the picture until an index position of the last camera passes.
  virtual bool SnapshotFreezeHeld() = 0;
  virtual void ReleaseSnapshotFreeze() = 0;
  virtual void EndOfStreamAll() = 0;

 protected:
  ~DemultiplexerOutputs() = default;
};

class Demultiplexer final : public PacketDispatcher {
 public:
  using TickSource = std::function<std::uint32_t()>;

  Demultiplexer(StreamConfiguration& configuration, DemultiplexerOutputs& outputs, TickSource tick);

  void DispatchPacket(Packet& packet) override;
  void EndOfStreamAll() override { outputs_.EndOfStreamAll(); }

  // A new configuration starts a new measuring period.
  void RestartByteRate();

  // Read and set without the lock, which a delivery blocked downstream may hold
  // for long: a host polls the position while paused.
  std::uint32_t CurrentTime() const;
  void SetCurrentTime(std::uint32_t seconds);

  // Held for the whole of each DispatchPacket; others take it to push a packet
  // of their own in step with the producers.
  std::recursive_mutex& lock() { return lock_; }

 private:
  void Route(Packet& packet);

  StreamConfiguration& configuration_;
  DemultiplexerOutputs& outputs_;
  TickSource tick_;

  // Guards the byte counter and the measuring start, and
  // serialises the producers. Recursive: a channel description parsed under
  // it restarts the byte rate through the configuration's listener.
  mutable std::recursive_mutex lock_;
  std::uint32_t byteCounter_ = 0;
  std::uint32_t measuringStart_ = 0;
  std::atomic<std::uint32_t> currentTime_{0};
  // Index positions carry no camera: the one of the last data packet stands for it.
  std::uint8_t lastPinIndex_ = 0;
};

}  // namespace vesk::input
