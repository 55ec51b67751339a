// What vesk-mkrec records: the device, the time span and every channel with
// the source of its data. Texts are UTF-8 here and written as KOI8-R.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "input/stream_format.h"
#include "mkrec/audio_format.h"
#include "mkrec/status.h"
#include "mkrec/stream_writer.h"

namespace vesk::mkrec {

struct CameraPlan {
  std::uint8_t slot = 0;  // 0 to 3; also the camera's channel number
  // Ignored for a Y4M source, whose header gives the size.
  int width = 352;
  int height = 288;
  std::string y4mPath;  // empty: the synthetic test picture
  std::string name;     // empty: "Camera <slot>"
};

constexpr std::uint32_t kMaxDuration = 24 * 60 * 60;
constexpr std::uint32_t kMaxFramesPerSecond = 60;

struct AudioPlan {
  std::uint8_t channel = 8;
  AudioFormat format;  // ignored for a WAV source, whose fmt chunk gives it
  // Packets carry only the byte count of the silence the player should play.
  bool nosnd = false;
  std::string wavPath;  // empty: a tone of 440 Hz times (1 + the channel's place among audio)
  std::string name;     // empty: "Audio <channel>"
};

struct TextLine {
  std::uint32_t second = 0;  // counted from the start of the recording
  std::string text;
};

// Channels 128 to 131 belong to cameras 0 to 3, 255 is the general line,
// other numbers from 132 show on every camera.
struct TextPlan {
  std::uint8_t channel = 255;
  std::vector<TextLine> lines;
  std::string name;  // empty: "Text <channel>"
};

// The activity byte reported for `channel` during `second`.
using ActivityFunction = std::function<std::uint8_t(std::uint8_t channel, std::uint32_t second)>;

struct StatusPlan {
  std::uint8_t channel = 16;
  ActivityFunction activity;  // empty: SyntheticActivity
};

// Flag bits ORed into the flag byte of one video frame (bit 0 is the mark).
struct VideoFlag {
  std::uint8_t slot = 0;
  std::uint32_t frame = 0;  // the camera's frame number, from 0
  std::uint8_t flagByte = 0;
};

// Lets a caller add packets of its own each second, e.g. a stray middle
// fragment: writer.Fragment(channel, bytes, /*first=*/false, /*last=*/false).
using PacketHook = std::function<void(StreamWriter& writer, std::uint32_t second)>;

struct RecordingPlan {
  std::string deviceName = "VESK";  // at most 79 KOI8-R characters
  std::uint32_t startTime = 0;      // seconds since 1970, UTC
  std::uint32_t durationSeconds = 10;
  std::uint32_t framesPerSecond = 5;  // of each camera
  std::uint32_t keyFrameInterval = 25;
  std::vector<CameraPlan> cameras;
  std::vector<AudioPlan> audio;
  std::vector<TextPlan> texts;
  std::optional<StatusPlan> status = StatusPlan{};
  // The second before whose index position the channel description is written again.
  std::optional<std::uint32_t> repeatDescriptionAt;
  std::uint32_t maxFragment = input::kMaxFragmentPayload;
  bool markKeyFrames = false;
  // Audio channels of different formats, which a player cannot all play right: test files only.
  bool allowMixedAudio = false;
  std::vector<VideoFlag> videoFlags;
  // Called each second right after the status packet.
  PacketHook extraPackets;
};

// Catches what would make a recording the player cannot take: ranges, channel
// numbers that collide or are reserved, texts too long for their fields.
Status CheckPlan(const RecordingPlan& plan);

// Default activity: each channel busy two seconds out of four, staggered by
// channel number so the cameras do not all change together.
std::uint8_t SyntheticActivity(std::uint8_t channel, std::uint32_t second);

}  // namespace vesk::mkrec
