#include "platform/settings_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vesk::platform {
namespace {

std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

// Holds an exclusive advisory lock on a file beside the store.
class StoreLock {
 public:
  explicit StoreLock(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~StoreLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_;
};

constexpr const char* kTemporarySuffix = ".tmp";

// Writers hold the store's lock while their temporary file exists, so one
// found under the lock was left by a writer that died before its rename.
void RemoveStaleTemporaries(const std::string& path) {
  const std::filesystem::path store(path);
  const std::string prefix = store.filename().string() + kTemporarySuffix;
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(store.parent_path(), ignored)) {
    if (entry.path().filename().string().rfind(prefix, 0) == 0) std::filesystem::remove(entry.path(), ignored);
  }
}

bool WriteWhole(const std::string& path, const std::string& text, std::string* error) {
  const std::string temporary = path + kTemporarySuffix + std::to_string(::getpid());
  int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    *error = SystemError("cannot create " + temporary);
    return false;
  }
  std::size_t written = 0;
  while (written < text.size()) {
    ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<std::size_t>(n);
  }
  const bool complete = written == text.size() && ::fsync(fd) == 0;
  if (!complete) *error = SystemError("cannot write " + temporary);
  ::close(fd);
  if (!complete || ::rename(temporary.c_str(), path.c_str()) != 0) {
    if (complete) *error = SystemError("cannot replace " + path);
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

std::string SettingsStore::DefaultPath() {
  std::filesystem::path folder;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config) {
    folder = config;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    folder = std::filesystem::path(home) / ".config";
  } else {
    folder = std::filesystem::temp_directory_path();
  }
  return (folder / "vesk" / "registry.reg").string();
}

HRESULT SettingsStore::Read(RegistryTree* tree, std::string* error) const {
  *tree = RegistryTree();
  std::ifstream in(path_, std::ios::binary);
  if (!in) {
    if (errno == ENOENT) return S_FALSE;
    *error = SystemError("cannot read " + path_);
    return E_FAIL;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::string why;
  if (!tree->Parse(text.str(), &why)) {
    *error = path_ + ": " + why;
    return E_FAIL;
  }
  return S_OK;
}

HRESULT SettingsStore::Update(const std::function<void(RegistryTree&)>& edit, std::string* error) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ignored);
  StoreLock lock(path_ + ".lock");
  if (!lock.held()) {
    *error = SystemError("cannot lock " + path_);
    return E_FAIL;
  }
  RemoveStaleTemporaries(path_);
  RegistryTree tree;
  std::string why;
  if (Read(&tree, &why) == E_FAIL) {
    std::filesystem::rename(path_, path_ + ".bad", ignored);
    tree = RegistryTree();
  }
  edit(tree);
  return WriteWhole(path_, tree.Serialize(), error) ? S_OK : E_FAIL;
}

}  // namespace vesk::platform
