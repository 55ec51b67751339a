// A recording read from a local file.
#pragma once

#include <string>

#include "input/byte_source.h"
#include "platform/file_handle.h"

namespace vesk::input {

class FileSource final : public ByteSource {
 public:
  HRESULT Open(const std::string& path);
  bool IsOpen() const { return file_.IsOpen(); }

  HRESULT Read(void* buffer, std::uint32_t size, std::uint32_t* got) override;
  HRESULT Skip(std::uint32_t size) override;
  bool IsInternet() const override { return false; }
  std::uint64_t Position() const override { return position_; }

  // Repositions the source at an absolute byte offset (navigation by the index).
  HRESULT SeekTo(std::uint64_t offset);

 private:
  platform::FileHandle file_;
  std::uint64_t position_ = 0;  // kept here so reads need no extra system call
};

}  // namespace vesk::input
