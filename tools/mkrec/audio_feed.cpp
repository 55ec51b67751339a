#include "mkrec/audio_feed.h"

#include <algorithm>

#include "platform/little_endian.h"

namespace vesk::mkrec {

Status AudioFeed::Open(const AudioPlan& plan, double toneFrequency) {
  nosnd_ = plan.nosnd;
  tone_.reset();
  wav_.reset();
  if (plan.wavPath.empty()) {
    format_ = plan.format;
    tone_.emplace(toneFrequency, format_);
    return Status::Ok();
  }
  auto reader = std::make_unique<WavReader>();
  if (Status s = reader->Open(plan.wavPath); !s.ok()) return s;
  if (reader->sampleBytes() == 0) return Status::Error(plan.wavPath + ": no samples");
  format_ = reader->format();
  wav_ = std::move(reader);
  return Status::Ok();
}

Status AudioFeed::NextPacket(std::size_t frames, std::vector<std::uint8_t>& payload) {
  const std::size_t size = frames * format_.frameBytes();
  if (nosnd_) {
    // The size limit is the composer's to check; here it must already fit.
    payload.resize(2);
    platform::StoreLe16(payload.data(), static_cast<std::uint16_t>(size));
    return Status::Ok();
  }
  if (tone_) {
    payload = tone_->Next(frames);
    return Status::Ok();
  }
  return NextWavBytes(size, payload);
}

Status AudioFeed::NextWavBytes(std::size_t size, std::vector<std::uint8_t>& bytes) {
  bytes.resize(size);
  std::size_t filled = 0;
  while (filled < size) {
    std::size_t read = 0;
    if (Status s = wav_->Read(bytes.data() + filled, size - filled, read); !s.ok()) return s;
    filled += read;
    if (filled < size) {
      if (Status s = wav_->Rewind(); !s.ok()) return s;
    }
  }
  return Status::Ok();
}

}  // namespace vesk::mkrec
