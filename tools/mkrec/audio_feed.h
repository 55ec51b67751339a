// One audio channel's packet payloads: a tone or a WAV file's samples (read
// as they are needed, and again from the start when they run out), or for a
// -nosnd channel only the byte count the player turns into silence.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "mkrec/audio_format.h"
#include "mkrec/recording_plan.h"
#include "mkrec/tone_generator.h"
#include "mkrec/wav_reader.h"

namespace vesk::mkrec {

class AudioFeed {
 public:
  Status Open(const AudioPlan& plan, double toneFrequency);

  const AudioFormat& format() const { return format_; }
  bool nosnd() const { return nosnd_; }

  // The payload of a packet holding the next `frames` sample frames.
  Status NextPacket(std::size_t frames, std::vector<std::uint8_t>& payload);

 private:
  Status NextWavBytes(std::size_t size, std::vector<std::uint8_t>& bytes);

  AudioFormat format_;
  bool nosnd_ = false;
  std::optional<ToneGenerator> tone_;
  std::unique_ptr<WavReader> wav_;
};

}  // namespace vesk::mkrec
