#include "host/raw_video_writer_sink.h"

#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

namespace vesk::host {
namespace {

std::optional<BITMAPINFOHEADER> ReadPictureFormat(const AM_MEDIA_TYPE& type) {
  if (type.majortype != MEDIATYPE_Video || type.subtype != MEDIASUBTYPE_RGB32 ||
      type.formattype != FORMAT_VideoInfo || type.pbFormat == nullptr ||
      type.cbFormat < sizeof(VIDEOINFOHEADER)) {
    return std::nullopt;
  }
  VIDEOINFOHEADER info;
  std::memcpy(&info, type.pbFormat, sizeof(info));
  const BITMAPINFOHEADER& picture = info.bmiHeader;
  if (picture.biWidth <= 0 || picture.biHeight == 0 || picture.biBitCount != 32) return std::nullopt;
  return picture;
}

}  // namespace

ComPtr<RawVideoWriterSink> RawVideoWriterSink::Create(std::filesystem::path path) {
  ComPtr<RawVideoWriterSink> sink;
  sink.Attach(new RawVideoWriterSink(std::move(path)));
  return sink;
}

RawVideoWriterSink::RawVideoWriterSink(std::filesystem::path path) : path_(std::move(path)) {}

// No reference is left, so no streaming call can run: the hooks' state is ours.
RawVideoWriterSink::~RawVideoWriterSink() { Finish(); }

HRESULT RawVideoWriterSink::CheckMediaType(const AM_MEDIA_TYPE& type) {
  return ReadPictureFormat(type) ? S_OK : S_FALSE;
}

void RawVideoWriterSink::OnConnected(const AM_MEDIA_TYPE& type) {
  std::optional<BITMAPINFOHEADER> picture = ReadPictureFormat(type);
  connected_width_ = picture ? picture->biWidth : 0;
  connected_height_ = picture ? picture->biHeight : 0;
}

HRESULT RawVideoWriterSink::OnReceive(IMediaSample& sample) {
  if (!file_ && !finished_) {
    std::unique_ptr<StagedFile> file;
    if (HRESULT created = StagedFile::Create(path_, &file); FAILED(created)) return Fail(created);
    file_ = std::move(file);
    width_.store(connected_width_, std::memory_order_relaxed);
    height_.store(connected_height_, std::memory_order_relaxed);
    pictures_.store(0, std::memory_order_relaxed);
  }
  const LONG width = Width();
  const LONG height = Height();
  const std::int64_t picture_bytes = std::int64_t{width} * std::abs(height) * 4;
  if (finished_ || width != connected_width_ || height != connected_height_ ||
      sample.GetActualDataLength() != picture_bytes) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return S_OK;
  }
  BYTE* data = nullptr;
  if (HRESULT got = sample.GetPointer(&data); FAILED(got)) return got;
  if (HRESULT appended = file_->Append(data, static_cast<std::size_t>(picture_bytes)); FAILED(appended)) {
    return Fail(appended);
  }
  pictures_.fetch_add(1, std::memory_order_relaxed);
  return S_OK;
}

void RawVideoWriterSink::OnEndOfStream() { Finish(); }

void RawVideoWriterSink::OnStop() {
  Finish();
  finished_ = false;
}

HRESULT RawVideoWriterSink::Fail(HRESULT error) {
  HRESULT none = S_OK;
  status_.compare_exchange_strong(none, error, std::memory_order_relaxed);
  return error;
}

void RawVideoWriterSink::Finish() {
  if (file_) {
    if (HRESULT committed = file_->Commit(); FAILED(committed)) Fail(committed);
    file_.reset();
  }
  finished_ = true;
}

}  // namespace vesk::host
