#include "apps/desktop/frame_pacer.h"

namespace vesk::desktop {

FramePacer::FramePacer(double nominalPicturesPerSecond)
    : nominal_(nominalPicturesPerSecond > 0 ? nominalPicturesPerSecond : 25.0), perSecond_(nominal_) {}

FramePacer::Clock::time_point FramePacer::Due(std::uint32_t second, Clock::time_point now) {
  const bool jumped = second < second_ || second > second_ + 1;
  if (!anchored_ || jumped) {
    anchored_ = true;
    anchorTime_ = now;
    anchorSecond_ = second;
    second_ = second;
    inSecond_ = 1;
    return now;
  }
  if (second != second_) {
    if (second_ != anchorSecond_ && inSecond_ > 0) perSecond_ = static_cast<double>(inSecond_);
    second_ = second;
    inSecond_ = 0;
  }
  const auto offset = std::chrono::duration<double>(second - anchorSecond_) +
                      std::chrono::duration<double>(static_cast<double>(inSecond_) / perSecond_);
  ++inSecond_;
  const auto due = anchorTime_ + std::chrono::duration_cast<Clock::duration>(offset);
  if (now - due > std::chrono::seconds(1)) {
    Restart();
    return Due(second, now);
  }
  return due;
}

}  // namespace vesk::desktop
