// The Win32 side's shared helpers: a handle kept as an integer, and the
// thread's last error as an HRESULT.
#pragma once

#include <windows.h>

#include <cstdint>

namespace vesk::platform {

inline HANDLE NativeHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

inline HRESULT LastErrorAsHresult() {
  const DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

}  // namespace vesk::platform
