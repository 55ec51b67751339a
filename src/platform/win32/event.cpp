#include "platform/event.h"

#include <windows.h>

#include <new>

namespace vesk::platform {

struct Event::Native {
  explicit Native(EventMode mode)
      : handle(CreateEventA(nullptr, mode == EventMode::kManualReset, FALSE, nullptr)) {
    // Without an event nothing could ever be waited for.
    if (!handle) throw std::bad_alloc();
  }
  ~Native() { CloseHandle(handle); }
  const HANDLE handle;
};

Event::Event(EventMode mode) : native_(std::make_unique<Native>(mode)) {}
Event::~Event() = default;
void Event::Set() { SetEvent(native_->handle); }
void Event::Reset() { ResetEvent(native_->handle); }
bool Event::Wait(std::uint32_t timeoutMs) {
  return WaitForSingleObject(native_->handle, timeoutMs) == WAIT_OBJECT_0;
}

}  // namespace vesk::platform
