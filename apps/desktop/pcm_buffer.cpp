#include "apps/desktop/pcm_buffer.h"

#include <algorithm>

namespace vesk::desktop {

void PcmBuffer::SetLimit(std::size_t limit) {
  {
    std::lock_guard lock(mutex_);
    limit_ = limit;
  }
  room_.notify_all();
}

void PcmBuffer::Append(const std::uint8_t* bytes, std::size_t size) {
  std::lock_guard lock(mutex_);
  if (!interrupted_) bytes_.insert(bytes_.end(), bytes, bytes + size);
}

bool PcmBuffer::WaitForRoom() {
  std::unique_lock lock(mutex_);
  room_.wait(lock, [this] { return interrupted_ || bytes_.size() <= limit_; });
  return !interrupted_;
}

std::size_t PcmBuffer::Take(std::uint8_t* out, std::size_t size) {
  std::size_t taken;
  {
    std::lock_guard lock(mutex_);
    taken = std::min(size, bytes_.size());
    if (out) std::copy_n(bytes_.begin(), taken, out);
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(taken));
  }
  room_.notify_all();
  return taken;
}

std::size_t PcmBuffer::Buffered() const {
  std::lock_guard lock(mutex_);
  return bytes_.size();
}

void PcmBuffer::Interrupt() {
  {
    std::lock_guard lock(mutex_);
    interrupted_ = true;
    bytes_.clear();
  }
  room_.notify_all();
}

void PcmBuffer::Resume() {
  std::lock_guard lock(mutex_);
  interrupted_ = false;
}

}  // namespace vesk::desktop
