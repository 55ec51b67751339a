#include "platform/window_message.h"

namespace vesk::platform {

void SendWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window) SendMessageA(window, message, wParam, lParam);
}

}  // namespace vesk::platform
