// The "Audio" output pin: each audio packet of the played channel becomes one
// PCM sample holding the packet's bytes, or silence when muted or when the
// channel carries no sound.
#pragma once

#include <atomic>
#include <mutex>

#include "audio/audio_channel_format.h"
#include "filter/audio_output.h"

namespace vesk::audio {

class AudioPin final : public filter::AudioOutput {
 public:
  AudioPin(filter::PinOwner& owner, platform::CriticalSection& pinLock);

  HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  void SetChannelDescription(const input::ChannelRecord& record) override;

  void SetMute(std::int32_t mute) override { mute_.store(mute, std::memory_order_relaxed); }
  std::int32_t GetMute() const override { return mute_.load(std::memory_order_relaxed); }
  void DescribeForReport(input::PinReport& report) override;
  AudioChannelFormat Format() const;

 protected:
  HRESULT FillBuffer(IMediaSample* sample, input::Packet& packet) override;

 private:
  mutable std::mutex formatLock_;  // guards format_: set by the producer, read by the host
  AudioChannelFormat format_;
  std::atomic<std::int32_t> mute_{0};
};

}  // namespace vesk::audio
