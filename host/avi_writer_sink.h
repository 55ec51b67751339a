// AviWriterSink: writes every RGB32 or RGB24 picture it receives as one frame
// of an uncompressed AVI file. RGB32 pictures are written with 255 in each
// pixel's fourth byte, which the module leaves 0: readers take that byte for
// alpha, and would see fully transparent pictures.
//
// As with the other file writers, the file is opened at the first picture, with
// the picture format of the connection at that time, and finished (indexed and
// renamed into place) at end of stream, at Stop or when the sink goes; pictures
// arriving after that, until the next Stop, are dropped, and a later run writes
// the file afresh. Pictures of another format than the file's are dropped and
// counted. A file that reaches the AVI size limit is finished there: it keeps
// the pictures before, and the rest are dropped.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "host/sink_filter.h"
#include "vesk/avi_writer.h"

namespace vesk::host {

class AviWriterSink final : public SinkFilter {
 public:
  static ComPtr<AviWriterSink> Create(std::filesystem::path path,
                                      std::uint64_t size_limit = AviWriter::kDefaultSizeLimit);

  // The file's picture size, 0 before the first picture.
  LONG Width() const { return width_.load(std::memory_order_relaxed); }
  LONG Height() const { return height_.load(std::memory_order_relaxed); }
  // Pictures in the file written last.
  long Pictures() const { return pictures_.load(std::memory_order_relaxed); }
  // Pictures not written: another format, too short, or after the file was finished.
  long DroppedPictures() const { return dropped_.load(std::memory_order_relaxed); }
  // The file written last ended at the size limit.
  bool LimitReached() const { return limit_reached_.load(std::memory_order_relaxed); }
  // The first file error, or S_OK.
  HRESULT Status() const { return status_.load(std::memory_order_relaxed); }

 private:
  struct PictureFormat {
    LONG width;
    LONG height;  // negative for top-down rows
    WORD bits_per_pixel;
    bool operator==(const PictureFormat&) const = default;
    // Rows padded to 4 bytes, as in a bitmap.
    std::uint64_t Bytes() const;
  };

  AviWriterSink(std::filesystem::path path, std::uint64_t size_limit);
  ~AviWriterSink() override;

  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
  void OnConnected(const AM_MEDIA_TYPE& type) override;
  HRESULT OnReceive(IMediaSample& sample) override;
  void OnEndOfStream() override;
  void OnStop() override;

  static std::optional<PictureFormat> ReadFormat(const AM_MEDIA_TYPE& type);
  HRESULT Fail(HRESULT error);
  HRESULT Open();
  void Drop() { dropped_.fetch_add(1, std::memory_order_relaxed); }
  // Closes the file and renames it into place, or removes it after `error`.
  void Finish(HRESULT error = S_OK);

  const std::filesystem::path path_;
  const std::filesystem::path staging_;  // the file's name until it is finished
  std::atomic<LONG> width_{0};
  std::atomic<LONG> height_{0};
  std::atomic<long> pictures_{0};
  std::atomic<long> dropped_{0};
  std::atomic<bool> limit_reached_{false};
  std::atomic<HRESULT> status_{S_OK};

  // Used by the streaming hooks only, which the stream lock serialises.
  std::optional<PictureFormat> connected_;
  std::optional<PictureFormat> written_;  // the file's format while it is being written
  AviWriter writer_;
  std::vector<BYTE> opaque_;  // the RGB32 picture being written, made opaque
  bool finished_ = false;
};

}  // namespace vesk::host
