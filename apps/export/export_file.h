// ExportFile: an MP4 or Matroska file of compressed pictures and sound, made
// through FFmpeg's libraries: H.264 (libx264) where libavcodec has it, MPEG-4
// Part 2 otherwise, and AAC. It is written under a temporary name and renamed
// into place by Finish; a file never finished is removed.
//
// Times are milliseconds from the export's start. Pictures come as the
// module's: 32-bit B, G, R, X pixels, rows bottom-up.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "vesk/com.h"

namespace vesk::exporting {

struct PictureSize {
  int width = 0;
  int height = 0;
};

struct SoundFormat {
  int rate = 0;
  int channels = 0;
  int bits = 0;  // 8 (unsigned) or 16 (signed)
};

class ExportFile {
 public:
  // Checks that `path` names an .mp4 or .mkv file; the streams come later.
  static std::unique_ptr<ExportFile> Create(const std::string& path, std::string* error);
  ~ExportFile();
  ExportFile(const ExportFile&) = delete;
  ExportFile& operator=(const ExportFile&) = delete;

  // The streams the file will hold, told before the first write; a stream
  // not told is left out.
  void SetPictureSize(PictureSize size);
  void SetSoundFormat(SoundFormat format);

  // The file opens at the first write. A picture of another size than the
  // first is scaled to it.
  HRESULT WritePicture(const std::uint8_t* pixels, PictureSize size, std::int64_t startMs, std::int64_t durationMs);
  // PCM of the told format; `earliestMs` is where it starts at the earliest:
  // the sound before it is filled with silence, as where a recorder lost some.
  HRESULT WriteSound(const std::uint8_t* pcm, std::size_t bytes, std::int64_t earliestMs);
  // Drains the encoders, completes the file and renames it into place. A file
  // that nothing was written to is not made (S_FALSE).
  HRESULT Finish();

  long Pictures() const;
  std::string VideoCodec() const;
  // The first failure, in words, or empty.
  std::string Error() const;

 private:
  class Writer;
  explicit ExportFile(std::string path);
  // Opens the file at the first write, then writes; a failure ends the file.
  HRESULT Write(const std::function<std::string(Writer&)>& write);
  HRESULT Fail(const std::string& why);

  const std::string path_;
  mutable std::mutex lock_;  // guards everything below: the video and the audio sink write
  std::optional<PictureSize> pictureSize_;
  std::optional<SoundFormat> soundFormat_;
  std::unique_ptr<Writer> writer_;
  std::string error_;
  bool finished_ = false;
  long pictures_ = 0;        // once finished
  std::string videoCodec_;  // once finished
};

}  // namespace vesk::exporting
