#include "apps/export/export_sinks.h"

#include <utility>

#include "host/media_type.h"

namespace vesk::exporting {
namespace {

std::optional<PictureSize> ReadPictureSize(const AM_MEDIA_TYPE& type) {
  const std::optional<BITMAPINFOHEADER> header = host::VideoInfoPicture(type);
  if (!header || type.subtype != MEDIASUBTYPE_RGB32) return std::nullopt;
  const BITMAPINFOHEADER& picture = *header;
  // Bottom-up rows of an even size, as 4:2:0 pictures need.
  if (picture.biBitCount != 32 || picture.biCompression != BI_RGB || picture.biWidth <= 0 ||
      picture.biHeight <= 0 || picture.biWidth % 2 != 0 || picture.biHeight % 2 != 0 || picture.biWidth > 16384 ||
      picture.biHeight > 16384)
    return std::nullopt;
  return PictureSize{picture.biWidth, picture.biHeight};
}

std::optional<SoundFormat> ReadSoundFormat(const AM_MEDIA_TYPE& type) {
  const std::optional<WAVEFORMATEX> read = host::PcmWaveFormat(type);
  if (!read) return std::nullopt;
  const WAVEFORMATEX& wave = *read;
  if (wave.wFormatTag != WAVE_FORMAT_PCM || wave.nChannels == 0 || wave.nChannels > 8 ||
      wave.nSamplesPerSec == 0 || wave.nSamplesPerSec > 192000 ||
      (wave.wBitsPerSample != 8 && wave.wBitsPerSample != 16))
    return std::nullopt;
  return SoundFormat{static_cast<int>(wave.nSamplesPerSec), wave.nChannels, wave.wBitsPerSample};
}

bool operator==(const SoundFormat& a, const SoundFormat& b) {
  return a.rate == b.rate && a.channels == b.channels && a.bits == b.bits;
}

constexpr std::int64_t kSecondMs = 1000;

}  // namespace

ComPtr<ExportVideoSink> ExportVideoSink::Create(std::shared_ptr<ExportFile> file, SecondClock clock) {
  ComPtr<ExportVideoSink> sink;
  sink.Attach(new ExportVideoSink(std::move(file), std::move(clock)));
  return sink;
}

HRESULT ExportVideoSink::CheckMediaType(const AM_MEDIA_TYPE& type) {
  return ReadPictureSize(type) ? S_OK : S_FALSE;
}

void ExportVideoSink::OnConnected(const AM_MEDIA_TYPE& type) {
  size_ = ReadPictureSize(type);
  if (size_) file_->SetPictureSize(*size_);
}

HRESULT ExportVideoSink::OnReceive(IMediaSample& sample) {
  if (!size_) return S_OK;
  const std::size_t bytes = std::size_t{4} * static_cast<std::size_t>(size_->width) * size_->height;
  BYTE* data = nullptr;
  if (FAILED(sample.GetPointer(&data)) || static_cast<std::size_t>(sample.GetSize()) < bytes) return S_OK;
  // A clock that goes back keeps the pictures in the second already begun.
  const std::int64_t second = clock_();
  if (second > second_) {
    if (HRESULT flushed = Flush(); FAILED(flushed)) return flushed;
    second_ = second;
  }
  if (heldCount_ == held_.size()) {
    held_.emplace_back();
    heldSizes_.emplace_back();
  }
  held_[heldCount_].assign(data, data + bytes);
  heldSizes_[heldCount_] = *size_;
  ++heldCount_;
  return S_OK;
}

HRESULT ExportVideoSink::Flush() {
  const auto count = static_cast<std::int64_t>(heldCount_);
  HRESULT result = S_OK;
  for (std::int64_t i = 0; i < count && SUCCEEDED(result); ++i) {
    const std::int64_t start = second_ * kSecondMs + i * kSecondMs / count;
    const std::int64_t next = second_ * kSecondMs + (i + 1) * kSecondMs / count;
    const auto at = static_cast<std::size_t>(i);
    result = file_->WritePicture(held_[at].data(), heldSizes_[at], start, next - start);
  }
  heldCount_ = 0;
  return result;
}

void ExportVideoSink::OnEndOfStream() { Flush(); }

void ExportVideoSink::OnStop() { Flush(); }

ComPtr<ExportAudioSink> ExportAudioSink::Create(std::shared_ptr<ExportFile> file, SecondClock clock) {
  ComPtr<ExportAudioSink> sink;
  sink.Attach(new ExportAudioSink(std::move(file), std::move(clock)));
  return sink;
}

HRESULT ExportAudioSink::CheckMediaType(const AM_MEDIA_TYPE& type) {
  return ReadSoundFormat(type) ? S_OK : S_FALSE;
}

void ExportAudioSink::OnConnected(const AM_MEDIA_TYPE& type) {
  connected_ = ReadSoundFormat(type);
  if (connected_ && !written_) {
    written_ = connected_;
    file_->SetSoundFormat(*connected_);
  }
}

HRESULT ExportAudioSink::OnReceive(IMediaSample& sample) {
  if (!connected_ || !(*connected_ == *written_)) return S_OK;
  BYTE* data = nullptr;
  if (FAILED(sample.GetPointer(&data))) return S_OK;
  const LONG length = sample.GetActualDataLength();
  if (length <= 0) return S_OK;
  return file_->WriteSound(data, static_cast<std::size_t>(length), clock_() * kSecondMs);
}

}  // namespace vesk::exporting
