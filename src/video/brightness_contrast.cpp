#include "video/brightness_contrast.h"

#include <cstddef>

namespace vesk::video {
namespace {

// Two's-complement wrap-around without undefined behaviour.
std::int32_t Wrap(std::int64_t value) { return static_cast<std::int32_t>(value); }
std::int32_t Mul(std::int32_t a, std::int32_t b) {
  return Wrap(static_cast<std::int64_t>(a) * b);
}

}  // namespace

std::uint8_t BrightnessContrast::AdjustChannel(std::uint8_t value, std::int32_t brightness,
                                               std::int32_t contrast) {
  std::int32_t v = value;
  const std::int32_t k = contrast;
  if (k > 0) {
    const std::int32_t stretched = Wrap(std::int64_t{100} * v - Mul(128, k));
    // 101 would divide by zero; above it the divisor turns negative and the
    // picture inverts. The divisor is -1 only at 102, where the numerator is
    // small, so the division never overflows.
    v = k == 101 ? stretched : stretched / (101 - k);
  } else if (k < 0) {
    v = Wrap(std::int64_t{Mul(k + 100, v)} - Mul(128, k)) / 100;
  }
  v = Wrap(std::int64_t{v} + Mul(128, brightness) / 100);
  return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

void BrightnessContrast::Prepare(std::int32_t brightness, std::int32_t contrast) {
  if (prepared_ && brightness == brightness_ && contrast == contrast_) return;
  for (int value = 0; value < 256; ++value)
    table_[value] = AdjustChannel(static_cast<std::uint8_t>(value), brightness, contrast);
  brightness_ = brightness;
  contrast_ = contrast;
  prepared_ = true;
}

void BrightnessContrast::Apply(std::uint8_t* picture, std::uint32_t width, std::uint32_t height,
                               std::int32_t brightness, std::int32_t contrast) {
  Prepare(brightness, contrast);
  const std::uint8_t* table = table_;
  std::uint8_t* const end = picture + std::size_t{4} * width * height;
  for (std::uint8_t* p = picture; p != end; p += 4) {
    const std::uint8_t b = table[p[0]], g = table[p[1]], r = table[p[2]];
    p[0] = b;
    p[1] = g;
    p[2] = r;
  }
}

}  // namespace vesk::video
