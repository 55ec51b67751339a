#include "input/demultiplexer.h"

namespace vesk::input {
namespace {
constexpr std::uint32_t kMeasuringPeriodMs = 2000;
}

Demultiplexer::Demultiplexer(StreamConfiguration& configuration, DemultiplexerOutputs& outputs,
                             TickSource tick)
    : configuration_(configuration), outputs_(outputs), tick_(std::move(tick)) {
  measuringStart_ = tick_();
}

void Demultiplexer::DispatchPacket(Packet& packet) {
  std::lock_guard guard(lock_);
  byteCounter_ += packet.length;
  const std::uint32_t now = tick_();
  const std::uint32_t elapsed = now - measuringStart_;
  if (elapsed > kMeasuringPeriodMs) {
    outputs_.ShowTotalBytesPerSecond(byteCounter_ * 1000.0 / elapsed);
    byteCounter_ = 0;
    measuringStart_ = now;
  }
  Route(packet);
}

void Demultiplexer::Route(Packet& packet) {
  switch (packet.kind) {
    case PacketKind::kIndexPosition:
      if (outputs_.SnapshotFreezeHeld() && configuration_.VideoChannelCount() == lastPinIndex_ + 1u)
        outputs_.ReleaseSnapshotFreeze();
      currentTime_.store(packet.time, std::memory_order_release);
      outputs_.SetClock(packet.time);
      return;
    case PacketKind::kConfigurationChanged:
    case PacketKind::kTimeOut:
      if (outputs_.VideoConnected()) outputs_.DeliverVideo(packet);
      return;
    case PacketKind::kChannelDescription: {
      // A description that does not parse still tells the video pin.
      configuration_.ParseConfiguration(packet.data, packet.length);
      PacketPtr notice(Packet::Create(PacketKind::kConfigurationChanged, 0, false));
      if (notice && outputs_.VideoConnected()) outputs_.DeliverVideo(*notice);
      return;
    }
    case PacketKind::kData: {
      const ChannelRoute route = configuration_.RouteOf(packet.channel);
      packet.pinIndex = static_cast<std::uint8_t>(route.pinIndex);
      lastPinIndex_ = packet.pinIndex;
      if (route.type == kChannelAudio) {
        if (outputs_.AudioConnected()) outputs_.DeliverAudio(packet);
      } else if (route.type == kChannelVideo) {
        if (outputs_.VideoConnected()) outputs_.DeliverVideo(packet);
      } else if (route.type == kChannelText) {
        packet.kind = PacketKind::kText;
        if (outputs_.VideoConnected()) outputs_.DeliverVideo(packet);
      }
      return;
    }
    default:
      return;
  }
}

void Demultiplexer::RestartByteRate() {
  std::lock_guard guard(lock_);
  byteCounter_ = 0;
  measuringStart_ = tick_();
}

std::uint32_t Demultiplexer::CurrentTime() const {
  return currentTime_.load(std::memory_order_acquire);
}

void Demultiplexer::SetCurrentTime(std::uint32_t seconds) {
  currentTime_.store(seconds, std::memory_order_release);
}

}  // namespace vesk::input
