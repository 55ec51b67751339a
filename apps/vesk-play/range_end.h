// Ends a run at the end of the range asked for: the sinks take samples while
// the filter's position lies before it, and the first sample after it closes
// the range for good, which tells the player to stop.
#pragma once

#include <atomic>
#include <cstdint>

#include "vesk/com_ptr.h"
#include "vesk/dshow.h"

namespace vesk::play {

class RangeEnd {
 public:
  // `endSeconds` counts from the recording's first second.
  RangeEnd(ComPtr<IMediaSeeking> seeking, std::uint32_t endSeconds);

  // On the streaming thread, before a sink takes a sample: whether it is in range.
  bool Admit();
  bool Reached() const { return reached_.load(); }

 private:
  const ComPtr<IMediaSeeking> seeking_;
  const LONGLONG end_;  // media time
  std::atomic<bool> reached_{false};
};

}  // namespace vesk::play
