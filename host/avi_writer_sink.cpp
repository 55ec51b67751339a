#include "host/avi_writer_sink.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <system_error>
#include <utility>

#include "host/media_type.h"

namespace vesk::host {

std::uint64_t AviWriterSink::PictureFormat::Bytes() const {
  const std::uint64_t row = (std::uint64_t{static_cast<std::uint32_t>(width)} * bits_per_pixel + 31) / 32 * 4;
  return row * static_cast<std::uint32_t>(std::abs(height));
}

ComPtr<AviWriterSink> AviWriterSink::Create(std::filesystem::path path, std::uint64_t size_limit) {
  ComPtr<AviWriterSink> sink;
  sink.Attach(new AviWriterSink(std::move(path), size_limit));
  return sink;
}

AviWriterSink::AviWriterSink(std::filesystem::path path, std::uint64_t size_limit)
    : path_(std::move(path)), staging_(path_.string() + ".partial"), writer_(size_limit) {}

// No reference is left, so no streaming call can run: the hooks' state is ours.
AviWriterSink::~AviWriterSink() { Finish(); }

std::optional<AviWriterSink::PictureFormat> AviWriterSink::ReadFormat(const AM_MEDIA_TYPE& type) {
  const std::optional<BITMAPINFOHEADER> header = VideoInfoPicture(type);
  if (!header) return std::nullopt;
  const BITMAPINFOHEADER& picture = *header;
  const WORD bits = type.subtype == MEDIASUBTYPE_RGB32 ? 32 : type.subtype == MEDIASUBTYPE_RGB24 ? 24 : 0;
  if (bits == 0 || picture.biBitCount != bits || picture.biCompression != BI_RGB || picture.biWidth <= 0 ||
      picture.biHeight == 0 || picture.biHeight == std::numeric_limits<LONG>::min()) {
    return std::nullopt;
  }
  const PictureFormat format{picture.biWidth, picture.biHeight, bits};
  // A picture must fit one sample and one frame chunk.
  if (format.Bytes() > std::uint64_t{std::numeric_limits<LONG>::max()}) return std::nullopt;
  return format;
}

HRESULT AviWriterSink::CheckMediaType(const AM_MEDIA_TYPE& type) { return ReadFormat(type) ? S_OK : S_FALSE; }

void AviWriterSink::OnConnected(const AM_MEDIA_TYPE& type) { connected_ = ReadFormat(type); }

HRESULT AviWriterSink::OnReceive(IMediaSample& sample) {
  if (finished_ || !connected_ || (written_ && written_ != connected_)) {
    Drop();
    return S_OK;
  }
  const auto bytes = static_cast<LONG>(connected_->Bytes());
  // The module's video pin leaves the length unset: its picture fills the
  // start of the buffer. A length that is set must be one picture.
  const LONG length = sample.GetActualDataLength();
  if ((length != 0 && length != bytes) || sample.GetSize() < bytes) {
    Drop();
    return S_OK;
  }
  if (!written_) {
    if (HRESULT opened = Open(); FAILED(opened)) {
      // Not tried again for every picture: the pictures of this run are dropped.
      finished_ = true;
      Drop();
      return opened;
    }
  }
  BYTE* data = nullptr;
  if (HRESULT got = sample.GetPointer(&data); FAILED(got)) return got;
  if (written_->bits_per_pixel == 32) {
    // The sample stays as the module left it: its buffer is the module's picture.
    opaque_.assign(data, data + bytes);
    for (std::size_t alpha = 3; alpha < opaque_.size(); alpha += 4) opaque_[alpha] = 0xFF;
    data = opaque_.data();
  }
  const HRESULT result = writer_.Write(data, static_cast<std::uint32_t>(bytes));
  if (result == kAviFileLimitReached) {
    // The writer has finished the file with the pictures before this one.
    limit_reached_.store(true, std::memory_order_relaxed);
    Drop();
    Finish();
    return S_OK;
  }
  if (FAILED(result)) {
    Finish(result);
    return result;
  }
  pictures_.fetch_add(1, std::memory_order_relaxed);
  return S_OK;
}

void AviWriterSink::OnEndOfStream() { Finish(); }

void AviWriterSink::OnStop() {
  Finish();
  finished_ = false;
}

HRESULT AviWriterSink::Fail(HRESULT error) {
  HRESULT none = S_OK;
  status_.compare_exchange_strong(none, error, std::memory_order_relaxed);
  return error;
}

HRESULT AviWriterSink::Open() {
  const PictureFormat& format = *connected_;
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = format.width;
  header.biHeight = format.height;
  header.biPlanes = 1;
  header.biBitCount = format.bits_per_pixel;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(format.Bytes());
  if (HRESULT opened = writer_.Open(staging_.string(), header); FAILED(opened)) return Fail(opened);
  written_ = format;
  width_.store(format.width, std::memory_order_relaxed);
  height_.store(format.height, std::memory_order_relaxed);
  pictures_.store(0, std::memory_order_relaxed);
  limit_reached_.store(false, std::memory_order_relaxed);
  return S_OK;
}

void AviWriterSink::Finish(HRESULT error) {
  if (written_) {
    // S_FALSE when the writer closed the file itself, at the limit or after a failed write.
    const HRESULT closed = writer_.Close();
    if (SUCCEEDED(error)) error = closed;
    std::error_code renamed;
    if (SUCCEEDED(error)) std::filesystem::rename(staging_, path_, renamed);
    if (renamed) error = E_FAIL;
    if (FAILED(error)) {
      Fail(error);
      std::error_code ignored;
      std::filesystem::remove(staging_, ignored);
    }
    written_.reset();
  }
  finished_ = true;
}

}  // namespace vesk::host
