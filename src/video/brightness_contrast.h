// Brightness and contrast of a camera picture, applied in place to B, G and R
// of every pixel through a table made once per setting.
#pragma once

#include <cstdint>

namespace vesk::video {

class BrightnessContrast {
 public:
  // The picture is width x height pixels of B,G,R,X, rows without padding;
  // the fourth byte is left as it is.
  void Apply(std::uint8_t* picture, std::uint32_t width, std::uint32_t height,
             std::int32_t brightness, std::int32_t contrast);

  // One channel value through the rule: contrast first, then the brightness
  // offset, one clamp at the end; signed 32-bit arithmetic that wraps as the
  // recorder's own did, so any setting gives a defined result.
  static std::uint8_t AdjustChannel(std::uint8_t value, std::int32_t brightness,
                                    std::int32_t contrast);

 private:
  void Prepare(std::int32_t brightness, std::int32_t contrast);

  bool prepared_ = false;
  std::int32_t brightness_ = 0;
  std::int32_t contrast_ = 0;
  std::uint8_t table_[256] = {};
};

}  // namespace vesk::video
