// RecordingProgress: the notification target of a recording. The module calls
// it on the thread that composes the pictures, so it only notes the numbers;
// the player's own thread reads and shows them.
#pragma once

#include <atomic>

#include "vesk/notify_target.h"

namespace vesk::play {

class RecordingProgress final : public NotifyTarget {
 public:
  void OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  // The number of the last picture announced, 0 before the first.
  unsigned long LastPicture() const { return last_.load(std::memory_order_relaxed); }
  // The module has ended the recording and closed its file.
  bool Ended() const { return ended_.load(std::memory_order_relaxed); }
  // Pictures in the file: the first announced picture only opens it.
  unsigned long PicturesWritten() const;

 private:
  std::atomic<unsigned long> last_{0};
  std::atomic<bool> ended_{false};
};

}  // namespace vesk::play
