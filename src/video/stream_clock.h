// The stream clock behind the time stamp: the time of the last index position
// plus the milliseconds that passed since it arrived, in whole seconds. All
// arithmetic is on the 32-bit millisecond tick, which wraps after 49 days.
#pragma once

#include <atomic>
#include <cstdint>

namespace vesk::video {

class StreamClock {
 public:
  // An index position's time arrived at `now`. True when the second shown changed.
  bool Set(std::uint32_t seconds, std::uint32_t now);
  // The second at `now`; true when it differs from the one shown before
  // (it is then the one shown).
  bool Advance(std::uint32_t now);
  // The filter runs again at `now`: the clock goes on from the second shown
  // last, leaving out the time it stood still.
  void Rebase(std::uint32_t now);
  std::uint32_t Shown() const { return shown_.load(std::memory_order_relaxed); }

 private:
  // Set runs under the pin's text lock, Advance on the composing thread
  // without it; each field is one 32-bit value read and written whole.
  std::atomic<std::uint32_t> tick_{0};
  std::atomic<std::uint32_t> base_{0};
  std::atomic<std::uint32_t> shown_{0};
};

}  // namespace vesk::video
