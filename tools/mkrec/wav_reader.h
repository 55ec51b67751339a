// Reads a PCM WAV file whole: RIFF/WAVE with a plain PCM fmt chunk, 8 or
// 16 bits, mono or stereo. Chunks other than fmt and data are skipped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mkrec/audio_format.h"
#include "mkrec/status.h"

namespace vesk::mkrec {

class WavReader {
 public:
  Status Read(const std::string& path);

  const AudioFormat& format() const { return format_; }
  // Whole sample frames only, as the file stores them.
  const std::vector<std::uint8_t>& samples() const { return samples_; }

 private:
  Status Parse(const std::vector<std::uint8_t>& file);
  Status ParseFormat(const std::uint8_t* chunk, std::uint32_t size);

  std::string path_;
  AudioFormat format_;
  std::vector<std::uint8_t> samples_;
};

}  // namespace vesk::mkrec
