#include "input/file_source.h"

namespace vesk::input {

HRESULT FileSource::Open(const std::string& path) {
  position_ = 0;
  return file_.Open(path);
}

HRESULT FileSource::Read(void* buffer, std::uint32_t size, std::uint32_t* got) {
  HRESULT hr = file_.Read(buffer, size, got);
  position_ += *got;
  return hr;
}

HRESULT FileSource::Skip(std::uint32_t size) {
  HRESULT hr = file_.SeekRelative(size);
  if (SUCCEEDED(hr)) position_ += size;
  return hr;
}

HRESULT FileSource::SeekTo(std::uint64_t offset) {
  HRESULT hr = file_.SeekAbsolute(offset);
  if (SUCCEEDED(hr)) position_ = offset;
  return hr;
}

}  // namespace vesk::input
