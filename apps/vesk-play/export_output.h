// The --export file with the two sinks that feed it, where vesk-play is built
// with FFmpeg's libraries.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "host/sink_filter.h"
#include "vesk/com_ptr.h"

namespace vesk::exporting {
class ExportFile;
}

namespace vesk::play {

class ExportOutput {
 public:
  // `secondClock` gives the second of the recording, from the export's start,
  // that a sample arriving now belongs to. Null with a one-line reason when
  // this vesk-play cannot export, or not to such a file.
  static std::unique_ptr<ExportOutput> Create(const std::string& path, std::function<std::int64_t()> secondClock,
                                              std::string* error);
  ~ExportOutput();

  host::SinkFilter& VideoSink() { return *video_; }
  host::SinkFilter& AudioSink() { return *audio_; }

  long Pictures() const;
  // Once the graph has stopped: completes the file. On success a line for the
  // user, else false with a one-line reason.
  bool Finish(const std::string& recording, std::string* report, std::string* error);

 private:
  ExportOutput() = default;

  std::string path_;
  std::shared_ptr<exporting::ExportFile> file_;
  ComPtr<host::SinkFilter> video_;
  ComPtr<host::SinkFilter> audio_;
};

}  // namespace vesk::play
