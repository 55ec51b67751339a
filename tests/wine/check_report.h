// What the programs of the Wine check share: how they report a failure
// (one "FAILED:" line each, and the exit code), and their arguments' text
// as the system's wide strings.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

namespace wine_check {

inline bool failed = false;

inline void Fail(const std::string& what) {
  std::printf("FAILED: %s\n", what.c_str());
  failed = true;
}

// Reports the step when it failed; returns its result.
inline HRESULT Check(HRESULT hr, const char* step) {
  if (FAILED(hr)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    Fail(std::string(step) + ": " + code);
  }
  return hr;
}

inline std::wstring Wide(const char* text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  std::wstring wide(length > 0 ? length - 1 : 0, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
  return wide;
}

}  // namespace wine_check
