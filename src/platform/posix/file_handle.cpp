#include "platform/file_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vesk::platform {
namespace {

// The Win32 codes a host expects for the common failures of opening a file.
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorPathNotFound = 3;
constexpr std::uint32_t kErrorAccessDenied = 5;

HRESULT OpenErrorToHresult(int error) {
  switch (error) {
    case ENOENT: return HRESULT_FROM_WIN32(kErrorFileNotFound);
    case ENOTDIR: return HRESULT_FROM_WIN32(kErrorPathNotFound);
    case EACCES:
    case EPERM:
    case EISDIR: return HRESULT_FROM_WIN32(kErrorAccessDenied);
    default: return E_FAIL;
  }
}

}  // namespace

HRESULT FileHandle::Open(const std::string& path) {
  Close();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return OpenErrorToHresult(errno);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    return HRESULT_FROM_WIN32(kErrorAccessDenied);
  }
  handle_ = fd;
  return S_OK;
}

void FileHandle::Close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = kClosed;
}

HRESULT FileHandle::Read(void* buffer, std::uint32_t size, std::uint32_t* got) {
  *got = 0;
  if (handle_ < 0) return E_UNEXPECTED;
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (*got < size) {
    ssize_t n = ::read(static_cast<int>(handle_), bytes + *got, size - *got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return E_FAIL;
    }
    if (n == 0) break;
    *got += static_cast<std::uint32_t>(n);
  }
  return S_OK;
}

HRESULT FileHandle::SeekRelative(std::int64_t offset) {
  if (handle_ < 0) return E_UNEXPECTED;
  return ::lseek(static_cast<int>(handle_), offset, SEEK_CUR) < 0 ? E_FAIL : S_OK;
}

HRESULT FileHandle::SeekAbsolute(std::uint64_t offset) {
  if (handle_ < 0) return E_UNEXPECTED;
  return ::lseek(static_cast<int>(handle_), static_cast<off_t>(offset), SEEK_SET) < 0 ? E_FAIL : S_OK;
}

std::uint64_t FileHandle::Position() const {
  if (handle_ < 0) return 0;
  off_t position = ::lseek(static_cast<int>(handle_), 0, SEEK_CUR);
  return position < 0 ? 0 : static_cast<std::uint64_t>(position);
}

}  // namespace vesk::platform
