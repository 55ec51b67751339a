#include "video/snapshot_file.h"

#include <cstdio>
#include <memory>

#include "platform/little_endian.h"
#include "input/stream_time.h"

namespace vesk::video {
namespace {

using platform::StoreLe16;
using platform::StoreLe32;

constexpr std::uint32_t kHeadersSize = 54;  // file header 14, information header 40
constexpr std::uint32_t kInfoHeaderSize = 40;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

std::string SnapshotFile::TimeStamp(std::uint32_t stream_seconds) {
  // "dd/mm/yy hh:mm:ss" becomes "_ddmmyy_hhmmss".
  std::string stamp = "_";
  for (char c : input::FormatStreamTime(stream_seconds)) {
    if (c == ' ') stamp += '_';
    else if (c != '/' && c != ':') stamp += c;
  }
  return stamp;
}

std::string SnapshotFile::SnapshotName(const std::string& prefix, std::uint32_t stream_seconds) {
  return prefix + TimeStamp(stream_seconds) + ".bmp";
}

std::string SnapshotFile::RecordingName(const std::string& prefix, std::uint32_t stream_seconds) {
  return prefix + TimeStamp(stream_seconds) + ".avi";
}

HRESULT SnapshotFile::Write(const std::string& path, const std::uint8_t* pixels, std::int32_t width,
                            std::int32_t height) {
  if (pixels == nullptr) return E_POINTER;
  if (width <= 0 || height <= 0) return E_INVALIDARG;
  const std::uint64_t pixel_bytes = std::uint64_t{4} * static_cast<std::uint32_t>(width) *
                                    static_cast<std::uint32_t>(height);
  if (pixel_bytes > 0xFFFFFFFFu - kHeadersSize) return E_INVALIDARG;

  std::uint8_t h[kHeadersSize] = {};
  h[0] = 'B';
  h[1] = 'M';
  StoreLe32(h + 2, static_cast<std::uint32_t>(pixel_bytes) + kHeadersSize);
  StoreLe32(h + 10, kHeadersSize);
  StoreLe32(h + 14, kInfoHeaderSize);
  StoreLe32(h + 18, static_cast<std::uint32_t>(width));
  StoreLe32(h + 22, static_cast<std::uint32_t>(height));  // positive: bottom-up rows
  StoreLe16(h + 26, 1);
  StoreLe16(h + 28, 32);

  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) return E_FAIL;
  if (std::fwrite(h, 1, sizeof h, file.get()) != sizeof h ||
      std::fwrite(pixels, 1, pixel_bytes, file.get()) != pixel_bytes) {
    return E_FAIL;
  }
  return std::fclose(file.release()) == 0 ? S_OK : E_FAIL;
}

}  // namespace vesk::video
