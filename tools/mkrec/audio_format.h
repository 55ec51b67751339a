// The shape of raw PCM audio as the recorder carries it: 8-bit unsigned or
// 16-bit signed little-endian samples, channels interleaved.
#pragma once

#include <cstdint>

namespace vesk::mkrec {

struct AudioFormat {
  std::uint32_t rate = 8000;
  std::uint32_t bits = 8;
  std::uint32_t channels = 1;

  // Bytes of one sample frame (a sample for every channel).
  std::uint32_t frameBytes() const { return bits / 8 * channels; }
};

}  // namespace vesk::mkrec
