#include "input/packet.h"

#include <cstring>
#include <new>

namespace vesk::input {

namespace {
constexpr std::uint32_t kTrailingZeroBytes = 4;
}

Packet* Packet::Create(std::int32_t kind, std::uint32_t capacity, bool withBuffer) {
  std::size_t bufferSize = withBuffer ? static_cast<std::size_t>(capacity) + kTrailingZeroBytes : 0;
  void* memory = ::operator new(sizeof(Packet) + bufferSize, std::nothrow);
  if (!memory) return nullptr;
  Packet* packet = new (memory) Packet();
  packet->kind = kind;
  packet->length = capacity;
  packet->capacity = capacity;
  if (withBuffer) {
    packet->data = reinterpret_cast<std::uint8_t*>(packet + 1);
    std::memset(packet->data + capacity, 0, kTrailingZeroBytes);
  }
  return packet;
}

void Packet::Release() {
  // The creator's lone reference needs no atomic read-modify-write.
  if (references_.load(std::memory_order_acquire) == 1 ||
      references_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    this->~Packet();
    ::operator delete(this);
  }
}

}  // namespace vesk::input
