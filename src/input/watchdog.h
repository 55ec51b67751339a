// A one-shot timer on a thread of its own: unless it is destroyed first, it
// calls its target once when the time-out has passed. The HTTP download thread
// keeps one around each packet read to report a recorder that went quiet.
#pragma once

#include <cstdint>

#include "platform/event.h"
#include "platform/thread.h"

namespace vesk::input {

// What a watchdog calls; it runs on the watchdog's thread.
class TimeOutTarget {
 public:
  virtual void TimedOut() = 0;

 protected:
  ~TimeOutTarget() = default;
};

class Watchdog {
 public:
  // Starts the timer. Should its thread not start, the time-out simply goes
  // unreported: the watched work goes on either way.
  Watchdog(TimeOutTarget& target, std::uint32_t timeoutMs);
  // Cancels the timer and waits for its thread, so the target is never called
  // after this returns (it may still be running it when this begins).
  ~Watchdog();
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  platform::Event cancel_{platform::EventMode::kManualReset};
  platform::Thread thread_;  // last: it must end before the event goes
};

}  // namespace vesk::input
