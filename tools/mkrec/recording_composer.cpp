#include "mkrec/recording_composer.h"

#include <algorithm>

#include "mkrec/channel_options.h"

namespace vesk::mkrec {

namespace {

constexpr double kBaseToneFrequency = 440.0;
constexpr int kQuantizer = 4;

std::string NameOr(const std::string& name, const std::string& fallback) {
  return Koi8FromUtf8(name.empty() ? fallback : name);
}

// Sample frames in tick `tick` of a second: exactly `rate` over the second.
std::uint64_t TickFrames(std::uint32_t rate, std::uint32_t tick, std::uint32_t ticks) {
  const std::uint64_t r = rate;
  return (tick + 1) * r / ticks - tick * r / ticks;
}

std::string Describe(const AudioFormat& format) {
  return std::to_string(format.rate) + " Hz, " + std::to_string(format.bits) + " bits, " +
         (format.channels == 2 ? "stereo" : format.channels == 1 ? "mono" : std::to_string(format.channels) + " channels");
}

}  // namespace

RecordingComposer::RecordingComposer(RecordingPlan plan) : plan_(std::move(plan)) {}

RecordingComposer::~RecordingComposer() = default;

Status RecordingComposer::OpenFeeds() {
  cameras_.clear();
  audio_.clear();
  XvidSettings encoding;
  encoding.quantizer = kQuantizer;
  encoding.keyFrameInterval = static_cast<int>(plan_.keyFrameInterval);
  encoding.framesPerSecond = static_cast<int>(plan_.framesPerSecond);
  for (const CameraPlan& camera : plan_.cameras) {
    auto feed = std::make_unique<CameraFeed>();
    if (Status s = feed->Open(camera, encoding); !s.ok())
      return Status::Error("camera " + std::to_string(camera.slot) + ": " + s.message());
    cameras_.push_back(std::move(feed));
  }
  for (std::size_t i = 0; i < plan_.audio.size(); ++i) {
    const AudioPlan& audio = plan_.audio[i];
    const std::string what = "audio channel " + std::to_string(audio.channel);
    auto feed = std::make_unique<AudioFeed>();
    if (Status s = feed->Open(audio, kBaseToneFrequency * static_cast<double>(i + 1)); !s.ok())
      return Status::Error(what + ": " + s.message());
    // A -nosnd packet says how much silence in a 16-bit word.
    const std::uint64_t largest =
        (feed->format().rate + plan_.framesPerSecond - 1) / plan_.framesPerSecond;
    if (audio.nosnd && largest * feed->format().frameBytes() > UINT16_MAX)
      return Status::Error(what + ": a -nosnd packet cannot count that much silence; " +
                           "raise the frame rate");
    audio_.push_back(std::move(feed));
  }
  return CheckAudioFormatsAgree();
}

// The player's audio pin plays one format, the last audio channel's: a
// channel of another format would play at the wrong speed.
Status RecordingComposer::CheckAudioFormatsAgree() const {
  for (std::size_t i = 1; i < audio_.size() && !plan_.allowMixedAudio; ++i) {
    const AudioFormat& first = audio_[0]->format();
    const AudioFormat& other = audio_[i]->format();
    if (first.rate == other.rate && first.bits == other.bits && first.channels == other.channels) continue;
    return Status::Error("audio channels " + std::to_string(plan_.audio[0].channel) + " (" + Describe(first) +
                         ") and " + std::to_string(plan_.audio[i].channel) + " (" + Describe(other) +
                         ") differ: players play one format for all channels (--allow-mixed-audio writes it anyway)");
  }
  return Status::Ok();
}

Status RecordingComposer::BuildDescription() {
  ConfigurationBuilder builder(Koi8FromUtf8(plan_.deviceName));
  for (std::size_t i = 0; i < cameras_.size(); ++i) {
    const std::uint8_t slot = plan_.cameras[i].slot;
    builder.Channel(slot, input::kChannelVideo, "XVID",
                    NameOr(plan_.cameras[i].name, "Camera " + std::to_string(slot)),
                    VideoOptions(cameras_[i]->width(), cameras_[i]->height()));
  }
  for (std::size_t i = 0; i < audio_.size(); ++i) {
    const std::uint8_t channel = plan_.audio[i].channel;
    builder.Channel(channel, input::kChannelAudio, "PCM",
                    NameOr(plan_.audio[i].name, "Audio " + std::to_string(channel)),
                    AudioOptions(audio_[i]->format(), audio_[i]->nosnd()));
  }
  for (const TextPlan& text : plan_.texts) {
    builder.Channel(text.channel, input::kChannelText, "TEXT",
                    NameOr(text.name, "Text " + std::to_string(text.channel)), "");
  }
  if (plan_.status)
    builder.Channel(plan_.status->channel, input::kChannelStatus, "STATUS", "Status", "");
  builder.End();
  description_ = builder.bytes();
  if (description_.size() > UINT16_MAX)
    return Status::Error("the channel description is too long for one packet");
  return Status::Ok();
}

Status RecordingComposer::Write(StreamWriter& writer) {
  summary_ = {};
  if (Status s = CheckPlan(plan_); !s.ok()) return s;
  if (Status s = OpenFeeds(); !s.ok()) return s;
  if (Status s = BuildDescription(); !s.ok()) return s;

  const std::uint64_t startBytes = writer.Position();
  const std::uint64_t startPackets = writer.PacketCount();
  writer.ChannelDescription(description_);
  std::uint64_t secondStart = writer.Position();
  for (std::uint32_t second = 0; second < plan_.durationSeconds; ++second) {
    if (plan_.repeatDescriptionAt == second) writer.ChannelDescription(description_);
    const std::uint64_t previousLength = second == 0 ? 0 : writer.Position() - secondStart;
    secondStart = writer.Position();
    writer.IndexPosition(plan_.startTime + second, static_cast<std::uint32_t>(previousLength));
    WriteStatus(second, writer);
    if (plan_.extraPackets) plan_.extraPackets(writer, second);
    WriteTexts(second, writer);
    for (std::uint32_t tick = 0; tick < plan_.framesPerSecond; ++tick) {
      if (Status s = WriteTick(second, tick, writer); !s.ok()) return s;
    }
    if (progress_) progress_(second + 1, plan_.durationSeconds);
  }
  summary_.bytes = writer.Position() - startBytes;
  summary_.packets = writer.PacketCount() - startPackets;
  return Status::Ok();
}

void RecordingComposer::WriteStatus(std::uint32_t second, StreamWriter& writer) {
  if (!plan_.status) return;
  // Entries from channel 0 up to the highest camera or audio channel.
  int highest = -1;
  for (const CameraPlan& camera : plan_.cameras) highest = std::max<int>(highest, camera.slot);
  for (const AudioPlan& audio : plan_.audio) highest = std::max<int>(highest, audio.channel);
  const ActivityFunction& activity =
      plan_.status->activity ? plan_.status->activity : ActivityFunction(SyntheticActivity);
  std::vector<std::uint8_t> activityByChannel;
  for (int channel = 0; channel <= highest; ++channel)
    activityByChannel.push_back(activity(static_cast<std::uint8_t>(channel), second));
  writer.DataPacket(plan_.status->channel, StatusPayload(activityByChannel), 0, plan_.maxFragment);
}

void RecordingComposer::WriteTexts(std::uint32_t second, StreamWriter& writer) {
  for (const TextPlan& text : plan_.texts) {
    for (const TextLine& line : text.lines) {
      if (line.second != second) continue;
      std::string message = Koi8FromUtf8(line.text);
      std::vector<std::uint8_t> payload(message.begin(), message.end());
      payload.push_back(0);
      writer.DataPacket(text.channel, payload, 0, plan_.maxFragment);
      ++summary_.textLines;
    }
  }
}

Status RecordingComposer::WriteTick(std::uint32_t second, std::uint32_t tick,
                                    StreamWriter& writer) {
  const double seconds = second + static_cast<double>(tick) / plan_.framesPerSecond;
  const std::uint32_t frame = second * plan_.framesPerSecond + tick;
  EncodedFrame encoded;
  for (std::size_t i = 0; i < cameras_.size(); ++i) {
    const std::uint8_t slot = plan_.cameras[i].slot;
    if (Status s = cameras_[i]->Next(seconds, encoded); !s.ok())
      return Status::Error("camera " + std::to_string(slot) + ": " + s.message());
    writer.DataPacket(slot, encoded.bytes, VideoFlagByte(slot, frame, encoded.keyFrame),
                      plan_.maxFragment);
    ++summary_.videoFrames;
  }
  std::vector<std::uint8_t> payload;
  for (std::size_t i = 0; i < audio_.size(); ++i) {
    const std::uint64_t frames = TickFrames(audio_[i]->format().rate, tick, plan_.framesPerSecond);
    if (frames == 0) continue;  // rates below the frame rate skip some ticks
    if (Status s = audio_[i]->NextPacket(frames, payload); !s.ok())
      return Status::Error("audio channel " + std::to_string(plan_.audio[i].channel) + ": " + s.message());
    writer.DataPacket(plan_.audio[i].channel, payload, 0, plan_.maxFragment);
    ++summary_.audioPackets;
  }
  return Status::Ok();
}

std::uint8_t RecordingComposer::VideoFlagByte(std::uint8_t slot, std::uint32_t frame,
                                              bool keyFrame) const {
  std::uint8_t flags = plan_.markKeyFrames && keyFrame ? 1 : 0;
  for (const VideoFlag& flag : plan_.videoFlags) {
    if (flag.slot == slot && flag.frame == frame) flags |= flag.flagByte;
  }
  return flags;
}

}  // namespace vesk::mkrec
