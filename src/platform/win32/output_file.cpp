#include "platform/output_file.h"

#include <algorithm>

#include "platform/win32/system_handle.h"

namespace vesk::platform {
namespace {

HRESULT MoveTo(HANDLE file, std::uint64_t position) {
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(position);
  return SetFilePointerEx(file, distance, nullptr, FILE_BEGIN) ? S_OK : LastErrorAsHresult();
}

}  // namespace

OutputFile::~OutputFile() { Close(); }

HRESULT OutputFile::Create(const std::string& path) {
  Close();
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastErrorAsHresult();
  handle_ = reinterpret_cast<std::intptr_t>(file);
  return S_OK;
}

HRESULT OutputFile::WriteAt(std::uint64_t position, const void* data, std::size_t size) {
  if (!IsOpen()) return E_UNEXPECTED;
  HRESULT hr = MoveTo(NativeHandle(handle_), position);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::size_t done = 0;
  while (SUCCEEDED(hr) && done < size) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
    if (!WriteFile(NativeHandle(handle_), bytes + done, chunk, &written, nullptr)) return LastErrorAsHresult();
    if (written == 0) return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
    done += written;
  }
  return hr;
}

void OutputFile::Truncate(std::uint64_t size) {
  if (IsOpen() && SUCCEEDED(MoveTo(NativeHandle(handle_), size))) SetEndOfFile(NativeHandle(handle_));
}

HRESULT OutputFile::Close() {
  if (!IsOpen()) return S_FALSE;
  const BOOL closed = CloseHandle(NativeHandle(handle_));
  handle_ = kClosed;
  return closed ? S_OK : LastErrorAsHresult();
}

}  // namespace vesk::platform
