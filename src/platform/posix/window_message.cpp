#include "platform/window_message.h"

#include "vesk/notify_target.h"

namespace vesk::platform {

void SendWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window) NotifyTargetOf(window)->OnWindowMessage(message, wParam, lParam);
}

}  // namespace vesk::platform
