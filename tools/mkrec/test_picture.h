// A synthetic camera picture that shows at a glance which camera it comes
// from and when: a sliding bar pattern over a tint of the camera's own, with
// "CAM n" and the running time "mm:ss.t" written large in the corner.
#pragma once

#include <string>

#include "mkrec/i420_picture.h"

namespace vesk::mkrec {

class TestPicture {
 public:
  TestPicture(int cameraSlot, int width, int height);

  // The picture `seconds` after the recording began.
  void Render(double seconds, I420Picture& out) const;

  // "mm:ss.t", the running time as drawn.
  static std::string RunningTime(double seconds);

 private:
  void DrawBackground(double seconds, I420Picture& out) const;
  void DrawText(const std::string& text, int left, int top, I420Picture& out) const;

  int slot_;
  int width_;
  int height_;
  int scale_;  // pixels per font dot
};

}  // namespace vesk::mkrec
