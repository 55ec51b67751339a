#include "video/picture_adjustments.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

#include "platform/cpu_features.h"
#include "platform/little_endian.h"
#include "video/picture_wavefront.h"

namespace vesk::video {
namespace {

using platform::LoadLe32;
using platform::StoreLe32;

// Pixels per piece of a row whose window sums are made ahead of the serial pass.
constexpr std::uint32_t kPiece = 128;

// The largest 3 x 3 sum of one channel.
constexpr std::uint32_t kMaxWindowSum = 9 * 255;

// n / 9 rounded down for 0 <= n < 3277 (a 3 x 3 sum is at most 2295).
inline std::int32_t DivideBy9(std::int32_t n) { return (n * 1821) >> 14; }

inline std::uint8_t Clamp(std::int32_t v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// For `count` pixels of one row starting at `row`, per byte B, G, R (X too,
// unused): the 3 x 3 sum without the left neighbour in the row itself, which
// the serial pass adds as it is at that moment. `above` is already adjusted,
// the row and `below` are not yet.
inline void PartialSums(const std::uint8_t* above, const std::uint8_t* row, const std::uint8_t* below,
                        std::uint32_t count, std::uint16_t* sums) {
  above -= 4;
  below -= 4;
  for (std::size_t i = 0; i < 4 * std::size_t{count}; ++i)
    sums[i] = static_cast<std::uint16_t>(above[i] + above[i + 4] + above[i + 8] + below[i] + below[i + 4] +
                                         below[i + 8] + row[i] + row[i + 4]);
}

// The smallest and largest of the same eight values, per byte like the sums
// (only blue is used; all bytes keep the loop simple to vectorise).
inline void ValueRange(const std::uint8_t* above, const std::uint8_t* row, const std::uint8_t* below,
                       std::uint32_t count, std::uint8_t* lowest, std::uint8_t* highest) {
  above -= 4;
  below -= 4;
  for (std::size_t i = 0; i < 4 * std::size_t{count}; ++i) {
    std::uint8_t lo = std::min(std::min(above[i], above[i + 4]), above[i + 8]);
    std::uint8_t hi = std::max(std::max(above[i], above[i + 4]), above[i + 8]);
    lo = std::min(lo, std::min(std::min(below[i], below[i + 4]), below[i + 8]));
    hi = std::max(hi, std::max(std::max(below[i], below[i + 4]), below[i + 8]));
    lowest[i] = std::min(lo, std::min(row[i], row[i + 4]));
    highest[i] = std::max(hi, std::max(row[i], row[i + 4]));
  }
}

// Visits the interior rows in memory order, each in pieces of up to kPiece
// pixels. For each piece `prepare(above, row, below, count)` makes the
// partial window data, then `serial(row, count, left)` adjusts its pixels left
// to right, carrying the adjusted B, G, R of the pixel before in `left`.
// A whole piece (constant count) lets the compiler vectorise the preparation.
template <typename Prepare, typename Serial>
void ForEachInteriorPiece(std::uint8_t* picture, std::uint32_t width, std::uint32_t height,
                          Prepare prepare, Serial serial) {
  if (width < 3 || height < 3) return;
  const std::size_t stride = std::size_t{4} * width;
  const std::uint32_t interior = width - 2;
  for (std::uint32_t y = 1; y + 1 < height; ++y) {
    std::uint8_t* row = picture + y * stride;
    std::int32_t left[3] = {row[0], row[1], row[2]};
    for (std::uint32_t x = 1; x <= interior; x += kPiece) {
      std::uint8_t* at = row + 4 * std::size_t{x};
      const std::uint8_t* above = at - stride;
      const std::uint8_t* below = at + stride;
      const std::uint32_t count = interior - x + 1;
      if (count >= kPiece) {
        prepare(above, at, below, kPiece);
        serial(at, kPiece, left);
      } else {
        prepare(above, at, below, count);
        serial(at, count, left);
      }
    }
  }
}

std::uint32_t Average(std::uint32_t a, std::uint32_t b) {
  // Per byte (a + b) / 2 rounded down, without carries between the bytes.
  return (a & b) + (((a ^ b) & 0xFEFEFEFEu) >> 1);
}

// B, G, R of the per-byte average; the fourth byte 0.
std::uint32_t AverageColour(std::uint32_t a, std::uint32_t b) { return Average(a, b) & 0x00FFFFFFu; }

// The same for two pixels in 64 bits.
std::uint64_t AverageColour2(std::uint64_t a, std::uint64_t b) {
  return ((a & b) + (((a ^ b) & 0xFEFEFEFEFEFEFEFEu) >> 1)) & 0x00FFFFFF00FFFFFFu;
}

// Little-endian 64-bit access, the first pixel in the low half: one load or
// store on a little-endian machine, bytes otherwise.
std::uint64_t LoadLe64(const std::uint8_t* p) {
  if constexpr (std::endian::native == std::endian::little) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
  } else {
    return LoadLe32(p) | std::uint64_t{LoadLe32(p + 4)} << 32;
  }
}
void StoreLe64(std::uint8_t* p, std::uint64_t v) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &v, sizeof v);
  } else {
    StoreLe32(p, static_cast<std::uint32_t>(v));
    StoreLe32(p + 4, static_cast<std::uint32_t>(v >> 32));
  }
}

}  // namespace

void SharpenPicture(std::uint8_t* picture, std::uint32_t width, std::uint32_t height,
                    std::int32_t factor, [[maybe_unused]] Instructions instructions) {
  if (factor == 0 || factor == 1) return;  // 1 gives m + (v - m): the pixel itself
#ifdef VESK_HAS_X86_VECTOR_PATHS
  if (instructions == Instructions::kFastest && platform::HasAvx2() && factor >= kWavefrontLowestFactor &&
      factor <= kWavefrontHighestFactor) {
    WavefrontSharpen(picture, width, height, factor);
    return;
  }
#endif
  // m + (v - m) * factor in wrapping 32-bit arithmetic, as the recorder's
  // own, is v * factor + m * (1 - factor): the second term from a table over
  // the 3 x 3 sums, so the chain from one pixel to the next is an addition,
  // a load, an addition and the clamp.
  const auto scale = static_cast<std::uint32_t>(factor);
  std::uint32_t meanTerm[kMaxWindowSum + 1];
  for (std::uint32_t n = 0; n <= kMaxWindowSum; ++n)
    meanTerm[n] = static_cast<std::uint32_t>(DivideBy9(static_cast<std::int32_t>(n))) * (1u - scale);
  alignas(16) std::uint16_t sums[4 * kPiece];
  ForEachInteriorPiece(
      picture, width, height,
      [&sums](const std::uint8_t* above, const std::uint8_t* row, const std::uint8_t* below, std::uint32_t count) {
        PartialSums(above, row, below, count, sums);
      },
      [&sums, &meanTerm, scale](std::uint8_t* row, std::uint32_t count, std::int32_t* left) {
        std::uint32_t l0 = static_cast<std::uint32_t>(left[0]), l1 = static_cast<std::uint32_t>(left[1]),
                      l2 = static_cast<std::uint32_t>(left[2]);
        const std::uint16_t* sum = sums;
        for (std::uint32_t x = 0; x < count; ++x, row += 4, sum += 4) {
          const std::uint8_t b = Clamp(static_cast<std::int32_t>(row[0] * scale + meanTerm[sum[0] + l0]));
          const std::uint8_t g = Clamp(static_cast<std::int32_t>(row[1] * scale + meanTerm[sum[1] + l1]));
          const std::uint8_t r = Clamp(static_cast<std::int32_t>(row[2] * scale + meanTerm[sum[2] + l2]));
          row[0] = b;
          row[1] = g;
          row[2] = r;
          l0 = b;
          l1 = g;
          l2 = r;
        }
        left[0] = static_cast<std::int32_t>(l0);
        left[1] = static_cast<std::int32_t>(l1);
        left[2] = static_cast<std::int32_t>(l2);
      });
}

void SmoothPicture(std::uint8_t* picture, std::uint32_t width, std::uint32_t height,
                   std::int32_t threshold, [[maybe_unused]] Instructions instructions) {
  if (threshold <= 0) return;
#ifdef VESK_HAS_X86_VECTOR_PATHS
  if (instructions == Instructions::kFastest && platform::HasAvx2()) {
    WavefrontSmooth(picture, width, height, threshold);
    return;
  }
#endif
  alignas(16) std::uint16_t sums[4 * kPiece];
  alignas(16) std::uint8_t lowest[4 * kPiece];
  alignas(16) std::uint8_t highest[4 * kPiece];
  ForEachInteriorPiece(
      picture, width, height,
      [&](const std::uint8_t* above, const std::uint8_t* row, const std::uint8_t* below, std::uint32_t count) {
        PartialSums(above, row, below, count, sums);
        ValueRange(above, row, below, count, lowest, highest);
      },
      [&](std::uint8_t* row, std::uint32_t count, std::int32_t* left) {
        std::int32_t l0 = left[0], l1 = left[1], l2 = left[2];
        for (std::uint32_t x = 0; x < count; ++x, row += 4) {
          const std::uint16_t* sum = sums + 4 * std::size_t{x};
          const std::int32_t meanBlue = DivideBy9(sum[0] + l0);
          const std::int32_t lo = std::min<std::int32_t>(lowest[4 * std::size_t{x}], l0);
          const std::int32_t hi = std::max<std::int32_t>(highest[4 * std::size_t{x}], l0);
          // Every blue value within the threshold of the mean.
          if (hi - meanBlue < threshold && meanBlue - lo < threshold) {
            const std::int32_t g = DivideBy9(sum[1] + l1), r = DivideBy9(sum[2] + l2);
            row[0] = static_cast<std::uint8_t>(meanBlue);
            row[1] = static_cast<std::uint8_t>(g);
            row[2] = static_cast<std::uint8_t>(r);
            l0 = meanBlue;
            l1 = g;
            l2 = r;
          } else {
            l0 = row[0];
            l1 = row[1];
            l2 = row[2];
          }
        }
        left[0] = l0;
        left[1] = l1;
        left[2] = l2;
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
    // Two output pixels per 64-bit store: the source pixel and the average
    // with its right neighbour.
    std::uint32_t x = 0;
    // Source pixels x, x + 1 against x + 1, x + 2: both averages at once.
    for (; x + 2 < width; x += 2) {
      const std::uint64_t pair = LoadLe64(source + 4 * std::size_t{x});
      const std::uint64_t shifted = LoadLe64(source + 4 * std::size_t{x} + 4);
      const std::uint64_t averages = AverageColour2(pair, shifted);
      StoreLe64(even + 8 * std::size_t{x}, (pair & 0xFFFFFFFFu) | averages << 32);
      StoreLe64(even + 8 * std::size_t{x} + 8, pair >> 32 | (averages & 0xFFFFFFFF00000000u));
    }
    if (x + 1 < width) {
      const std::uint32_t current = LoadLe32(source + 4 * std::size_t{x});
      const std::uint32_t next = LoadLe32(source + 4 * std::size_t{x} + 4);
      StoreLe64(even + 8 * std::size_t{x}, current | std::uint64_t{AverageColour(current, next)} << 32);
    }
    const std::uint32_t final = LoadLe32(source + sourceStride - 4);
    StoreLe64(even + outputStride - 8, final | std::uint64_t{final} << 32);
    // The odd row between this even row and the one before, while both are
    // still in the cache; two pixels at a time (the rows are a whole number
    // of pixel pairs).
    if (y > 0) {
      std::uint8_t* odd = even - outputStride;
      const std::uint8_t* previous = odd - outputStride;
      std::size_t at = 0;
      // Four pairs per step, which the compiler may turn into vector code.
      for (; at + 32 <= outputStride; at += 32)
        for (std::size_t k = 0; k < 32; k += 8)
          StoreLe64(odd + at + k, AverageColour2(LoadLe64(previous + at + k), LoadLe64(even + at + k)));
      for (; at < outputStride; at += 8)
        StoreLe64(odd + at, AverageColour2(LoadLe64(previous + at), LoadLe64(even + at)));
    }
  }
  std::uint8_t* last = output + (2 * std::size_t{height} - 1) * outputStride;
  std::copy(last - outputStride, last, last);
}

}  // namespace vesk::video
