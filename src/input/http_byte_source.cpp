#include "input/http_byte_source.h"

namespace vesk::input {

HRESULT HttpByteSource::Read(void* buffer, std::uint32_t size, std::uint32_t* got) {
  const HRESULT hr = reader_.Read(buffer, size, got);
  position_ += *got;
  if (FAILED(hr)) failure_ = hr;
  return hr;
}

}  // namespace vesk::input
