// Manual-reset events that the operating system knows, so that their handles
// can cross interfaces: the filter's stop event is the abort event it gives to
// a graph's reconnection, and a downstream pin's flow-control event is a
// handle the host made. A handle from outside is only ever set or waited on,
// never taken for an object of ours.
#pragma once

#include <cstdint>

#include "vesk/dshow.h"

namespace vesk::platform {

class OsEvent {
 public:
  static constexpr std::uint32_t kInfinite = 0xFFFFFFFF;

  // Not set at first. Valid() is false when the system had no event to give.
  OsEvent();
  ~OsEvent();
  OsEvent(const OsEvent&) = delete;
  OsEvent& operator=(const OsEvent&) = delete;

  bool Valid() const { return handle_ != nullptr; }
  HANDLE Handle() const { return handle_; }
  void Set();
  void Reset();
  // True when the event is set, false when `timeoutMs` passed first.
  bool Wait(std::uint32_t timeoutMs = kInfinite);

 private:
  HANDLE handle_;
};

// Sets or resets an event given by a host; false when the handle is not one.
bool SetEventHandle(HANDLE event);
bool ResetEventHandle(HANDLE event);

// Waits until one of `events` (at most 4) is set: its index; -1 when the time
// ran out; -2 when the wait failed, with the system's error in `failure`.
int WaitForAnyEvent(const HANDLE* events, int count, std::uint32_t timeoutMs, HRESULT* failure);

}  // namespace vesk::platform
