#include "platform/event.h"

#include <chrono>

namespace vesk::platform {

void Event::Set() {
  {
    std::lock_guard lock(mutex_);
    signalled_ = true;
  }
  if (mode_ == EventMode::kAutoReset)
    changed_.notify_one();
  else
    changed_.notify_all();
}

void Event::Reset() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
}

bool Event::Wait(std::uint32_t timeoutMs) {
  std::unique_lock lock(mutex_);
  const auto isSet = [this] { return signalled_; };
  // A look without waiting: a zero-length timed wait would still give the
  // processor away, once for every packet the reading thread checks.
  if (timeoutMs == 0) {
    if (!signalled_) return false;
  } else if (timeoutMs == kInfinite)
    changed_.wait(lock, isSet);
  else if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), isSet))
    return false;
  if (mode_ == EventMode::kAutoReset) signalled_ = false;
  return true;
}

}  // namespace vesk::platform
