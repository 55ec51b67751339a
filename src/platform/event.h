// A signal one thread sets and others wait for. A manual-reset event stays set
// until Reset and releases every waiter; an auto-reset event releases one
// waiter and clears itself.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace vesk::platform {

enum class EventMode { kManualReset, kAutoReset };

class Event {
 public:
  static constexpr std::uint32_t kInfinite = 0xFFFFFFFF;

  explicit Event(EventMode mode) : mode_(mode) {}
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // True when the event was set, false when `timeoutMs` passed first.
  bool Wait(std::uint32_t timeoutMs = kInfinite);

 private:
  const EventMode mode_;
  std::mutex mutex_;  // guards signalled_
  std::condition_variable changed_;
  bool signalled_ = false;
};

}  // namespace vesk::platform
