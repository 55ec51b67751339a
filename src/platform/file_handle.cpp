#include "platform/file_handle.h"

#include <utility>

namespace vesk::platform {

FileHandle::~FileHandle() { Close(); }

FileHandle::FileHandle(FileHandle&& other) noexcept : handle_(std::exchange(other.handle_, kClosed)) {}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kClosed);
  }
  return *this;
}

}  // namespace vesk::platform
