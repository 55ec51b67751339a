#include "mkrec/tone_generator.h"

#include <cmath>
#include <numbers>

#include "platform/little_endian.h"

namespace vesk::mkrec {

namespace {

// A quarter of full scale: clearly audible without being harsh.
constexpr double kLevel = 0.25;

}  // namespace

ToneGenerator::ToneGenerator(double frequency, const AudioFormat& format)
    : frequency_(frequency), format_(format) {}

std::vector<std::uint8_t> ToneGenerator::Next(std::size_t frames) {
  std::vector<std::uint8_t> bytes(frames * format_.frameBytes());
  std::uint8_t* out = bytes.data();
  for (std::size_t i = 0; i < frames; ++i, ++sampleIndex_) {
    // From the sample index rather than an accumulated phase, so long
    // recordings do not drift.
    const double value = kLevel * std::sin(2.0 * std::numbers::pi * frequency_ *
                                           static_cast<double>(sampleIndex_) / format_.rate);
    for (std::uint32_t channel = 0; channel < format_.channels; ++channel) {
      if (format_.bits == 16) {
        const auto sample = static_cast<std::int16_t>(std::lround(value * 32767.0));
        platform::StoreLe16(out, static_cast<std::uint16_t>(sample));
        out += 2;
      } else {
        *out++ = static_cast<std::uint8_t>(128 + std::lround(value * 127.0));
      }
    }
  }
  return bytes;
}

}  // namespace vesk::mkrec
