// Reads pictures from a YUV4MPEG2 file: 8-bit 4:2:0 only, which is what the
// encoder takes. Other layouts and cut-short frames are reported, not guessed at.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "mkrec/i420_picture.h"
#include "mkrec/status.h"

namespace vesk::mkrec {

class Y4mReader {
 public:
  Status Open(const std::string& path);

  int width() const { return width_; }
  int height() const { return height_; }
  // The frame rate the header gives (F<numerator>:<denominator>); 0 without one.
  double framesPerSecond() const { return framesPerSecond_; }

  // The next frame into `picture`; `gotFrame` is false when the file ended
  // cleanly before another frame.
  Status ReadFrame(I420Picture& picture, bool& gotFrame);
  // Back to the first frame.
  Status Rewind();

 private:
  struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };

  Status ParseHeader(const std::string& line);

  std::unique_ptr<std::FILE, FileCloser> file_;
  std::string path_;
  int width_ = 0;
  int height_ = 0;
  double framesPerSecond_ = 0;
  long dataStart_ = 0;
  std::uint64_t frameNumber_ = 0;
};

}  // namespace vesk::mkrec
