// Brightness and contrast of a camera picture, applied in place to B, G and R
// of every pixel: through a table made once per setting, or, where the
// processor has AVX2, through the same rule in vector arithmetic once that
// has been checked against the table for every value.
#pragma once

#include <cstdint>

namespace vesk::video {

// Which instructions the adjustment may use: kFastest picks by processor
// (AVX2 where present), kBaseline keeps to those of the plain build. The
// result is the same; kBaseline is the fallback, selectable so that both can
// be checked on one machine.
enum class Instructions { kFastest, kBaseline };

class BrightnessContrast {
 public:
  // kFastest uses AVX2 where the processor has it and the setting allows;
  // kBaseline always goes through the table.
  explicit BrightnessContrast(Instructions instructions = Instructions::kFastest)
      : instructions_(instructions) {}

  // The picture is width x height pixels of B,G,R,X, rows without padding;
  // the fourth byte is left as it is.
  void Apply(std::uint8_t* picture, std::uint32_t width, std::uint32_t height,
             std::int32_t brightness, std::int32_t contrast);

  // Whether the last setting applied went through the vector code.
  bool Vectorised() const { return form_.kind != Form::Kind::kTable; }

  // One channel value through the rule: contrast first, then the brightness
  // offset, one clamp at the end; signed 32-bit arithmetic that wraps as the
  // recorder's own did, so any setting gives a defined result.
  static std::uint8_t AdjustChannel(std::uint8_t value, std::int32_t brightness,
                                    std::int32_t contrast);

  // The rule written for 16-bit vector lanes: clamp((weight * v + truncWeight
  // * [v < truncBelow] + addend - subtrahend) / divisor), the additions
  // saturating and the division a multiplication by `reciprocal` keeping the
  // high 16 bits, shifted right by `shift`. kOffset is the contrast-free
  // case, a saturating byte addition of `addend` and subtraction of
  // `subtrahend`. A form is used only after it gave the table's result for
  // every value.
  struct Form {
    enum class Kind { kTable, kOffset, kDivide };
    Kind kind = Kind::kTable;
    std::uint8_t weight = 0, truncWeight = 0, truncBelow = 0;
    std::uint16_t addend = 0, subtrahend = 0, reciprocal = 0;
    std::uint8_t shift = 0;
  };

 private:
  void Prepare(std::int32_t brightness, std::int32_t contrast);
  static Form ChooseForm(std::int32_t brightness, std::int32_t contrast);

  Instructions instructions_;
  bool prepared_ = false;
  std::int32_t brightness_ = 0;
  std::int32_t contrast_ = 0;
  Form form_;
  std::uint8_t table_[256] = {};
};

}  // namespace vesk::video
