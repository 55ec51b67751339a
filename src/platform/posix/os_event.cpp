// Events as eventfd descriptors, as include/vesk/event_handle.h describes them.
#include "platform/os_event.h"

#include <poll.h>

#include <cerrno>

#include "vesk/event_handle.h"

namespace vesk::platform {
namespace {

HRESULT FromErrno(int error) { return HRESULT_FROM_WIN32(static_cast<std::uint32_t>(error)); }

}  // namespace

OsEvent::OsEvent() : handle_(CreateEventHandle()) {}

OsEvent::~OsEvent() { CloseEventHandle(handle_); }

void OsEvent::Set() { SetEventHandle(handle_); }
void OsEvent::Reset() { ResetEventHandle(handle_); }

bool OsEvent::Wait(std::uint32_t timeoutMs) {
  return WaitForAnyEvent(&handle_, 1, timeoutMs, nullptr) == 0;
}

bool SetEventHandle(HANDLE event) { return event && vesk::SetEventHandle(event); }

bool ResetEventHandle(HANDLE event) {
  if (!event) return false;
  vesk::ResetEventHandle(event);
  return true;
}

int WaitForAnyEvent(const HANDLE* events, int count, std::uint32_t timeoutMs, HRESULT* failure) {
  pollfd polled[4];
  if (count < 1 || count > 4) {
    if (failure) *failure = E_INVALIDARG;
    return -2;
  }
  for (int i = 0; i < count; ++i) polled[i] = {EventDescriptor(events[i]), POLLIN, 0};
  const int timeout = timeoutMs == OsEvent::kInfinite ? -1 : static_cast<int>(timeoutMs);
  int ready;
  do ready = poll(polled, static_cast<nfds_t>(count), timeout);
  while (ready < 0 && errno == EINTR);
  if (ready < 0) {
    if (failure) *failure = FromErrno(errno);
    return -2;
  }
  for (int i = 0; i < count; ++i) {
    if (polled[i].revents & (POLLERR | POLLNVAL)) {
      if (failure) *failure = E_HANDLE;
      return -2;
    }
    if (polled[i].revents & POLLIN) return i;
  }
  return -1;
}

}  // namespace vesk::platform
