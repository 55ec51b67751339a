#include "video/picture_adjustments.h"

#include <algorithm>
#include <cstddef>

#include "platform/little_endian.h"

namespace vesk::video {
namespace {

using platform::LoadLe32;
using platform::StoreLe32;

std::uint8_t Clamp(std::int32_t v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// Sums of B, G and R down one column of the three rows, and (for smoothing)
// the smallest and largest blue value in it.
struct Column {
  std::int32_t sum[3];
  std::int32_t minBlue;
  std::int32_t maxBlue;
};

Column ReadColumn(const std::uint8_t* above, const std::uint8_t* row, const std::uint8_t* below) {
  Column c;
  for (int ch = 0; ch < 3; ++ch) c.sum[ch] = above[ch] + row[ch] + below[ch];
  c.minBlue = std::min({above[0], row[0], below[0]});
  c.maxBlue = std::max({above[0], row[0], below[0]});
  return c;
}

// Visits the interior pixels in memory order. The 3 x 3 window slides along
// the row as three column sums. The middle column is brought up to date when its pixel
// changes, so the next pixel sees its already adjusted left neighbour, as the
// in-place order requires; the rows above are read as already adjusted.
template <typename AdjustPixel>
void ForEachInteriorPixel(std::uint8_t* picture, std::uint32_t width, std::uint32_t height,
                          AdjustPixel adjust) {
  if (width < 3 || height < 3) return;
  const std::size_t stride = std::size_t{4} * width;
  for (std::uint32_t y = 1; y + 1 < height; ++y) {
    std::uint8_t* row = picture + y * stride;
    const std::uint8_t* above = row - stride;
    const std::uint8_t* below = row + stride;
    Column left = ReadColumn(above, row, below);
    Column centre = ReadColumn(above + 4, row + 4, below + 4);
    for (std::uint32_t x = 1; x + 1 < width; ++x) {
      const std::size_t next = std::size_t{4} * (x + 1);
      const Column right = ReadColumn(above + next, row + next, below + next);
      std::uint8_t* pixel = row + 4 * std::size_t{x};
      if (adjust(pixel, left, centre, right)) centre = ReadColumn(pixel - stride, pixel, pixel + stride);
      left = centre;
      centre = right;
    }
  }
}

std::uint32_t Average(std::uint32_t a, std::uint32_t b) {
  // Per byte (a + b) / 2 rounded down, without carries between the bytes.
  return (a & b) + (((a ^ b) & 0xFEFEFEFEu) >> 1);
}

// B, G, R of the per-byte average; the fourth byte 0.
std::uint32_t AverageColour(std::uint32_t a, std::uint32_t b) { return Average(a, b) & 0x00FFFFFFu; }

}  // namespace

void SharpenPicture(std::uint8_t* picture, std::uint32_t width, std::uint32_t height,
                    std::int32_t factor) {
  if (factor == 0 || factor == 1) return;  // 1 gives m + (v - m): the pixel itself
  ForEachInteriorPixel(picture, width, height,
                       [factor](std::uint8_t* pixel, const Column& l, const Column& c, const Column& r) {
                         for (int ch = 0; ch < 3; ++ch) {
                           const std::int32_t m = (l.sum[ch] + c.sum[ch] + r.sum[ch]) / 9;
                           // 32-bit wrap-around, as the recorder's own arithmetic.
                           const auto scaled = static_cast<std::int32_t>(
                               static_cast<std::uint32_t>(pixel[ch] - m) * static_cast<std::uint32_t>(factor) +
                               static_cast<std::uint32_t>(m));
                           pixel[ch] = Clamp(scaled);
                         }
                         return true;
                       });
}

void SmoothPicture(std::uint8_t* picture, std::uint32_t width, std::uint32_t height,
                   std::int32_t threshold) {
  if (threshold <= 0) return;
  ForEachInteriorPixel(picture, width, height,
                       [threshold](std::uint8_t* pixel, const Column& l, const Column& c, const Column& r) {
                         const std::int32_t meanBlue = (l.sum[0] + c.sum[0] + r.sum[0]) / 9;
                         const std::int32_t lowest = std::min({l.minBlue, c.minBlue, r.minBlue});
                         const std::int32_t highest = std::max({l.maxBlue, c.maxBlue, r.maxBlue});
                         // Every blue value within the threshold of the mean.
                         if (highest - meanBlue >= threshold || meanBlue - lowest >= threshold) return false;
                         for (int ch = 0; ch < 3; ++ch)
                           pixel[ch] = static_cast<std::uint8_t>((l.sum[ch] + c.sum[ch] + r.sum[ch]) / 9);
                         return true;
                       });
}

void EnlargePicture(const std::uint8_t* picture, std::uint32_t width, std::uint32_t height,
                    std::uint8_t* output) {
  if (width == 0 || height == 0) return;
  const std::size_t sourceStride = std::size_t{4} * width;
  const std::size_t outputStride = 2 * sourceStride;
  for (std::uint32_t y = 0; y < height; ++y) {
    const std::uint8_t* source = picture + y * sourceStride;
    std::uint8_t* even = output + 2 * y * outputStride;
    std::uint32_t current = LoadLe32(source);
    for (std::uint32_t x = 0; x + 1 < width; ++x) {
      const std::uint32_t next = LoadLe32(source + 4 * (x + 1));
      StoreLe32(even + 8 * std::size_t{x}, current);
      StoreLe32(even + 8 * std::size_t{x} + 4, AverageColour(current, next));
      current = next;
    }
    StoreLe32(even + outputStride - 8, current);
    StoreLe32(even + outputStride - 4, current);
    // The odd row between this even row and the one before, while both are
    // still in the cache.
    if (y > 0) {
      std::uint8_t* odd = even - outputStride;
      const std::uint8_t* previous = odd - outputStride;
      for (std::size_t at = 0; at < outputStride; at += 4)
        StoreLe32(odd + at, AverageColour(LoadLe32(previous + at), LoadLe32(even + at)));
    }
  }
  std::uint8_t* last = output + (2 * std::size_t{height} - 1) * outputStride;
  std::copy(last - outputStride, last, last);
}

}  // namespace vesk::video
