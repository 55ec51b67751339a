// Messages to the notification window a host handed over. Here the platform
// has no windows: the handle is the host's NotifyTarget.
#pragma once

#include "vesk/notify_target.h"

namespace vesk::platform {

inline void SendWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window) NotifyTargetOf(window)->OnWindowMessage(message, wParam, lParam);
}

}  // namespace vesk::platform
