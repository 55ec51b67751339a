// A recording read from a local file, through a read-ahead buffer: the
// reader asks for each packet's header and payload separately, and most
// of them then come out of one system call.
#pragma once

#include <array>
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
  // Payloads of at least this size go straight to the caller.
  static constexpr std::uint32_t kBufferSize = 64 * 1024;
  // Read ahead after a skip past the buffer: a reader that skips payloads
  // (the index scan) wants the next header, not the payload after it.
  static constexpr std::uint32_t kReadAheadAfterSkip = 4 * 1024;

  // Refills the buffer from the file; an empty buffer after S_OK means the
  // data has ended for now (a file still being written may grow).
  HRESULT Refill();
  void DropBuffer() { taken_ = buffered_ = 0; }

  platform::FileHandle file_;
  std::uint64_t position_ = 0;  // kept here so reads need no extra system call
  // The file stands at the end of the buffered bytes.
  std::array<std::uint8_t, kBufferSize> buffer_;
  std::uint32_t buffered_ = 0;
  std::uint32_t taken_ = 0;  // of the buffered bytes, those already read
  bool skippedPast_ = false;
};

}  // namespace vesk::input
