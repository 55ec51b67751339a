// SoundSink: the host sink that plays "Audio". Each sample's PCM is appended
// to a bounded PcmBuffer that the sound output drains at the device's pace;
// once the buffer is over its bound the streaming thread waits, so the
// sound paces the whole stream.
#pragma once

#include <atomic>
#include <functional>

#include "apps/desktop/pcm_buffer.h"
#include "host/sink_filter.h"

namespace vesk::desktop {

struct PcmFormat {
  int channels = 0;
  int samplesPerSecond = 0;
  int bitsPerSample = 0;
  int BytesPerSecond() const { return channels * samplesPerSecond * bitsPerSample / 8; }
  bool operator==(const PcmFormat&) const = default;
};

class SoundSink final : public host::SinkFilter {
 public:
  // The sound kept before the stream waits: a pause, a seek or a mute is heard at once.
  static constexpr int kBufferedMilliseconds = 100;

  // `formatChanged` runs on the streaming thread with each connection's
  // format: the output opens its device for it.
  static ComPtr<SoundSink> Create(PcmBuffer& buffer, std::function<void(PcmFormat)> formatChanged);

  // IMediaFilter: a start after Stop may wait again.
  STDMETHOD(Pause)() override;

 private:
  SoundSink(PcmBuffer& buffer, std::function<void(PcmFormat)> formatChanged);
  ~SoundSink() override = default;

  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
  void OnConnected(const AM_MEDIA_TYPE& type) override;
  HRESULT OnReceive(IMediaSample& sample) override;
  void OnBeginFlush() override;
  void OnEndFlush() override;
  void OnStop() override;

  PcmBuffer& buffer_;  // not owned: the window's, which outlives the graph
  const std::function<void(PcmFormat)> formatChanged_;
};

}  // namespace vesk::desktop
