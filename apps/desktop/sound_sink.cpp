#include "apps/desktop/sound_sink.h"

#include <optional>

#include "host/media_type.h"

namespace vesk::desktop {
namespace {

std::optional<PcmFormat> ReadFormat(const AM_MEDIA_TYPE& type) {
  const std::optional<WAVEFORMATEX> read = host::PcmWaveFormat(type);
  if (!read) return std::nullopt;
  const WAVEFORMATEX& wave = *read;
  const PcmFormat format{wave.nChannels, static_cast<int>(wave.nSamplesPerSec), wave.wBitsPerSample};
  // What a sound device takes: 8 or 16 bits, one or two channels.
  if (wave.wFormatTag != WAVE_FORMAT_PCM || format.channels < 1 || format.channels > 2 ||
      format.samplesPerSecond < 1000 || format.samplesPerSecond > 192000 ||
      (format.bitsPerSample != 8 && format.bitsPerSample != 16))
    return std::nullopt;
  return format;
}

}  // namespace

ComPtr<SoundSink> SoundSink::Create(PcmBuffer& buffer, std::function<void(PcmFormat)> formatChanged) {
  ComPtr<SoundSink> sink;
  sink.Attach(new SoundSink(buffer, std::move(formatChanged)));
  return sink;
}

SoundSink::SoundSink(PcmBuffer& buffer, std::function<void(PcmFormat)> formatChanged)
    : buffer_(buffer), formatChanged_(std::move(formatChanged)) {
  // Outside the stream lock, so that a flush or Stop ends the wait.
  SetSampleListener([this] { buffer_.WaitForRoom(); });
  SetHold(Hold::kWhilePaused);
}

HRESULT SoundSink::Pause() {
  buffer_.Resume();
  return SinkFilter::Pause();
}

HRESULT SoundSink::CheckMediaType(const AM_MEDIA_TYPE& type) { return ReadFormat(type) ? S_OK : S_FALSE; }

void SoundSink::OnConnected(const AM_MEDIA_TYPE& type) {
  const auto format = ReadFormat(type);
  if (!format) return;
  buffer_.SetLimit(static_cast<std::size_t>(format->BytesPerSecond()) * kBufferedMilliseconds / 1000);
  formatChanged_(*format);
}

HRESULT SoundSink::OnReceive(IMediaSample& sample) {
  BYTE* pcm = nullptr;
  const LONG length = sample.GetActualDataLength();
  if (SUCCEEDED(sample.GetPointer(&pcm)) && pcm != nullptr && length > 0)
    buffer_.Append(pcm, static_cast<std::size_t>(length));
  return S_OK;
}

void SoundSink::OnBeginFlush() { buffer_.Interrupt(); }
void SoundSink::OnEndFlush() { buffer_.Resume(); }
void SoundSink::OnStop() { buffer_.Interrupt(); }

}  // namespace vesk::desktop
