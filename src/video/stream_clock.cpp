#include "video/stream_clock.h"

namespace vesk::video {

bool StreamClock::Set(std::uint32_t seconds, std::uint32_t now) {
  if (seconds == Shown()) return false;
  tick_.store(now, std::memory_order_relaxed);
  base_.store(seconds, std::memory_order_relaxed);
  shown_.store(seconds, std::memory_order_relaxed);
  return true;
}

bool StreamClock::Advance(std::uint32_t now) {
  const std::uint32_t elapsed = now - tick_.load(std::memory_order_relaxed);
  const std::uint32_t seconds = base_.load(std::memory_order_relaxed) + elapsed / 1000;
  if (seconds == Shown()) return false;
  shown_.store(seconds, std::memory_order_relaxed);
  return true;
}

void StreamClock::Rebase(std::uint32_t now) {
  const std::uint32_t behind = base_.load(std::memory_order_relaxed) - Shown();
  tick_.store(now + behind * 1000, std::memory_order_relaxed);
}

}  // namespace vesk::video
