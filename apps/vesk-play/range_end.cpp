#include "apps/vesk-play/range_end.h"

#include <utility>

namespace vesk::play {

RangeEnd::RangeEnd(ComPtr<IMediaSeeking> seeking, std::uint32_t endSeconds)
    : seeking_(std::move(seeking)), end_(LONGLONG{endSeconds} * 10000000) {}

bool RangeEnd::Admit() {
  if (reached_.load()) return false;
  // The position moves as the producer passes the recording's index
  // positions, on this very thread, so it is that of the sample at hand.
  LONGLONG position = 0;
  if (SUCCEEDED(seeking_->GetCurrentPosition(&position)) && position < end_) return true;
  reached_.store(true);
  return false;
}

}  // namespace vesk::play
