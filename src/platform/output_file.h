// A file made (or replaced) for writing at given positions. Failures come back
// as the Win32 error codes in an HRESULT on every platform: a full disk is
// HRESULT_FROM_WIN32(112), a file past the system's size limit (223).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "vesk/com.h"

namespace vesk::platform {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  HRESULT Create(const std::string& path);
  bool IsOpen() const { return handle_ != kClosed; }
  // Writes all `size` bytes at `position`, or fails.
  HRESULT WriteAt(std::uint64_t position, const void* data, std::size_t size);
  // Cuts the file to `size` bytes; used after a failure, so it reports nothing.
  void Truncate(std::uint64_t size);
  // S_FALSE when nothing is open.
  HRESULT Close();

 private:
  // A descriptor here, a HANDLE on Windows, whose INVALID_HANDLE_VALUE has the same value.
  static constexpr std::intptr_t kClosed = -1;
  std::intptr_t handle_ = kClosed;
};

}  // namespace vesk::platform
