// The body of an HTTP response as a byte source: read straight through, never
// skipped.
#pragma once

#include "input/byte_source.h"
#include "platform/http_reader.h"

namespace vesk::input {

class HttpByteSource final : public ByteSource {
 public:
  // The reader must be open and outlive the source.
  explicit HttpByteSource(platform::HttpReader& reader) : reader_(reader) {}

  HRESULT Read(void* buffer, std::uint32_t size, std::uint32_t* got) override;
  HRESULT Skip(std::uint32_t) override { return E_FAIL; }
  bool IsInternet() const override { return true; }
  std::uint64_t Position() const override { return position_; }
  // What the last failed read gave: why the connection broke; S_OK before any.
  HRESULT Failure() const { return failure_; }

 private:
  platform::HttpReader& reader_;
  std::uint64_t position_ = 0;
  HRESULT failure_ = S_OK;
};

}  // namespace vesk::input
