// A local file opened for reading: exact-count reads, relative seeks, position.
#pragma once

#include <cstdint>
#include <string>

#include "vesk/com.h"

namespace vesk::platform {

class FileHandle {
 public:
  FileHandle() = default;
  ~FileHandle();
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  FileHandle(FileHandle&& other) noexcept;
  FileHandle& operator=(FileHandle&& other) noexcept;

  // S_OK, or the system error as an HRESULT (file not found, access denied, ...).
  HRESULT Open(const std::string& path);
  void Close();
  bool IsOpen() const { return handle_ != kClosed; }

  // Reads until `size` bytes arrived or the file ended; *got = 0 only at the end.
  HRESULT Read(void* buffer, std::uint32_t size, std::uint32_t* got);
  HRESULT SeekRelative(std::int64_t offset);
  HRESULT SeekAbsolute(std::uint64_t offset);
  std::uint64_t Position() const;

 private:
  // The system's handle: a descriptor here, a HANDLE on Windows, whose
  // INVALID_HANDLE_VALUE has the same value.
  static constexpr std::intptr_t kClosed = -1;
  std::intptr_t handle_ = kClosed;
};

}  // namespace vesk::platform
