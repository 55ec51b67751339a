#include "host/staged_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

namespace vesk::host {
namespace {

// Full writes at an offset (or at the end when `offset` is negative), retried
// after signals.
HRESULT WriteAll(int fd, const void* data, std::size_t size, off_t offset) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t written = offset < 0 ? ::write(fd, bytes, size) : ::pwrite(fd, bytes, size, offset);
    if (written < 0) {
      if (errno == EINTR) continue;
      return E_FAIL;
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
    if (offset >= 0) offset += written;
  }
  return S_OK;
}

// Staging names carry the writer's process id: "<name>.staged-<pid>-XXXXXX".
std::string StagingPrefix(const std::filesystem::path& path) { return path.filename().string() + ".staged-"; }

// Staging files of this path whose writer no longer runs (it was killed
// before it could remove them) go.
void RemoveOrphans(const std::filesystem::path& path) {
  const std::string prefix = StagingPrefix(path);
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) != 0) continue;
    const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
    if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) ::unlink(entry.path().c_str());
  }
}

}  // namespace

HRESULT StagedFile::Create(const std::filesystem::path& path, std::unique_ptr<StagedFile>* file) {
  if (file == nullptr) return E_POINTER;
  file->reset();
  RemoveOrphans(path);
  std::string pattern = (path.parent_path() / (StagingPrefix(path) + std::to_string(::getpid()) + "-XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return E_FAIL;
  ::fchmod(fd, 0644);
  file->reset(new StagedFile(path, name.data(), fd));
  return S_OK;
}

StagedFile::StagedFile(std::filesystem::path path, std::filesystem::path staging, int fd)
    : path_(std::move(path)), staging_(std::move(staging)), fd_(fd) {}

StagedFile::~StagedFile() {
  if (fd_ < 0) return;
  ::close(fd_);
  ::unlink(staging_.c_str());
}

HRESULT StagedFile::Append(const void* data, std::size_t size) {
  if (fd_ < 0) return E_UNEXPECTED;
  return WriteAll(fd_, data, size, -1);
}

HRESULT StagedFile::WriteAt(std::uint64_t offset, const void* data, std::size_t size) {
  if (fd_ < 0) return E_UNEXPECTED;
  return WriteAll(fd_, data, size, static_cast<off_t>(offset));
}

HRESULT StagedFile::Commit() {
  if (fd_ < 0) return E_UNEXPECTED;
  bool written = ::fsync(fd_) == 0;
  written = ::close(fd_) == 0 && written;
  fd_ = -1;
  if (!written || ::rename(staging_.c_str(), path_.c_str()) != 0) {
    ::unlink(staging_.c_str());
    return E_FAIL;
  }
  return S_OK;
}

}  // namespace vesk::host
