// Events as Win32 event handles.
#include "platform/os_event.h"

namespace vesk::platform {

OsEvent::OsEvent() : handle_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

OsEvent::~OsEvent() {
  if (handle_) CloseHandle(handle_);
}

void OsEvent::Set() { SetEvent(handle_); }
void OsEvent::Reset() { ResetEvent(handle_); }

bool OsEvent::Wait(std::uint32_t timeoutMs) { return WaitForAnyEvent(&handle_, 1, timeoutMs, nullptr) == 0; }

bool SetEventHandle(HANDLE event) { return event && SetEvent(event); }

bool ResetEventHandle(HANDLE event) { return event && ResetEvent(event); }

int WaitForAnyEvent(const HANDLE* events, int count, std::uint32_t timeoutMs, HRESULT* failure) {
  if (count < 1 || count > 4) {
    if (failure) *failure = E_INVALIDARG;
    return -2;
  }
  const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(count), events, FALSE, timeoutMs);
  if (result < WAIT_OBJECT_0 + static_cast<DWORD>(count)) return static_cast<int>(result - WAIT_OBJECT_0);
  if (result == WAIT_TIMEOUT) return -1;
  if (failure) *failure = HRESULT_FROM_WIN32(GetLastError());
  return -2;
}

}  // namespace vesk::platform
