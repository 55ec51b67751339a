// The host's sinks that feed an ExportFile: one takes the video pin's
// pictures, the other the audio pin's sound.
//
// The module's samples carry no times; the recording's index positions do,
// in whole seconds, and the filter's position is that of the last one read.
// Asked as each sample arrives (on the producer's own thread, which reads the
// index positions too), it gives the second the sample belongs to. The
// pictures of one second are held until the next second begins, then spread
// evenly over theirs; the sound is laid from the start of its second on.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "apps/export/export_file.h"
#include "host/sink_filter.h"

namespace vesk::exporting {

// The second of the recording that a sample arriving now belongs to, counted
// from the export's start.
using SecondClock = std::function<std::int64_t()>;

// What both sinks share: the file they feed and the clock they ask.
class ExportSink : public host::SinkFilter {
 protected:
  ExportSink(std::shared_ptr<ExportFile> file, SecondClock clock) : file_(std::move(file)), clock_(std::move(clock)) {}

  const std::shared_ptr<ExportFile> file_;
  const SecondClock clock_;
};

class ExportVideoSink final : public ExportSink {
 public:
  static ComPtr<ExportVideoSink> Create(std::shared_ptr<ExportFile> file, SecondClock clock);

 private:
  using ExportSink::ExportSink;

  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
  void OnConnected(const AM_MEDIA_TYPE& type) override;
  HRESULT OnReceive(IMediaSample& sample) override;
  void OnEndOfStream() override;
  void OnStop() override;

  // Writes the pictures held, spread over their second.
  HRESULT Flush();

  // Used by the streaming hooks only, which the stream lock serialises.
  std::optional<PictureSize> size_;
  std::int64_t second_ = 0;                      // of the pictures held
  std::vector<std::vector<std::uint8_t>> held_;  // reused from second to second
  std::vector<PictureSize> heldSizes_;
  std::size_t heldCount_ = 0;
};

class ExportAudioSink final : public ExportSink {
 public:
  static ComPtr<ExportAudioSink> Create(std::shared_ptr<ExportFile> file, SecondClock clock);

 private:
  using ExportSink::ExportSink;

  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
  void OnConnected(const AM_MEDIA_TYPE& type) override;
  HRESULT OnReceive(IMediaSample& sample) override;

  // Used by the streaming hooks only.
  std::optional<SoundFormat> connected_;
  std::optional<SoundFormat> written_;  // the file's: sound of another format is left out
};

}  // namespace vesk::exporting
