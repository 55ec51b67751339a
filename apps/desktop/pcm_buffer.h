// PcmBuffer: the sound on its way from the streaming thread to the sound
// device, bounded so that pause, seek and mute are heard within the bound.
// The streaming thread appends whole samples and then waits for room; the
// device side takes bytes as it plays them.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

namespace vesk::desktop {

class PcmBuffer {
 public:
  // The bytes kept before the producer waits: set for each format, before its first sample.
  void SetLimit(std::size_t limit);

  // Never waits: the buffer may hold one sample beyond its limit.
  void Append(const std::uint8_t* bytes, std::size_t size);
  // Waits until the buffer is at its limit or below; false when interrupted.
  bool WaitForRoom();
  // Up to `size` bytes, oldest first, into `out` (nullptr: dropped); the number taken.
  std::size_t Take(std::uint8_t* out, std::size_t size);
  std::size_t Buffered() const;

  // Drops what is buffered and lets a waiting producer go, until Resume.
  void Interrupt();
  void Resume();

 private:
  mutable std::mutex mutex_;  // guards limit_, bytes_ and interrupted_
  std::size_t limit_ = 0;
  std::condition_variable room_;
  std::deque<std::uint8_t> bytes_;
  bool interrupted_ = false;
};

}  // namespace vesk::desktop
