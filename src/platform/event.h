// A signal one thread sets and others wait for. A manual-reset event stays set
// until Reset and releases every waiter; an auto-reset event releases one
// waiter and clears itself.
#pragma once

#include <cstdint>
#include <memory>

namespace vesk::platform {

enum class EventMode { kManualReset, kAutoReset };

class Event {
 public:
  static constexpr std::uint32_t kInfinite = 0xFFFFFFFF;

  explicit Event(EventMode mode);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // True when the event was set, false when `timeoutMs` passed first.
  bool Wait(std::uint32_t timeoutMs = kInfinite);

 private:
  struct Native;  // the platform's event
  const std::unique_ptr<Native> native_;
};

}  // namespace vesk::platform
