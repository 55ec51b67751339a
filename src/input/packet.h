// One packet of the recorder stream, or a notice the demultiplexer sends to the
// pins. Reference counted with atomic operations because a packet passes from
// the producer thread to whoever keeps it.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

#include "input/stream_format.h"

namespace vesk::input {

namespace PacketKind {
constexpr std::int32_t kChannelDescription = static_cast<std::int32_t>(kChannelDescriptionMark);
constexpr std::int32_t kIndexPosition = static_cast<std::int32_t>(kIndexPositionMark);
constexpr std::int32_t kData = -1;
constexpr std::int32_t kText = -3;
constexpr std::int32_t kTimeOut = -4;
constexpr std::int32_t kConfigurationChanged = -5;
}  // namespace PacketKind

class Packet {
 public:
  // One allocation holds the record and, with `withBuffer`, a payload buffer of
  // capacity + 4 bytes. The payload bytes are left for the creator to fill; the
  // four after them are zero, so a zero byte always follows a full payload.
  // The caller owns the one reference; nullptr when memory ran out.
  static Packet* Create(std::int32_t kind, std::uint32_t capacity, bool withBuffer);

  Packet(const Packet&) = delete;
  Packet& operator=(const Packet&) = delete;

  void AddRef() { references_.fetch_add(1, std::memory_order_relaxed); }
  void Release();

  std::uint8_t* data = nullptr;  // null for packets made without a buffer
  std::uint32_t length = 0;
  std::uint32_t capacity = 0;
  std::uint32_t time = 0;  // index positions: seconds since 1970
  std::uint8_t channel = 0;
  std::int32_t kind = 0;
  std::uint8_t flagByte = 0;
  std::uint32_t prevLength = 0;
  // Data packets: byte [c] is the activity of channel c when the packet was read.
  // A status packet holds its status entries here from byte 0.
  std::uint8_t status[kStatusPayloadMax] = {};
  std::uint32_t skip = 0;  // bit 0 set by a pin: the sample is not delivered
  std::uint8_t pinIndex = 0;

 private:
  Packet() = default;
  ~Packet() = default;

  std::atomic<std::int32_t> references_{1};
};

// Holds one reference to a packet and releases it when it goes.
class PacketPtr {
 public:
  PacketPtr() = default;
  explicit PacketPtr(Packet* adopted) : packet_(adopted) {}
  ~PacketPtr() { Reset(); }
  PacketPtr(PacketPtr&& other) noexcept : packet_(std::exchange(other.packet_, nullptr)) {}
  PacketPtr& operator=(PacketPtr&& other) noexcept {
    if (this != &other) {
      Reset();
      packet_ = std::exchange(other.packet_, nullptr);
    }
    return *this;
  }
  PacketPtr(const PacketPtr&) = delete;
  PacketPtr& operator=(const PacketPtr&) = delete;

  Packet* get() const { return packet_; }
  Packet* operator->() const { return packet_; }
  Packet& operator*() const { return *packet_; }
  explicit operator bool() const { return packet_ != nullptr; }

  void Reset(Packet* adopted = nullptr) {
    if (packet_) packet_->Release();
    packet_ = adopted;
  }
  Packet* Detach() { return std::exchange(packet_, nullptr); }

 private:
  Packet* packet_ = nullptr;
};

}  // namespace vesk::input
