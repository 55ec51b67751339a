// The PCM format an audio channel's options words describe.
#pragma once

#include <cstdint>

namespace vesk::audio {

struct AudioChannelFormat {
  bool noSound = false;  // packets carry only a length: the pin plays silence
  std::uint16_t channels = 1;
  std::uint16_t bits = 8;
  std::uint32_t rate = 8000;
  std::uint32_t bufferSize = 128000;  // bytes per media sample buffer

  std::uint16_t BlockAlign() const { return static_cast<std::uint16_t>((channels * bits) / 8); }
  std::uint32_t AverageBytesPerSecond() const { return BlockAlign() * rate; }

  // Reads "rate=N", "bits=N", "stereo" and "-nosnd" anywhere in the options
  // text; the buffer holds two seconds of sound.
  static AudioChannelFormat FromOptions(const char* options);
};

}  // namespace vesk::audio
