// Turns a RecordingPlan into the recorder's stream: the channel description,
// then second by second an index position, the status packet, the texts due
// and the cameras' pictures interleaved with audio, one round per frame tick.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "mkrec/audio_feed.h"
#include "mkrec/camera_feed.h"
#include "mkrec/recording_plan.h"
#include "mkrec/stream_writer.h"

namespace vesk::mkrec {

struct CompositionSummary {
  std::uint64_t bytes = 0;
  std::uint64_t packets = 0;  // descriptions, index positions and fragments
  std::uint32_t videoFrames = 0;
  std::uint32_t audioPackets = 0;
  std::uint32_t textLines = 0;
};

class RecordingComposer {
 public:
  explicit RecordingComposer(RecordingPlan plan);
  ~RecordingComposer();

  // Checks the plan, opens its sources and writes the whole recording. On an
  // error part of the stream may already be written.
  Status Write(StreamWriter& writer);

  const CompositionSummary& summary() const { return summary_; }

  // Called after each second written, with the seconds done and in all.
  using Progress = std::function<void(std::uint32_t done, std::uint32_t total)>;
  void SetProgress(Progress progress) { progress_ = std::move(progress); }

 private:
  Status OpenFeeds();
  Status CheckAudioFormatsAgree() const;
  Status BuildDescription();
  void WriteStatus(std::uint32_t second, StreamWriter& writer);
  void WriteTexts(std::uint32_t second, StreamWriter& writer);
  Status WriteTick(std::uint32_t second, std::uint32_t tick, StreamWriter& writer);
  std::uint8_t VideoFlagByte(std::uint8_t slot, std::uint32_t frame, bool keyFrame) const;

  RecordingPlan plan_;
  std::vector<std::unique_ptr<CameraFeed>> cameras_;  // in plan order
  std::vector<std::unique_ptr<AudioFeed>> audio_;     // in plan order
  std::vector<std::uint8_t> description_;
  CompositionSummary summary_;
  Progress progress_;
};

}  // namespace vesk::mkrec
