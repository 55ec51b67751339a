// FrameExchange: hands pictures from the streaming thread to the window with
// one copy. Three buffers turn round: the sink fills the back one, publishing
// makes it the newest, and the window takes the newest as the one it paints,
// so neither side ever waits for the other's copy or paint.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace vesk::desktop {

// A 32-bit picture (B, G, R, X), rows bottom-up as the module composes them.
struct Frame {
  std::vector<std::uint8_t> pixels;
  int width = 0;
  int height = 0;
  int stride() const { return width * 4; }
};

class FrameExchange {
 public:
  // Called on the streaming thread after each publish: the window repaints.
  // Set before the stream starts.
  void SetPublished(std::function<void()> published) { published_ = std::move(published); }

  // Streaming thread: the buffer to fill next, sized for the picture.
  Frame& Back(int width, int height);
  // Streaming thread: the back buffer becomes the newest picture.
  void Publish();
  // Window thread: the newest picture, or the last one taken when nothing
  // newer came. Valid until the next call.
  const Frame& Front();
  long Published() const;

 private:
  std::function<void()> published_;
  Frame back_;
  Frame front_;
  mutable std::mutex mutex_;  // guards newest_, fresh_ and published_count_
  Frame newest_;
  bool fresh_ = false;
  long published_count_ = 0;
};

}  // namespace vesk::desktop
