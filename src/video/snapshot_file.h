// The files a user saves from the shown picture: BMP snapshots, and the names of
// snapshots and recordings, which carry the stream clock's time.
#pragma once

#include <cstdint>
#include <string>

#include "vesk/com.h"

namespace vesk::video {

class SnapshotFile {
 public:
  // "_DDMMYY_HHMMSS" in UTC of the stream clock, so names match the recorder's time.
  static std::string TimeStamp(std::uint32_t stream_seconds);
  // prefix + stamp + ".bmp" / ".avi".
  static std::string SnapshotName(const std::string& prefix, std::uint32_t stream_seconds);
  static std::string RecordingName(const std::string& prefix, std::uint32_t stream_seconds);

  // Writes a 32-bit BMP of `width` x `height` pixels, rows bottom-up as the
  // output picture holds them, replacing an existing file. Without a picture
  // nothing is written and the result is E_POINTER.
  static HRESULT Write(const std::string& path, const std::uint8_t* pixels, std::int32_t width,
                       std::int32_t height);
};

}  // namespace vesk::video
