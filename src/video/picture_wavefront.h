// Sharpening and smoothing with AVX2, many rows at once, for processors that
// have it (ask platform::HasAvx2() first).
//
// Each pixel needs its adjusted left neighbour and the adjusted row above,
// which chains the pixels of a row one after another. Row y + 1 at column
// x - 2 needs only row y up to x - 1 and its own row and the row below still
// unadjusted from x - 3 on, so it can go in the same step as row y at x: a
// band of rows advances as a skewed front, one row per 16-bit vector lane.
// The result is bit for bit that of the row-by-row order.
#pragma once

#include <cstdint>

#include "platform/cpu_features.h"

namespace vesk::video {

#ifdef VESK_HAS_X86_VECTOR_PATHS

// The factors whose m * (1 - s) + v * s stays within 16-bit lanes.
constexpr std::int32_t kWavefrontLowestFactor = -127;
constexpr std::int32_t kWavefrontHighestFactor = 128;

// Same contract as SharpenPicture, for factors in the range above.
void WavefrontSharpen(std::uint8_t* picture, std::uint32_t width, std::uint32_t height, std::int32_t factor);

// Same contract as SmoothPicture, for thresholds above 0.
void WavefrontSmooth(std::uint8_t* picture, std::uint32_t width, std::uint32_t height, std::int32_t threshold);

#endif

}  // namespace vesk::video
