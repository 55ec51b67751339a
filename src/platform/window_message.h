// Messages to the notification window a host handed over: a real window where
// the platform has windows; elsewhere the handle is the host's NotifyTarget.
#pragma once

#include "vesk/dshow.h"

namespace vesk::platform {

void SendWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vesk::platform
