#include "platform/event.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vesk::platform {

struct Event::Native {
  explicit Native(EventMode mode) : mode(mode) {}
  const EventMode mode;
  std::mutex mutex;  // guards signalled
  std::condition_variable changed;
  bool signalled = false;
};

Event::Event(EventMode mode) : native_(std::make_unique<Native>(mode)) {}
Event::~Event() = default;

void Event::Set() {
  {
    std::lock_guard lock(native_->mutex);
    native_->signalled = true;
  }
  if (native_->mode == EventMode::kAutoReset)
    native_->changed.notify_one();
  else
    native_->changed.notify_all();
}

void Event::Reset() {
  std::lock_guard lock(native_->mutex);
  native_->signalled = false;
}

bool Event::Wait(std::uint32_t timeoutMs) {
  Native& n = *native_;
  std::unique_lock lock(n.mutex);
  const auto isSet = [&n] { return n.signalled; };
  // A look without waiting: a zero-length timed wait would still give the
  // processor away, once for every packet the reading thread checks.
  if (timeoutMs == 0) {
    if (!n.signalled) return false;
  } else if (timeoutMs == kInfinite)
    n.changed.wait(lock, isSet);
  else if (!n.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), isSet))
    return false;
  if (n.mode == EventMode::kAutoReset) n.signalled = false;
  return true;
}

}  // namespace vesk::platform
