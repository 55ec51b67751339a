// A steady sine tone in any PCM format the recorder carries, the same on
// every channel of a frame, continuing seamlessly from one call to the next.
#pragma once

#include <cstdint>
#include <vector>

#include "mkrec/audio_format.h"

namespace vesk::mkrec {

class ToneGenerator {
 public:
  ToneGenerator(double frequency, const AudioFormat& format);

  // The next `frames` sample frames.
  std::vector<std::uint8_t> Next(std::size_t frames);

 private:
  double frequency_;
  AudioFormat format_;
  std::uint64_t sampleIndex_ = 0;
};

}  // namespace vesk::mkrec
