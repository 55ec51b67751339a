#include "video/brightness_contrast.h"

#include <algorithm>
#include <cstddef>

#include "platform/cpu_features.h"

#ifdef VESK_HAS_X86_VECTOR_PATHS
#include <immintrin.h>
#endif

namespace vesk::video {
namespace {

// Two's-complement wrap-around without undefined behaviour.
std::int32_t Wrap(std::int64_t value) { return static_cast<std::int32_t>(value); }
std::int32_t Mul(std::int32_t a, std::int32_t b) {
  return Wrap(static_cast<std::int64_t>(a) * b);
}

using Form = BrightnessContrast::Form;

void ApplyTable(const std::uint8_t* table, std::uint8_t* p, const std::uint8_t* end) {
  for (; p != end; p += 4) {
    const std::uint8_t b = table[p[0]], g = table[p[1]], r = table[p[2]];
    p[0] = b;
    p[1] = g;
    p[2] = r;
  }
}

#ifdef VESK_HAS_X86_VECTOR_PATHS
// Runs `form` over whole 32-byte blocks (eight pixels) from `p`; returns
// where it stopped.
__attribute__((target("avx2"))) std::uint8_t* ApplyForm(const Form& form, std::uint8_t* p,
                                                        std::uint8_t* end) {
  const __m256i fourthBytes = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  const __m256i addend = _mm256_set1_epi16(static_cast<short>(form.addend));
  const __m256i subtrahend = _mm256_set1_epi16(static_cast<short>(form.subtrahend));
  if (form.kind == Form::Kind::kOffset) {
    const __m256i add = _mm256_set1_epi8(static_cast<char>(form.addend));
    const __m256i sub = _mm256_set1_epi8(static_cast<char>(form.subtrahend));
    for (; end - p >= 32; p += 32) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
      const __m256i adjusted = _mm256_subs_epu8(_mm256_adds_epu8(v, add), sub);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm256_blendv_epi8(adjusted, v, fourthBytes));
    }
    return p;
  }
  // Byte pairs (v, [v < truncBelow]) times (weight, truncWeight).
  const __m256i weights = _mm256_set1_epi16(static_cast<short>(form.weight | form.truncWeight << 8));
  const __m256i truncBelow = _mm256_set1_epi8(static_cast<char>(form.truncBelow));
  const __m256i one = _mm256_set1_epi8(1);
  const __m256i reciprocal = _mm256_set1_epi16(static_cast<short>(form.reciprocal));
  const __m128i shift = _mm_cvtsi32_si128(form.shift);
  for (; end - p >= 32; p += 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i below = _mm256_min_epu8(_mm256_subs_epu8(truncBelow, v), one);
    __m256i low = _mm256_maddubs_epi16(_mm256_unpacklo_epi8(v, below), weights);
    __m256i high = _mm256_maddubs_epi16(_mm256_unpackhi_epi8(v, below), weights);
    low = _mm256_subs_epu16(_mm256_adds_epu16(low, addend), subtrahend);
    high = _mm256_subs_epu16(_mm256_adds_epu16(high, addend), subtrahend);
    low = _mm256_srl_epi16(_mm256_mulhi_epu16(low, reciprocal), shift);
    high = _mm256_srl_epi16(_mm256_mulhi_epu16(high, reciprocal), shift);
    const __m256i adjusted = _mm256_packus_epi16(low, high);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm256_blendv_epi8(adjusted, v, fourthBytes));
  }
  return p;
}
#endif

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

BrightnessContrast::Form BrightnessContrast::ChooseForm(std::int32_t brightness, std::int32_t contrast) {
  Form form;
  const std::int64_t offset = Mul(128, brightness) / 100;
  const auto saturate = [](std::int64_t n) {
    return static_cast<std::uint16_t>(std::min<std::int64_t>(n, 0xFFFF));
  };
  if (contrast == 0) {
    form.kind = Form::Kind::kOffset;
    (offset >= 0 ? form.addend : form.subtrahend) = static_cast<std::uint8_t>(std::min<std::int64_t>(
        offset >= 0 ? offset : -offset, 255));
    return form;
  }
  // (weight * v - 128k) / divisor + offset; a numerator below zero (only
  // for k > 0, where v < 128k / 100) truncates upwards, which adding
  // divisor - 1 turns into rounding down.
  std::int64_t weight, divisor;
  if (contrast > 0 && contrast < 100) {
    weight = 100;
    divisor = 101 - contrast;
    form.truncWeight = static_cast<std::uint8_t>(divisor - 1);
    form.truncBelow = static_cast<std::uint8_t>((128 * contrast + 99) / 100);
  } else if (contrast < 0 && contrast >= -100) {
    weight = contrast + 100;
    divisor = 100;
  } else {
    return form;
  }
  form.kind = Form::Kind::kDivide;
  form.weight = static_cast<std::uint8_t>(weight);
  const std::int64_t constant = -128 * std::int64_t{contrast} + offset * divisor;
  (constant >= 0 ? form.addend : form.subtrahend) = saturate(constant >= 0 ? constant : -constant);
  // n / divisor as (n * reciprocal) >> (16 + shift), exact for n < 2^15.
  int log = 0;
  while ((std::int64_t{1} << log) < divisor) ++log;
  form.shift = static_cast<std::uint8_t>(log - 1);
  form.reciprocal = saturate(((std::int64_t{1} << (16 + form.shift)) + divisor - 1) / divisor);
  return form;
}

void BrightnessContrast::Prepare(std::int32_t brightness, std::int32_t contrast) {
  if (prepared_ && brightness == brightness_ && contrast == contrast_) return;
  for (int value = 0; value < 256; ++value)
    table_[value] = AdjustChannel(static_cast<std::uint8_t>(value), brightness, contrast);
  brightness_ = brightness;
  contrast_ = contrast;
  prepared_ = true;
  form_ = Form{};
  if (instructions_ == Instructions::kBaseline) return;
#ifdef VESK_HAS_X86_VECTOR_PATHS
  if (!platform::HasAvx2()) return;
  // Every value in every channel through the form, against the table.
  const Form form = ChooseForm(brightness, contrast);
  if (form.kind == Form::Kind::kTable) return;
  std::uint8_t probe[4 * 256];
  for (std::size_t i = 0; i < sizeof probe; ++i) probe[i] = static_cast<std::uint8_t>(i / 4);
  ApplyForm(form, probe, probe + sizeof probe);
  for (std::size_t i = 0; i < sizeof probe; ++i)
    if (probe[i] != (i % 4 == 3 ? i / 4 : table_[i / 4])) return;
  form_ = form;
#endif
}

void BrightnessContrast::Apply(std::uint8_t* picture, std::uint32_t width, std::uint32_t height,
                               std::int32_t brightness, std::int32_t contrast) {
  Prepare(brightness, contrast);
  std::uint8_t* p = picture;
  std::uint8_t* const end = picture + std::size_t{4} * width * height;
#ifdef VESK_HAS_X86_VECTOR_PATHS
  if (form_.kind != Form::Kind::kTable) p = ApplyForm(form_, p, end);
#endif
  ApplyTable(table_, p, end);
}

}  // namespace vesk::video
