// WavWriterSink: writes the PCM it receives to a WAV file.
//
// The file is opened at the first sample, with the format of the connection at
// that time, and finished (header completed, file renamed into place) at end of
// stream, at Stop or when the sink goes; samples arriving after that, until the
// next Stop, are dropped, and a later run writes the file afresh. A WAV file
// has one format: when a reconnection brings another one, the samples in it
// are dropped and counted, and writing resumes if the first format returns.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "host/sink_filter.h"
#include "host/staged_file.h"

namespace vesk::host {

class WavWriterSink final : public SinkFilter {
 public:
  static ComPtr<WavWriterSink> Create(std::filesystem::path path);

  // Samples not written: another format than the file's, after the file was
  // finished, or past the 4 GB a WAV file can hold.
  long DroppedSamples() const { return dropped_.load(std::memory_order_relaxed); }
  // The first file error, or S_OK.
  HRESULT Status() const { return status_.load(std::memory_order_relaxed); }
  // How long the sound of the last file finished lasts.
  double SecondsWritten() const { return seconds_written_.load(std::memory_order_relaxed); }

 private:
  static constexpr std::uint32_t kHeaderSize = 44;
  // The RIFF size field counts everything after itself: "WAVE", the format
  // chunk, the data chunk's header, the data and its pad byte.
  static constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - (kHeaderSize - 8) - 1;

  struct PcmFormat {
    WORD channels;
    DWORD samples_per_second;
    WORD bits_per_sample;
    WORD block_align;
    bool operator==(const PcmFormat&) const = default;
  };

  explicit WavWriterSink(std::filesystem::path path);
  ~WavWriterSink() override;

  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
  void OnConnected(const AM_MEDIA_TYPE& type) override;
  HRESULT OnReceive(IMediaSample& sample) override;
  void OnEndOfStream() override;
  void OnStop() override;

  static std::optional<PcmFormat> ReadFormat(const AM_MEDIA_TYPE& type);
  HRESULT Fail(HRESULT error);
  HRESULT Open();
  // The file's header for the data written so far.
  std::array<BYTE, kHeaderSize> Header() const;
  void Finish();

  const std::filesystem::path path_;
  std::atomic<long> dropped_{0};
  std::atomic<HRESULT> status_{S_OK};
  std::atomic<double> seconds_written_{0};

  // Used by the streaming hooks only, which the stream lock serialises.
  std::optional<PcmFormat> connected_;
  std::optional<PcmFormat> written_;  // the file's format while it is open
  std::unique_ptr<StagedFile> file_;
  std::uint32_t data_bytes_ = 0;
  bool finished_ = false;
};

}  // namespace vesk::host
