#include "apps/desktop/frame_exchange.h"

#include <utility>

namespace vesk::desktop {

Frame& FrameExchange::Back(int width, int height) {
  back_.width = width;
  back_.height = height;
  back_.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
  return back_;
}

void FrameExchange::Publish() {
  {
    std::lock_guard lock(mutex_);
    std::swap(back_, newest_);
    fresh_ = true;
    ++published_count_;
  }
  if (published_) published_();
}

const Frame& FrameExchange::Front() {
  std::lock_guard lock(mutex_);
  if (fresh_) {
    std::swap(front_, newest_);
    fresh_ = false;
  }
  return front_;
}

long FrameExchange::Published() const {
  std::lock_guard lock(mutex_);
  return published_count_;
}

}  // namespace vesk::desktop
