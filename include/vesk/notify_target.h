// The notification window of ISplitterSettings::SetNotifyWindow. Where the
// platform has windows the handle is a real window and the module posts it
// window messages. Elsewhere a host passes a NotifyTarget of its own, made
// into a handle with AsNotifyWindow; the module calls it on the thread that
// composes the pictures, so the target must return quickly and stay alive
// until another window (or none) is set.
#pragma once

#include "vesk/dshow.h"

namespace vesk {

// Sent while a recording runs: wParam is the recorded picture's number, or 0
// when the recording has ended; lParam is 2.
constexpr UINT kRecordingProgressMessage = 0x05BD;

class NotifyTarget {
 public:
  virtual void OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

 protected:
  ~NotifyTarget() = default;
};

inline HWND AsNotifyWindow(NotifyTarget* target) { return reinterpret_cast<HWND>(target); }
inline NotifyTarget* NotifyTargetOf(HWND window) { return reinterpret_cast<NotifyTarget*>(window); }

}  // namespace vesk
