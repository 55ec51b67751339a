#include "input/watchdog.h"

namespace vesk::input {

Watchdog::Watchdog(TimeOutTarget& target, std::uint32_t timeoutMs) {
  thread_.Start([this, &target, timeoutMs] {
    if (!cancel_.Wait(timeoutMs)) target.TimedOut();
  });
}

Watchdog::~Watchdog() {
  cancel_.Set();
  thread_.Join();
}

}  // namespace vesk::input
