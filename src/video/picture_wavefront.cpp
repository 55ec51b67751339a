#include "video/picture_wavefront.h"

#ifdef VESK_HAS_X86_VECTOR_PATHS

#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

// Everything that touches the vectors is compiled for AVX2 and inlined into
// the band loop: a call into code built for the baseline would switch the
// processor between the two register states on every step.
#define VESK_AVX2 __attribute__((target("avx2")))
#define VESK_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

namespace vesk::video {
namespace {

// A band is 16 rows, one per lane: lane 0 is the row above the band (already
// adjusted), lanes 1 .. 14 are the band's rows, lane 15 the row below (not yet
// adjusted). In step t lane j is at column t - 2j. Lanes outside the band's
// rows, and lanes at a column outside 1 .. width - 2, keep their value.
constexpr int kLanes = 16;
constexpr std::uint32_t kBandRows = kLanes - 2;
// Steps moved between the picture and the lanes by one transpose.
constexpr std::int64_t kBlock = 8;
// Steps per pass over the scratch, which keeps the stack bounded for any width.
constexpr std::int64_t kChunk = 64;

// A 3 x 3 sum divided by 9 as the high half of n * kNinth.
constexpr std::uint32_t kNinth = 7282;
constexpr bool NinthIsExact() {
  for (std::uint32_t n = 0; n <= 9 * 255; ++n)
    if ((n * kNinth) >> 16 != n / 9) return false;
  return true;
}
static_assert(NinthIsExact());

struct Band {
  std::uint8_t* rows[kLanes];  // null past the last row of the picture
  std::int64_t width;
  int last;  // lanes 1 .. last are rows of the band
};

// Lane j takes lane j - 1, lane 0 takes 0.
VESK_AVX2_INLINE __m256i ShiftUp(__m256i x) { return _mm256_alignr_epi8(x, _mm256_permute2x128_si256(x, x, 0x08), 14); }

// The steps in flight live in memory as 16 lanes of 16 bits per channel,
// B, G, R, one step after the other: a load one lane further on gives every
// lane the row below's value (lane 15 takes a value that does not matter).
constexpr std::ptrdiff_t kStepSize = 3 * kLanes;

VESK_AVX2_INLINE std::uint16_t* LaneAt(std::uint16_t* steps, std::ptrdiff_t step, int channel) {
  return steps + step * kStepSize + channel * kLanes;
}
VESK_AVX2_INLINE const std::uint16_t* LaneAt(const std::uint16_t* steps, std::ptrdiff_t step, int channel) {
  return steps + step * kStepSize + channel * kLanes;
}
VESK_AVX2_INLINE __m256i Load(const std::uint16_t* lanes) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes));
}
VESK_AVX2_INLINE __m256i LoadBelow(const std::uint16_t* lanes) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lanes + 1));
}
VESK_AVX2_INLINE void Store(std::uint16_t* lanes, __m256i value) {
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), value);
}

// Eight pixels of a lane's row from `column` on, zero outside the picture.
VESK_AVX2_INLINE __m256i LoadPixels(const Band& band, int lane, std::int64_t column) {
  const std::uint8_t* row = band.rows[lane];
  if (row != nullptr && column >= 0 && column + kBlock <= band.width)
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 4 * column));
  alignas(32) std::uint8_t padded[4 * kBlock] = {};
  if (row != nullptr) {
    const std::int64_t first = std::max<std::int64_t>(column, 0);
    const std::int64_t end = std::min(column + kBlock, band.width);
    if (first < end)
      std::memcpy(padded + 4 * (first - column), row + 4 * first, static_cast<std::size_t>(4 * (end - first)));
  }
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(padded));
}

// B, G, R of a lane's eight pixels from `column` on; X is taken from the
// picture, and only columns 1 .. width - 2 are written where the eight
// pixels do not all lie in the row (the others keep their values anyway).
VESK_AVX2_INLINE void StorePixels(const Band& band, int lane, std::int64_t column, __m256i pixels) {
  std::uint8_t* row = band.rows[lane];
  if (column >= 0 && column + kBlock <= band.width) {
    auto* at = reinterpret_cast<__m256i*>(row + 4 * column);
    const __m256i fourth = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    _mm256_storeu_si256(at, _mm256_or_si256(pixels, _mm256_and_si256(_mm256_loadu_si256(at), fourth)));
    return;
  }
  alignas(32) std::uint8_t colours[4 * kBlock];
  _mm256_store_si256(reinterpret_cast<__m256i*>(colours), pixels);
  const std::int64_t first = std::max<std::int64_t>(column, 1);
  const std::int64_t end = std::min(column + kBlock, band.width - 1);
  for (std::int64_t x = first; x < end; ++x) std::memcpy(row + 4 * x, colours + 4 * (x - column), 3);
}

// 8 steps of 16 row bytes per 128-bit half to pairs of rows: row 2i in the
// low and row 2i + 1 in the high 64 bits of each half of rows[i].
VESK_AVX2_INLINE void StepsToRows(const __m256i* steps, __m256i* rows) {
  __m256i pairs[4][2], fours[2][2][2];
  for (int p = 0; p < 4; ++p) {
    pairs[p][0] = _mm256_unpacklo_epi8(steps[2 * p], steps[2 * p + 1]);
    pairs[p][1] = _mm256_unpackhi_epi8(steps[2 * p], steps[2 * p + 1]);
  }
  for (int g = 0; g < 2; ++g)
    for (int s = 0; s < 2; ++s) {  // steps 4s .. 4s + 3
      fours[g][0][s] = _mm256_unpacklo_epi16(pairs[2 * s][g], pairs[2 * s + 1][g]);
      fours[g][1][s] = _mm256_unpackhi_epi16(pairs[2 * s][g], pairs[2 * s + 1][g]);
    }
  for (int g = 0; g < 2; ++g)
    for (int h = 0; h < 2; ++h) {
      rows[4 * g + 2 * h] = _mm256_unpacklo_epi32(fours[g][h][0], fours[g][h][1]);
      rows[4 * g + 2 * h + 1] = _mm256_unpackhi_epi32(fours[g][h][0], fours[g][h][1]);
    }
}

// Per 128-bit half, pixels B,G,R,X x 4 to B x 4, G x 4, R x 4, X x 4 (its own
// inverse; the inverse drops X).
VESK_AVX2_INLINE __m256i GroupChannels() {
  return _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15,  //
                          0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
}
VESK_AVX2_INLINE __m256i UngroupChannels() {
  return _mm256_setr_epi8(0, 4, 8, -128, 1, 5, 9, -128, 2, 6, 10, -128, 3, 7, 11, -128,  //
                          0, 4, 8, -128, 1, 5, 9, -128, 2, 6, 10, -128, 3, 7, 11, -128);
}

// Steps `first` .. first + 7 of every lane, per channel in 16-bit lanes.
// Rows are grouped to B0-3 G0-3 R0-3 X0-3 | B4-7 G4-7 R4-7 X4-7 and then
// interleaved in pairs, fours, eights and sixteen: each 128-bit half
// transposes its four steps, X dropped on the way.
VESK_AVX2_INLINE void LoadBlock(const Band& band, std::int64_t first, std::uint16_t* steps) {
  const __m256i group = GroupChannels();
  __m256i rows[kLanes];
  for (int j = 0; j < kLanes; ++j) rows[j] = _mm256_shuffle_epi8(LoadPixels(band, j, first - 2 * j), group);
  // 16-bit element k of pairs: B steps 0-3 (k < 4), G (k >= 4); of pairs + 8: R, X.
  __m256i pairs[2 * kLanes / 2];
  for (int i = 0; i < kLanes / 2; ++i) {
    pairs[i] = _mm256_unpacklo_epi8(rows[2 * i], rows[2 * i + 1]);
    pairs[8 + i] = _mm256_unpackhi_epi8(rows[2 * i], rows[2 * i + 1]);
  }
  // fours[c][q]: 32-bit element k is step k of rows 4q .. 4q + 3.
  __m256i fours[3][4];
  for (int q = 0; q < 4; ++q) {
    fours[0][q] = _mm256_unpacklo_epi16(pairs[2 * q], pairs[2 * q + 1]);
    fours[1][q] = _mm256_unpackhi_epi16(pairs[2 * q], pairs[2 * q + 1]);
    fours[2][q] = _mm256_unpacklo_epi16(pairs[8 + 2 * q], pairs[8 + 2 * q + 1]);
  }
  for (int c = 0; c < 3; ++c) {
    // eights[h][p]: 64-bit element i is step 2p + i of rows 8h .. 8h + 7.
    __m256i eights[2][2];
    for (int h = 0; h < 2; ++h) {
      eights[h][0] = _mm256_unpacklo_epi32(fours[c][2 * h], fours[c][2 * h + 1]);
      eights[h][1] = _mm256_unpackhi_epi32(fours[c][2 * h], fours[c][2 * h + 1]);
    }
    for (int p = 0; p < 2; ++p)
      for (int i = 0; i < 2; ++i) {
        // Step 2p + i of all 16 rows in the low half, step 2p + i + 4 in the high.
        const __m256i sixteen = i == 0 ? _mm256_unpacklo_epi64(eights[0][p], eights[1][p])
                                       : _mm256_unpackhi_epi64(eights[0][p], eights[1][p]);
        Store(LaneAt(steps, 2 * p + i, c), _mm256_cvtepu8_epi16(_mm256_castsi256_si128(sixteen)));
        Store(LaneAt(steps, 2 * p + i + 4, c), _mm256_cvtepu8_epi16(_mm256_extracti128_si256(sixteen, 1)));
      }
  }
}

// Writes the band's rows of steps `first` .. first + 7: per step the bytes
// B of the 16 rows | R of the 16 rows and G | 0, transposed to rows of
// 64-bit quarters B0-7, G0-7 | R0-7, 0 and ungrouped to pixels.
VESK_AVX2_INLINE void StoreBlock(const Band& band, std::int64_t first, const std::uint16_t* steps) {
  const __m256i zero = _mm256_setzero_si256();
  __m256i blueRed[kBlock], green[kBlock];
  for (int k = 0; k < kBlock; ++k) {
    blueRed[k] =
        _mm256_permute4x64_epi64(_mm256_packus_epi16(Load(LaneAt(steps, k, 0)), Load(LaneAt(steps, k, 2))), 0xD8);
    green[k] = _mm256_permute4x64_epi64(_mm256_packus_epi16(Load(LaneAt(steps, k, 1)), zero), 0xD8);
  }
  __m256i blueRedRows[kLanes / 2], greenRows[kLanes / 2];
  StepsToRows(blueRed, blueRedRows);
  StepsToRows(green, greenRows);
  const __m256i pixelOrder = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
  const __m256i ungroup = UngroupChannels();
  for (int j = 1; j <= band.last; ++j) {
    const __m256i quarters = j % 2 == 0 ? _mm256_unpacklo_epi64(blueRedRows[j / 2], greenRows[j / 2])
                                        : _mm256_unpackhi_epi64(blueRedRows[j / 2], greenRows[j / 2]);
    const __m256i pixels = _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(quarters, pixelOrder), ungroup);
    StorePixels(band, j, first - 2 * j, pixels);
  }
}

// The unadjusted values of steps t .. t + 3 and the results of steps t - 3
// .. t - 1, the last of them also in registers, where the next step waits
// for it.
struct Window {
  const std::uint16_t* values;   // step t
  const std::uint16_t* results;  // step t
  const __m256i* last;

  VESK_AVX2_INLINE __m256i Value(int step, int channel) const { return Load(LaneAt(values, step, channel)); }
  VESK_AVX2_INLINE __m256i Below(int step, int channel) const { return LoadBelow(LaneAt(values, step, channel)); }
  VESK_AVX2_INLINE __m256i Result(int step, int channel) const { return Load(LaneAt(results, step, channel)); }

  // The 3 x 3 sum: the row above from the lane before's last three results,
  // the left neighbour from the lane's own last result, the rest from the
  // unadjusted values.
  VESK_AVX2_INLINE __m256i Sum(int c) const {
    const __m256i below = _mm256_add_epi16(_mm256_add_epi16(Below(1, c), Below(2, c)), Below(3, c));
    const __m256i rest = _mm256_add_epi16(_mm256_add_epi16(_mm256_add_epi16(Value(0, c), Value(1, c)), below),
                                          ShiftUp(_mm256_add_epi16(Result(-2, c), Result(-3, c))));
    return _mm256_add_epi16(_mm256_add_epi16(rest, last[c]), ShiftUp(last[c]));
  }
};

// The lanes at a column in 1 .. width - 2 in step t, among `bandLanes`.
VESK_AVX2_INLINE __m256i WorkingLanes(std::int64_t step, std::int64_t width, __m256i bandLanes) {
  const __m256i twiceLane = _mm256_setr_epi16(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
  // t - 2j >= 1, and t - 2j <= width - 2, with both sides kept small.
  const auto started = static_cast<short>(std::min<std::int64_t>(step, 2 * kLanes));
  const auto ended = static_cast<short>(std::clamp<std::int64_t>(step + 2 - width, -1, 2 * kLanes));
  const __m256i from = _mm256_cmpgt_epi16(_mm256_set1_epi16(started), twiceLane);
  const __m256i to = _mm256_cmpgt_epi16(_mm256_add_epi16(twiceLane, _mm256_set1_epi16(1)), _mm256_set1_epi16(ended));
  return _mm256_and_si256(bandLanes, _mm256_and_si256(from, to));
}

// Sharpening: m * (1 - s) + v * s, which is m + (v - m) * s in wrapping
// arithmetic and exact in 16 bits for the factors the header names. Lanes
// that keep their value get s = 1.
struct SharpenLanes {
  __m256i factor, complement;

  VESK_AVX2_INLINE SharpenLanes Where(__m256i working) const {
    return {_mm256_blendv_epi8(_mm256_set1_epi16(1), factor, working), _mm256_and_si256(complement, working)};
  }

  VESK_AVX2_INLINE void Step(const Window& window, __m256i* results) const {
    const __m256i ninth = _mm256_set1_epi16(static_cast<short>(kNinth));
    for (int c = 0; c < 3; ++c) {
      const __m256i mean = _mm256_mulhi_epu16(window.Sum(c), ninth);
      const __m256i sharpened =
          _mm256_add_epi16(_mm256_mullo_epi16(mean, complement), _mm256_mullo_epi16(window.Value(0, c), factor));
      results[c] = _mm256_min_epi16(_mm256_max_epi16(sharpened, _mm256_setzero_si256()), _mm256_set1_epi16(255));
    }
  }
};

// Smoothing: the means where every blue value of the nine lies less than the
// threshold from the blue mean. Lanes that keep their value get threshold 0
// (the largest blue value is never below the mean).
struct SmoothLanes {
  __m256i threshold;

  VESK_AVX2_INLINE SmoothLanes Where(__m256i working) const { return {_mm256_and_si256(threshold, working)}; }

  VESK_AVX2_INLINE void Step(const Window& window, __m256i* results) const {
    const __m256i ninth = _mm256_set1_epi16(static_cast<short>(kNinth));
    const __m256i b1 = window.Below(1, 0), b2 = window.Below(2, 0), b3 = window.Below(3, 0);
    const __m256i r2 = window.Result(-2, 0), r3 = window.Result(-3, 0), r1 = window.last[0];
    const __m256i v0 = window.Value(0, 0), v1 = window.Value(1, 0);
    const __m256i lowest =
        _mm256_min_epi16(_mm256_min_epi16(_mm256_min_epi16(v0, v1), _mm256_min_epi16(_mm256_min_epi16(b1, b2), b3)),
                         _mm256_min_epi16(ShiftUp(_mm256_min_epi16(r2, r3)), _mm256_min_epi16(r1, ShiftUp(r1))));
    const __m256i highest =
        _mm256_max_epi16(_mm256_max_epi16(_mm256_max_epi16(v0, v1), _mm256_max_epi16(_mm256_max_epi16(b1, b2), b3)),
                         _mm256_max_epi16(ShiftUp(_mm256_max_epi16(r2, r3)), _mm256_max_epi16(r1, ShiftUp(r1))));
    const __m256i meanBlue = _mm256_mulhi_epu16(window.Sum(0), ninth);
    const __m256i smooth = _mm256_and_si256(_mm256_cmpgt_epi16(_mm256_add_epi16(meanBlue, threshold), highest),
                                            _mm256_cmpgt_epi16(lowest, _mm256_sub_epi16(meanBlue, threshold)));
    results[0] = _mm256_blendv_epi8(v0, meanBlue, smooth);
    for (int c = 1; c < 3; ++c)
      results[c] = _mm256_blendv_epi8(window.Value(0, c), _mm256_mulhi_epu16(window.Sum(c), ninth), smooth);
  }
};

template <typename Lanes>
VESK_AVX2_INLINE void AdjustStep(const Lanes& lanes, const std::uint16_t* values, std::uint16_t* results,
                                 __m256i* last) {
  __m256i adjusted[3];
  lanes.Step(Window{values, results, last}, adjusted);
  for (int c = 0; c < 3; ++c) {
    Store(LaneAt(results, 0, c), adjusted[c]);
    last[c] = adjusted[c];
  }
}

VESK_AVX2_INLINE void CopySteps(const std::uint16_t* from, std::ptrdiff_t count, std::uint16_t* to) {
  for (std::ptrdiff_t i = 0; i < count * kStepSize; i += kLanes) Store(to + i, Load(from + i));
}

// Runs the band's front from step 0 until its last row has passed column
// width - 2, chunk by chunk: load the chunk's steps (and the three after,
// which its last steps look at), adjust them in order, write them back.
template <typename Lanes>
VESK_AVX2 void AdjustBand(const Band& band, const Lanes& everyLane) {
  const __m256i laneIndex = _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const __m256i bandLanes =
      _mm256_and_si256(_mm256_cmpgt_epi16(laneIndex, _mm256_setzero_si256()),
                       _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<short>(band.last + 1)), laneIndex));
  const Lanes steady = everyLane.Where(bandLanes);
  // Steps first .. first + kChunk + kBlock - 1, and the results of steps
  // first - kHistory .. first + kChunk - 1.
  constexpr std::ptrdiff_t kHistory = 3;
  alignas(32) std::uint16_t values[(kChunk + kBlock) * kStepSize];
  alignas(32) std::uint16_t resultsAndHistory[(kHistory + kChunk) * kStepSize] = {};
  std::uint16_t* const results = resultsAndHistory + kHistory * kStepSize;
  __m256i last[3] = {};
  const std::int64_t steps = band.width - 2 + 2 * std::int64_t{band.last} + 1;
  LoadBlock(band, 0, values);
  for (std::int64_t first = 0; first < steps; first += kChunk) {
    const std::int64_t count = std::min(kChunk, (steps - first + kBlock - 1) / kBlock * kBlock);
    for (std::int64_t b = kBlock; b < count + kBlock; b += kBlock) LoadBlock(band, first + b, LaneAt(values, b, 0));
    // Every band lane is inside the columns it changes from step 2 * last + 1
    // to step width.
    const std::int64_t from = std::clamp(2 * std::int64_t{band.last} + 1 - first, std::int64_t{0}, count);
    const std::int64_t end = std::clamp(band.width + 1 - first, from, count);
    for (std::int64_t k = 0; k < count; ++k) {
      if (k == from)
        for (; k < end; ++k) AdjustStep(steady, LaneAt(values, k, 0), LaneAt(results, k, 0), last);
      if (k == count) break;
      AdjustStep(everyLane.Where(WorkingLanes(first + k, band.width, bandLanes)), LaneAt(values, k, 0),
                 LaneAt(results, k, 0), last);
    }
    for (std::int64_t b = 0; b < count; b += kBlock) StoreBlock(band, first + b, LaneAt(results, b, 0));
    CopySteps(LaneAt(values, count, 0), kBlock, values);
    CopySteps(LaneAt(results, count - kHistory, 0), kHistory, resultsAndHistory);
  }
}

template <typename Lanes>
VESK_AVX2 void AdjustPicture(std::uint8_t* picture, std::uint32_t width, std::uint32_t height, const Lanes& lanes) {
  if (width < 3 || height < 3) return;
  const std::size_t stride = std::size_t{4} * width;
  for (std::uint64_t top = 1; top + 1 < height; top += kBandRows) {
    Band band;
    band.width = width;
    band.last = static_cast<int>(std::min<std::uint64_t>(kBandRows, height - 1 - top));
    for (int j = 0; j < kLanes; ++j) {
      const std::uint64_t y = top - 1 + static_cast<std::uint64_t>(j);
      band.rows[j] = y < height ? picture + y * stride : nullptr;
    }
    AdjustBand(band, lanes);
  }
}

VESK_AVX2 void SharpenAvx2(std::uint8_t* picture, std::uint32_t width, std::uint32_t height, std::int32_t factor) {
  const SharpenLanes lanes{_mm256_set1_epi16(static_cast<short>(factor)),
                           _mm256_set1_epi16(static_cast<short>(1 - factor))};
  AdjustPicture(picture, width, height, lanes);
}

VESK_AVX2 void SmoothAvx2(std::uint8_t* picture, std::uint32_t width, std::uint32_t height, std::int32_t threshold) {
  // A blue value lies at most 255 from the mean: larger thresholds act as 256.
  const SmoothLanes lanes{_mm256_set1_epi16(static_cast<short>(std::min(threshold, 256)))};
  AdjustPicture(picture, width, height, lanes);
}

}  // namespace

void WavefrontSharpen(std::uint8_t* picture, std::uint32_t width, std::uint32_t height, std::int32_t factor) {
  SharpenAvx2(picture, width, height, factor);
}

void WavefrontSmooth(std::uint8_t* picture, std::uint32_t width, std::uint32_t height, std::int32_t threshold) {
  SmoothAvx2(picture, width, height, threshold);
}

}  // namespace vesk::video

#endif
