#include "apps/desktop/picture_sink.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "host/media_type.h"

namespace vesk::desktop {
namespace {

std::optional<BITMAPINFOHEADER> PictureFormat(const AM_MEDIA_TYPE& type) {
  const std::optional<BITMAPINFOHEADER> header = host::VideoInfoPicture(type);
  if (!header || type.subtype != MEDIASUBTYPE_RGB32) return std::nullopt;
  const BITMAPINFOHEADER& picture = *header;
  if (picture.biBitCount != 32 || picture.biWidth <= 0 || picture.biWidth > 16384 || picture.biHeight == 0 ||
      std::abs(picture.biHeight) > 16384)
    return std::nullopt;
  return picture;
}

}  // namespace

ComPtr<PictureSink> PictureSink::Create(FrameExchange& frames, StreamSecond clock,
                                        double nominalPicturesPerSecond) {
  ComPtr<PictureSink> sink;
  sink.Attach(new PictureSink(frames, std::move(clock), nominalPicturesPerSecond));
  return sink;
}

PictureSink::PictureSink(FrameExchange& frames, StreamSecond clock, double nominalPicturesPerSecond)
    : frames_(frames), clock_(std::move(clock)), pacer_(nominalPicturesPerSecond) {
  SetSampleListener([this] { ShowWhenDue(); });
  // A paused window keeps its picture and stops the stream behind it.
  SetHold(Hold::kWhilePaused);
}

HRESULT PictureSink::Pause() {
  Interrupt(false);
  return SinkFilter::Pause();
}

HRESULT PictureSink::CheckMediaType(const AM_MEDIA_TYPE& type) { return PictureFormat(type) ? S_OK : S_FALSE; }

void PictureSink::OnConnected(const AM_MEDIA_TYPE& type) {
  const auto picture = PictureFormat(type);
  width_ = picture ? picture->biWidth : 0;
  height_ = picture ? std::abs(picture->biHeight) : 0;
}

HRESULT PictureSink::OnReceive(IMediaSample& sample) {
  BYTE* pixels = nullptr;
  const std::size_t size = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4;
  if (size == 0 || FAILED(sample.GetPointer(&pixels)) || pixels == nullptr ||
      sample.GetActualDataLength() < 0 || static_cast<std::size_t>(sample.GetActualDataLength()) < size) {
    filled_ = false;
    return S_OK;  // a picture without its bytes is not shown; the stream goes on
  }
  Frame& back = frames_.Back(width_, height_);
  std::memcpy(back.pixels.data(), pixels, size);
  filled_ = true;
  return S_OK;
}

void PictureSink::ShowWhenDue() {
  if (!filled_) return;
  filled_ = false;
  if (restart_.exchange(false)) pacer_.Restart();
  if (const auto second = clock_()) {
    const auto due = pacer_.Due(*second, FramePacer::Clock::now());
    std::unique_lock lock(wait_mutex_);
    if (wake_.wait_until(lock, due, [this] { return interrupted_; })) return;
  }
  frames_.Publish();
}

void PictureSink::Interrupt(bool interrupted) {
  {
    std::lock_guard lock(wait_mutex_);
    interrupted_ = interrupted;
  }
  wake_.notify_all();
}

void PictureSink::OnBeginFlush() {
  Interrupt(true);
  restart_ = true;
}

void PictureSink::OnEndFlush() { Interrupt(false); }

void PictureSink::OnStop() {
  Interrupt(true);
  restart_ = true;
}

}  // namespace vesk::desktop
