// The millisecond tick: 32 bits that wrap after about 49.7 days, so two ticks
// are compared by unsigned subtraction, never by ordering.
#pragma once

#include <cstdint>

namespace vesk::platform {

class Tick {
 public:
  // Milliseconds since an arbitrary start that never moves backwards.
  static std::uint32_t Now();
};

}  // namespace vesk::platform
