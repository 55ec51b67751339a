// Where the recorder's bytes come from: a local file or an HTTP response.
#pragma once

#include <cstdint>

#include "vesk/com.h"

namespace vesk::input {

class ByteSource {
 public:
  virtual ~ByteSource() = default;

  // Reads `size` bytes, or fewer only where the data ends; *got = 0 means the
  // data has ended. E_FAIL when the read itself failed.
  virtual HRESULT Read(void* buffer, std::uint32_t size, std::uint32_t* got) = 0;

  // Moves `size` bytes forward without reading them. Only local files can.
  virtual HRESULT Skip(std::uint32_t size) = 0;

  // True for a live network source; its reads are traced differently.
  virtual bool IsInternet() const = 0;

  // Bytes consumed from the start of the source, skipped ones included.
  virtual std::uint64_t Position() const = 0;
};

}  // namespace vesk::input
