// The camera size a video channel's options give: "-width N" and "-height N"
// (one separator after each word); without a height the picture is square.
#pragma once

#include <cstdint>

namespace vesk::input {

struct CameraSize {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  // A size of 0 in either direction means the options give none.
  bool Given() const { return width != 0 && height != 0; }
};

CameraSize CameraSizeFromOptions(const char* options);

}  // namespace vesk::input
