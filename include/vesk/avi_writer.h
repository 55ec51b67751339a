// Writes pictures as an AVI (RIFF) file with one uncompressed video stream:
// the header lists, one '00db' chunk per frame and an 'idx1' index of key frames.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "vesk/com.h"
#include "vesk/dshow.h"

namespace vesk {

namespace platform {
class OutputFile;
}

// Returned by Write when the frame would take the file past its size limit. The
// file has been finalised and closed with the frames written before.
constexpr HRESULT kAviFileLimitReached = HRESULT_FROM_WIN32(223);  // file too large
constexpr HRESULT kAviDiskFull = HRESULT_FROM_WIN32(112);

class AviWriter {
 public:
  // Plain AVI index offsets are 32-bit and many readers stop trusting them at
  // 1 GiB, so a recording ends a little before that.
  static constexpr std::uint64_t kDefaultSizeLimit = (std::uint64_t{1} << 30) - (std::uint64_t{1} << 20);

  explicit AviWriter(std::uint64_t size_limit = kDefaultSizeLimit);
  virtual ~AviWriter();
  AviWriter(const AviWriter&) = delete;
  AviWriter& operator=(const AviWriter&) = delete;

  // Finalises a file still open, then creates `path` (replacing it) for frames of
  // `format`. The stream is nominally 15 frames per second.
  HRESULT Open(const std::string& path, const BITMAPINFOHEADER& format);
  // Appends one key frame of `size` bytes.
  HRESULT Write(const void* data, std::uint32_t size);
  // Writes the index, patches the header counts and closes. S_FALSE when nothing is open.
  HRESULT Close();

  bool IsOpen() const;
  std::uint32_t FrameCount() const;

 private:
  struct IndexEntry {
    std::uint32_t offset;  // from the 'movi' list type, as readers expect
    std::uint32_t size;
  };

  HRESULT WriteAll(const void* data, std::size_t size);
  HRESULT WriteFrame(const void* data, std::uint32_t size);
  HRESULT WriteAt(std::uint64_t position, std::uint32_t value);
  HRESULT Finalise();

  const std::uint64_t size_limit_;
  // Guards everything below: frames come from the composing thread while the
  // settings thread may stop the recording.
  mutable std::mutex lock_;
  const std::unique_ptr<platform::OutputFile> file_;
  std::uint64_t end_ = 0;  // bytes written so far
  std::uint32_t largest_frame_ = 0;
  std::vector<IndexEntry> index_;
};

}  // namespace vesk
