// A byte source over bytes in memory, for reader tests: it can fail a read at
// a chosen offset and pretend to be a network source.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "input/byte_source.h"

namespace vesk::test {

class MemorySource final : public input::ByteSource {
 public:
  explicit MemorySource(std::vector<std::uint8_t> bytes, bool internet = false)
      : bytes_(std::move(bytes)), internet_(internet) {}

  // Any read that would touch this offset fails.
  void FailReadsAt(std::uint64_t offset) { failAt_ = offset; }

  HRESULT Read(void* buffer, std::uint32_t size, std::uint32_t* got) override {
    *got = 0;
    if (failAt_ >= position_ && failAt_ < position_ + size) return E_FAIL;
    if (position_ >= bytes_.size()) return S_OK;
    *got = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, bytes_.size() - position_));
    std::memcpy(buffer, bytes_.data() + position_, *got);
    position_ += *got;
    return S_OK;
  }
  HRESULT Skip(std::uint32_t size) override {
    if (internet_) return E_FAIL;
    position_ += size;
    return S_OK;
  }
  bool IsInternet() const override { return internet_; }
  std::uint64_t Position() const override { return position_; }

 private:
  std::vector<std::uint8_t> bytes_;
  bool internet_;
  std::uint64_t position_ = 0;
  std::uint64_t failAt_ = ~0ull;
};

}  // namespace vesk::test
