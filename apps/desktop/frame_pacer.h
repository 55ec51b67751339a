// FramePacer: when each picture is due. Video samples carry no times; the
// recording's clock moves a whole second at each index position, so the
// pictures of one second are spread evenly over it, as many as the second
// before held (the nominal frame rate until one second has been counted).
#pragma once

#include <chrono>
#include <cstdint>

namespace vesk::desktop {

class FramePacer {
 public:
  using Clock = std::chrono::steady_clock;

  explicit FramePacer(double nominalPicturesPerSecond);

  // The due time of the next picture, shown in stream second `second`. A
  // picture more than a second late, or a clock that went back or jumped,
  // starts the pacing afresh from `now`.
  Clock::time_point Due(std::uint32_t second, Clock::time_point now);
  // After a seek, a flush or a pause: the next picture starts afresh.
  void Restart() { anchored_ = false; }

 private:
  double nominal_;
  bool anchored_ = false;
  Clock::time_point anchorTime_;
  std::uint32_t anchorSecond_ = 0;
  std::uint32_t second_ = 0;
  long inSecond_ = 0;      // pictures of the current second so far (the first second is seen only in part)
  double perSecond_ = 0;   // pictures a second, as last counted
};

}  // namespace vesk::desktop
