// Writes pictures as an AVI (RIFF) file with one uncompressed video stream, in
// the OpenDML layout that holds more than 1 GiB: the first RIFF 'AVI ' has the
// header lists, its frames and an 'idx1' index of them for older readers; every
// further gigabyte of frames is a RIFF 'AVIX' of its own. Each RIFF's 'movi'
// list ends with a standard index ('ix00') of its frames, the stream's super
// index ('indx') lists those, and the extended header ('dmlh') counts every frame.
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
  // Each RIFF stays below 1 GiB, where many readers stop trusting 32-bit offsets.
  static constexpr std::uint64_t kSegmentSize = std::uint64_t{1} << 30;
  // The super index has room for this many RIFFs.
  static constexpr std::uint32_t kMaxSegments = 256;
  static constexpr std::uint64_t kDefaultSizeLimit = kMaxSegments * kSegmentSize;

  // A file never grows past `size_limit` bytes; each RIFF past `segment_size`.
  explicit AviWriter(std::uint64_t size_limit = kDefaultSizeLimit, std::uint64_t segment_size = kSegmentSize);
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
    std::uint32_t offset;  // of the chunk's data, from its RIFF's start
    std::uint32_t size;
  };
  struct SegmentEntry {
    std::uint64_t index_offset;  // of its 'ix00' chunk, from the file's start
    std::uint32_t index_size;    // of that chunk, header included
    std::uint32_t frames;
  };

  HRESULT WriteAll(const void* data, std::size_t size);
  HRESULT WriteFrame(const void* data, std::uint32_t size);
  HRESULT WriteAt(std::uint64_t position, const void* data, std::size_t size);
  HRESULT WriteAt(std::uint64_t position, std::uint32_t value);
  // Bytes the current RIFF's indexes take once it ends, with `frames` in it.
  std::uint64_t IndexBytes(std::size_t frames) const;
  // Ends the current RIFF: its standard index, for the first one also 'idx1',
  // and its sizes. An index that cannot be written is cut off again.
  HRESULT EndSegment();
  HRESULT BeginExtraSegment();
  HRESULT Finalise();

  const std::uint64_t size_limit_;
  const std::uint64_t segment_size_;
  // Guards everything below: frames come from the composing thread while the
  // settings thread may stop the recording.
  mutable std::mutex lock_;
  const std::unique_ptr<platform::OutputFile> file_;
  std::uint64_t end_ = 0;  // bytes written so far
  std::uint32_t largest_frame_ = 0;
  std::uint64_t segment_start_ = 0;  // where the current RIFF begins
  std::vector<IndexEntry> index_;    // the current RIFF's frames
  std::vector<SegmentEntry> segments_;
  std::uint32_t frames_ = 0;        // in the whole file
  std::uint32_t first_frames_ = 0;  // in the first RIFF, once it has ended
  bool first_indexed_ = false;      // the first RIFF's 'idx1' was written
  bool segment_open_ = false;       // the current RIFF has not ended yet
};

}  // namespace vesk
