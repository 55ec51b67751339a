// The pixel operations of the video pin that need no state of their own:
// sharpening and smoothing of a camera picture in place, and the twofold
// enlargement that shows one camera over the whole output picture.
//
// Pictures are B,G,R,X pixels in rows without padding; "above" and "below"
// are the previous and the next row in memory. Sharpening and smoothing visit
// the interior pixels row by row, left to right, and read their neighbours as
// they are at that moment: the rows above and the pixel to the left have
// already been changed. That order is part of the result.
#pragma once

#include <cstdint>

#include "video/brightness_contrast.h"

namespace vesk::video {

// Each interior B, G, R becomes m + (v - m) * factor, m the 3 x 3 mean
// (rounded down), clamped; factor 0 or 1 changes nothing. kFastest takes
// many rows at once where the processor has AVX2 and the factor fits 16-bit
// lanes; the result is the same.
void SharpenPicture(std::uint8_t* picture, std::uint32_t width, std::uint32_t height,
                    std::int32_t factor, Instructions instructions = Instructions::kFastest);

// An interior pixel whose nine blue values all lie less than `threshold` from
// their mean takes the 3 x 3 means of B, G and R; threshold <= 0 changes
// nothing. kFastest as for sharpening.
void SmoothPicture(std::uint8_t* picture, std::uint32_t width, std::uint32_t height,
                   std::int32_t threshold, Instructions instructions = Instructions::kFastest);

// Writes the 2*width x 2*height output: source pixels on even rows and
// columns, averages (rounded down, fourth byte 0) between them, the last
// column and the last row repeated. `output` must not overlap `picture`.
void EnlargePicture(const std::uint8_t* picture, std::uint32_t width, std::uint32_t height,
                    std::uint8_t* output);

}  // namespace vesk::video
