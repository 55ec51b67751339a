#include "apps/vesk-play/recording_progress.h"

namespace vesk::play {

void RecordingProgress::OnWindowMessage(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
  if (message != kRecordingProgressMessage) return;
  if (wParam == 0)
    ended_.store(true, std::memory_order_relaxed);
  else
    last_.store(static_cast<unsigned long>(wParam), std::memory_order_relaxed);
}

unsigned long RecordingProgress::PicturesWritten() const {
  const unsigned long last = LastPicture();
  return last > 0 ? last - 1 : 0;
}

}  // namespace vesk::play
