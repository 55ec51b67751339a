// RawVideoWriterSink: appends the bytes of every RGB32 picture it receives to
// a file, one picture after another, with no header; width and height are
// kept for whoever reads the file.
//
// As with the WAV writer, the file is opened at the first picture and finished
// (renamed into place) at end of stream, at Stop or when the sink goes; its
// picture size is the connection's at the first picture, and pictures of
// another size or length are dropped and counted.
#pragma once

#include <atomic>
#include <filesystem>
#include <memory>

#include "host/sink_filter.h"
#include "host/staged_file.h"

namespace vesk::host {

class RawVideoWriterSink final : public SinkFilter {
 public:
  static ComPtr<RawVideoWriterSink> Create(std::filesystem::path path);

  // The file's picture size (height negative for top-down rows), 0 before the first picture.
  LONG Width() const { return width_.load(std::memory_order_relaxed); }
  LONG Height() const { return height_.load(std::memory_order_relaxed); }
  // Pictures in the file written last.
  long Pictures() const { return pictures_.load(std::memory_order_relaxed); }
  long DroppedPictures() const { return dropped_.load(std::memory_order_relaxed); }
  // The first file error, or S_OK.
  HRESULT Status() const { return status_.load(std::memory_order_relaxed); }

 private:
  explicit RawVideoWriterSink(std::filesystem::path path);
  ~RawVideoWriterSink() override;

  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
  void OnConnected(const AM_MEDIA_TYPE& type) override;
  HRESULT OnReceive(IMediaSample& sample) override;
  void OnEndOfStream() override;
  void OnStop() override;

  HRESULT Fail(HRESULT error);
  void Finish();

  const std::filesystem::path path_;
  std::atomic<LONG> width_{0};
  std::atomic<LONG> height_{0};
  std::atomic<long> pictures_{0};
  std::atomic<long> dropped_{0};
  std::atomic<HRESULT> status_{S_OK};

  // Used by the streaming hooks only, which the stream lock serialises.
  LONG connected_width_ = 0;
  LONG connected_height_ = 0;
  std::unique_ptr<StagedFile> file_;
  bool finished_ = false;
};

}  // namespace vesk::host
