#include "platform/file_handle.h"

#include "platform/win32/system_handle.h"

namespace vesk::platform {

HRESULT FileHandle::Open(const std::string& path) {
  Close();
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastErrorAsHresult();
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return S_OK;
}

void FileHandle::Close() {
  if (IsOpen()) CloseHandle(NativeHandle(handle_));
  handle_ = kClosed;
}

HRESULT FileHandle::Read(void* buffer, std::uint32_t size, std::uint32_t* got) {
  *got = 0;
  if (!IsOpen()) return E_UNEXPECTED;
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (*got < size) {
    DWORD n = 0;
    if (!ReadFile(NativeHandle(handle_), bytes + *got, size - *got, &n, nullptr)) return E_FAIL;
    if (n == 0) break;
    *got += n;
  }
  return S_OK;
}

HRESULT FileHandle::SeekRelative(std::int64_t offset) {
  if (!IsOpen()) return E_UNEXPECTED;
  LONG high = static_cast<LONG>(offset >> 32);
  SetLastError(NO_ERROR);
  const DWORD low = SetFilePointer(NativeHandle(handle_), static_cast<LONG>(offset & 0xFFFFFFFF), &high, FILE_CURRENT);
  return low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR ? E_FAIL : S_OK;
}

HRESULT FileHandle::SeekAbsolute(std::uint64_t offset) {
  if (!IsOpen()) return E_UNEXPECTED;
  LONG high = static_cast<LONG>(offset >> 32);
  SetLastError(NO_ERROR);
  const DWORD low = SetFilePointer(NativeHandle(handle_), static_cast<LONG>(offset & 0xFFFFFFFF), &high, FILE_BEGIN);
  return low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR ? E_FAIL : S_OK;
}

std::uint64_t FileHandle::Position() const {
  if (!IsOpen()) return 0;
  LONG high = 0;
  SetLastError(NO_ERROR);
  const DWORD low = SetFilePointer(NativeHandle(handle_), 0, &high, FILE_CURRENT);
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return 0;
  return (static_cast<std::uint64_t>(static_cast<DWORD>(high)) << 32) | low;
}

}  // namespace vesk::platform
