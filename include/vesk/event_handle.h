// Events that cross interfaces: the event a downstream pin gives to
// IPinFlowControl::Block, and the abort event a pin gives to
// IGraphConfig::Reconnect, are operating-system handles, never objects of the
// module's or of the host's.
//
// On Windows they are Win32 event handles. Elsewhere an event HANDLE is an
// eventfd descriptor carried in the pointer's value (a null HANDLE means no
// event, so descriptor 0 is never used as one): set means readable, reset
// means its counter was read back to zero. The helpers below are what a host
// needs to make, set, reset, test and close such handles; the module has the
// same rules in its platform layer.
#pragma once

#include "vesk/dshow.h"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace vesk {

inline int EventDescriptor(HANDLE event) { return static_cast<int>(reinterpret_cast<std::intptr_t>(event)); }

// A new event, not set; null when none could be made.
inline HANDLE CreateEventHandle() {
  int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd == 0) {  // descriptor 0 would read as "no event"
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 1);
    close(fd);
    fd = moved;
  }
  return fd < 0 ? nullptr : reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fd));
}

inline bool SetEventHandle(HANDLE event) {
  const std::uint64_t one = 1;
  return write(EventDescriptor(event), &one, sizeof one) == static_cast<ssize_t>(sizeof one);
}

inline void ResetEventHandle(HANDLE event) {
  std::uint64_t count;
  while (read(EventDescriptor(event), &count, sizeof count) > 0) {
  }
}

// True when the event is set, false when `timeoutMs` (-1: no limit) passed first.
inline bool WaitEventHandle(HANDLE event, int timeoutMs) {
  pollfd polled{EventDescriptor(event), POLLIN, 0};
  int ready;
  do ready = poll(&polled, 1, timeoutMs);
  while (ready < 0 && errno == EINTR);
  return ready > 0;
}

inline void CloseEventHandle(HANDLE event) {
  if (event) close(EventDescriptor(event));
}

}  // namespace vesk
#endif
