#include "mkrec/audio_feed.h"

#include <algorithm>

#include "platform/little_endian.h"
#include "mkrec/wav_reader.h"

namespace vesk::mkrec {

Status AudioFeed::Open(const AudioPlan& plan, double toneFrequency) {
  nosnd_ = plan.nosnd;
  tone_.reset();
  wav_.clear();
  wavOffset_ = 0;
  if (plan.wavPath.empty()) {
    format_ = plan.format;
    tone_.emplace(toneFrequency, format_);
    return Status::Ok();
  }
  WavReader reader;
  if (Status s = reader.Read(plan.wavPath); !s.ok()) return s;
  if (reader.samples().empty()) return Status::Error(plan.wavPath + ": no samples");
  format_ = reader.format();
  wav_ = reader.samples();
  return Status::Ok();
}

std::vector<std::uint8_t> AudioFeed::NextPacket(std::size_t frames) {
  const std::size_t size = frames * format_.frameBytes();
  if (nosnd_) {
    // The size limit is the composer's to check; here it must already fit.
    std::vector<std::uint8_t> payload(2);
    platform::StoreLe16(payload.data(), static_cast<std::uint16_t>(size));
    return payload;
  }
  return tone_ ? tone_->Next(frames) : NextWavBytes(size);
}

std::vector<std::uint8_t> AudioFeed::NextWavBytes(std::size_t size) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(size);
  while (bytes.size() < size) {
    const std::size_t take = std::min(size - bytes.size(), wav_.size() - wavOffset_);
    bytes.insert(bytes.end(), wav_.begin() + wavOffset_, wav_.begin() + wavOffset_ + take);
    wavOffset_ = (wavOffset_ + take) % wav_.size();
  }
  return bytes;
}

}  // namespace vesk::mkrec
