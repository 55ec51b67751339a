#include "platform/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace vesk::platform {
namespace {

// The Win32 codes for the failures of making and writing a file.
constexpr std::uint32_t kErrorPathNotFound = 3;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorDiskFull = 112;
constexpr std::uint32_t kErrorFileTooLarge = 223;

HRESULT ErrnoToHresult(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return HRESULT_FROM_WIN32(kErrorPathNotFound);
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return HRESULT_FROM_WIN32(kErrorAccessDenied);
    case ENOSPC:
    case EDQUOT: return HRESULT_FROM_WIN32(kErrorDiskFull);
    case EFBIG: return HRESULT_FROM_WIN32(kErrorFileTooLarge);
    default: return E_FAIL;
  }
}

}  // namespace

OutputFile::~OutputFile() { Close(); }

HRESULT OutputFile::Create(const std::string& path) {
  Close();
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return ErrnoToHresult(errno);
  handle_ = fd;
  return S_OK;
}

HRESULT OutputFile::WriteAt(std::uint64_t position, const void* data, std::size_t size) {
  if (!IsOpen()) return E_UNEXPECTED;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(static_cast<int>(handle_), bytes + done, size - done,
                               static_cast<off_t>(position + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return ErrnoToHresult(errno);
    }
    if (n == 0) return HRESULT_FROM_WIN32(kErrorDiskFull);
    done += static_cast<std::size_t>(n);
  }
  return S_OK;
}

void OutputFile::Truncate(std::uint64_t size) {
  if (IsOpen()) [[maybe_unused]] const int result = ::ftruncate(static_cast<int>(handle_), static_cast<off_t>(size));
}

HRESULT OutputFile::Close() {
  if (!IsOpen()) return S_FALSE;
  const int result = ::close(static_cast<int>(handle_));
  handle_ = kClosed;
  return result != 0 ? ErrnoToHresult(errno) : S_OK;
}

}  // namespace vesk::platform
