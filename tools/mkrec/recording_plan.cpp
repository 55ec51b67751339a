#include "mkrec/recording_plan.h"

#include <set>

namespace vesk::mkrec {

namespace {

constexpr std::uint32_t kMaxCameras = 4;
constexpr std::uint32_t kMaxAudioRate = 192000;
constexpr std::size_t kMaxDeviceName = 79;
constexpr std::size_t kMaxChannelText = 199;
constexpr std::uint8_t kFirstTextChannel = 128;

std::string Number(std::uint32_t value) { return std::to_string(value); }

// Collects channel numbers, refusing the list end marker and duplicates.
class ChannelClaims {
 public:
  Status Claim(std::uint8_t channel, const std::string& what) {
    if (channel == input::kChannelListEnd)
      return Status::Error(what + ": channel 165 marks the end of the channel list");
    if (!claimed_.insert(channel).second)
      return Status::Error(what + ": channel " + Number(channel) + " is already used");
    return Status::Ok();
  }

 private:
  std::set<std::uint8_t> claimed_;
};

Status CheckName(const std::string& name, const std::string& what) {
  if (Koi8FromUtf8(name).size() > kMaxChannelText)
    return Status::Error(what + ": name is longer than " + Number(kMaxChannelText) + " characters");
  return Status::Ok();
}

Status CheckFormat(const AudioFormat& format, const std::string& what) {
  if (format.bits != 8 && format.bits != 16) return Status::Error(what + ": bits must be 8 or 16");
  if (format.channels != 1 && format.channels != 2)
    return Status::Error(what + ": must be mono or stereo");
  if (format.rate == 0 || format.rate > kMaxAudioRate)
    return Status::Error(what + ": rate must be 1 to " + Number(kMaxAudioRate));
  return Status::Ok();
}

Status CheckCameras(const RecordingPlan& plan, ChannelClaims& claims) {
  if (plan.cameras.size() > kMaxCameras) return Status::Error("at most 4 cameras");
  for (const CameraPlan& camera : plan.cameras) {
    const std::string what = "camera " + Number(camera.slot);
    if (camera.slot >= kMaxCameras) return Status::Error(what + ": slot must be 0 to 3");
    if (Status s = claims.Claim(camera.slot, what); !s.ok()) return s;
    if (Status s = CheckName(camera.name, what); !s.ok()) return s;
  }
  const std::uint32_t frames = plan.durationSeconds * plan.framesPerSecond;
  for (const VideoFlag& flag : plan.videoFlags) {
    const std::string what =
        "flag on frame " + Number(flag.frame) + " of camera " + Number(flag.slot);
    bool known = false;
    for (const CameraPlan& camera : plan.cameras) known = known || camera.slot == flag.slot;
    if (!known) return Status::Error(what + ": no such camera");
    if (flag.frame >= frames) return Status::Error(what + ": the recording has fewer frames");
    if (flag.flagByte > input::kFlagByteMask)
      return Status::Error(what + ": the flag byte has only six bits");
  }
  return Status::Ok();
}

Status CheckAudio(const RecordingPlan& plan, ChannelClaims& claims) {
  for (const AudioPlan& audio : plan.audio) {
    const std::string what = "audio channel " + Number(audio.channel);
    if (Status s = claims.Claim(audio.channel, what); !s.ok()) return s;
    if (Status s = CheckName(audio.name, what); !s.ok()) return s;
    if (audio.wavPath.empty()) {
      if (Status s = CheckFormat(audio.format, what); !s.ok()) return s;
    }
  }
  return Status::Ok();
}

Status CheckTexts(const RecordingPlan& plan, ChannelClaims& claims) {
  for (const TextPlan& text : plan.texts) {
    const std::string what = "text channel " + Number(text.channel);
    if (text.channel < kFirstTextChannel)
      return Status::Error(what + ": text channels are 128 to 255");
    if (Status s = claims.Claim(text.channel, what); !s.ok()) return s;
    if (Status s = CheckName(text.name, what); !s.ok()) return s;
    for (const TextLine& line : text.lines) {
      if (line.second >= plan.durationSeconds)
        return Status::Error(what + ": line at second " + Number(line.second) +
                             " is past the end of the recording");
    }
  }
  return Status::Ok();
}

}  // namespace

Status CheckPlan(const RecordingPlan& plan) {
  if (plan.durationSeconds == 0 || plan.durationSeconds > kMaxDuration)
    return Status::Error("duration must be 1 to " + Number(kMaxDuration) + " seconds");
  if (plan.startTime > UINT32_MAX - plan.durationSeconds)
    return Status::Error("the recording would end after the last time the stream can hold");
  if (plan.framesPerSecond == 0 || plan.framesPerSecond > kMaxFramesPerSecond)
    return Status::Error("frames per second must be 1 to " + Number(kMaxFramesPerSecond));
  if (plan.keyFrameInterval == 0) return Status::Error("key frame interval must be at least 1");
  if (plan.maxFragment == 0 || plan.maxFragment > input::kMaxFragmentPayload)
    return Status::Error("maximum fragment must be 1 to " + Number(input::kMaxFragmentPayload));
  if (Koi8FromUtf8(plan.deviceName).size() > kMaxDeviceName)
    return Status::Error("device name is longer than " + Number(kMaxDeviceName) + " characters");
  if (plan.repeatDescriptionAt && *plan.repeatDescriptionAt >= plan.durationSeconds)
    return Status::Error("the channel description would be repeated after the recording ends");

  ChannelClaims claims;
  if (Status s = CheckCameras(plan, claims); !s.ok()) return s;
  if (Status s = CheckAudio(plan, claims); !s.ok()) return s;
  if (Status s = CheckTexts(plan, claims); !s.ok()) return s;
  if (plan.status) return claims.Claim(plan.status->channel, "status channel");
  return Status::Ok();
}

std::uint8_t SyntheticActivity(std::uint8_t channel, std::uint32_t second) {
  return (second + channel) % 4 < 2 ? 1 : 0;
}

}  // namespace vesk::mkrec
