// One audio channel's packet payloads: a tone or a WAV file's samples (played
// again from the start when they run out), or for a -nosnd channel only the
// byte count the player turns into silence.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "mkrec/audio_format.h"
#include "mkrec/recording_plan.h"
#include "mkrec/tone_generator.h"

namespace vesk::mkrec {

class AudioFeed {
 public:
  Status Open(const AudioPlan& plan, double toneFrequency);

  const AudioFormat& format() const { return format_; }
  bool nosnd() const { return nosnd_; }

  // The payload of a packet holding the next `frames` sample frames.
  std::vector<std::uint8_t> NextPacket(std::size_t frames);

 private:
  std::vector<std::uint8_t> NextWavBytes(std::size_t size);

  AudioFormat format_;
  bool nosnd_ = false;
  std::optional<ToneGenerator> tone_;
  std::vector<std::uint8_t> wav_;
  std::size_t wavOffset_ = 0;
};

}  // namespace vesk::mkrec
