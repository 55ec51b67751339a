#include "input/file_source.h"

#include <algorithm>
#include <cstring>

namespace vesk::input {

HRESULT FileSource::Open(const std::string& path) {
  position_ = 0;
  DropBuffer();
  skippedPast_ = false;
  return file_.Open(path);
}

HRESULT FileSource::Read(void* buffer, std::uint32_t size, std::uint32_t* got) {
  *got = 0;
  if (!file_.IsOpen()) return E_UNEXPECTED;
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  while (*got < size) {
    if (taken_ == buffered_) {
      const std::uint32_t wanted = size - *got;
      if (wanted >= kBufferSize) {
        std::uint32_t direct = 0;
        const HRESULT hr = file_.Read(bytes + *got, wanted, &direct);
        *got += direct;
        position_ += direct;
        return hr;
      }
      if (const HRESULT hr = Refill(); FAILED(hr)) return hr;
      if (buffered_ == 0) break;
    }
    const std::uint32_t count = std::min(size - *got, buffered_ - taken_);
    std::memcpy(bytes + *got, buffer_.data() + taken_, count);
    taken_ += count;
    *got += count;
    position_ += count;
  }
  return S_OK;
}

HRESULT FileSource::Refill() {
  DropBuffer();
  const std::uint32_t size = skippedPast_ ? kReadAheadAfterSkip : kBufferSize;
  skippedPast_ = false;
  // Bytes read before a failure stay buffered for the next attempt.
  return file_.Read(buffer_.data(), size, &buffered_);
}

HRESULT FileSource::Skip(std::uint32_t size) {
  if (!file_.IsOpen()) return E_UNEXPECTED;
  const std::uint32_t ahead = buffered_ - taken_;
  if (size <= ahead) {
    taken_ += size;
  } else {
    if (const HRESULT hr = file_.SeekRelative(size - ahead); FAILED(hr)) return hr;
    DropBuffer();
    skippedPast_ = true;
  }
  position_ += size;
  return S_OK;
}

HRESULT FileSource::SeekTo(std::uint64_t offset) {
  const HRESULT hr = file_.SeekAbsolute(offset);
  if (SUCCEEDED(hr)) {
    position_ = offset;
    DropBuffer();
  }
  return hr;
}

}  // namespace vesk::input
