// Plays one recording through the module, as a media host does: loads the
// module, builds a graph of the filter and its sinks, and runs it to the end.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "apps/vesk-play/given_settings.h"
#include "apps/vesk-play/play_options.h"
#include "apps/vesk-play/recording_progress.h"
#include "apps/vesk-play/stamped_files.h"
#include "host/avi_writer_sink.h"
#include "host/counting_sink.h"
#include "host/filter_graph.h"
#include "host/module_loader.h"
#include "host/sink_filter.h"
#include "host/wav_writer_sink.h"
#include "probe/recording_probe.h"
#include "vesk/com_ptr.h"
#include "vesk/splitter_settings.h"

namespace vesk::play {

class Player {
 public:
  // Null with a one-line reason when the module or the location cannot be
  // opened, or the module refuses a setting asked for.
  static std::unique_ptr<Player> Open(const PlayOptions& options, std::string* error);
  ~Player();

  // For a live recorder: plays until its configuration has come, or fails
  // with the reason when it does not within the time-out.
  bool ReceiveConfiguration(const std::atomic<int>& interrupted, std::string* error);
  // The configuration report, every channel of a file with its own format,
  // the time range and the duration, as text.
  std::string Info();
  // Every setting as the filter's settings interface reports it.
  std::string Settings();
  // The configuration report as the property page's dialog shows it.
  std::string ConfigReport();
  // Plays to the end of the stream, or until `interrupted` is set, then prints
  // the files written. 0 on success; 1 with a reason in `error` otherwise,
  // among them a live stream that failed, broke or fell silent (whose files
  // keep what arrived).
  int Play(const std::atomic<int>& interrupted, std::string* error);

 private:
  Player() = default;
  HRESULT BuildGraph(std::string* error);
  HRESULT Connect(const char16_t* pinName, host::SinkFilter& sink, const char16_t* sinkName);
  HRESULT ConnectVideo(std::string* error);
  bool ApplySettings(std::string* error);
  // Refuses an audio channel or a camera a recording file does not have.
  bool CheckChannelsGiven(std::string* error);
  bool SaveSettings(std::string* error);
  // Runs on the streaming thread, after each sample.
  void RestoreGivenSettings(bool picture);
  // Sets `silent` when a live recorder sent nothing for the time-out.
  bool PlayToEnd(const std::atomic<int>& interrupted, bool* silent, std::string* error);
  // Runs on the streaming thread, after each sample.
  void NoteSample();
  bool Silent() const;
  // Checks what each output wrote; on success prints one line per file, or
  // what was played when nothing was written.
  bool ReportFiles(std::string* error);
  std::string PlayedSummary();
  void ShowProgress(bool final);

  PlayOptions options_;
  std::string path_;  // the recording file's path; empty for a live recorder
  std::vector<probe::ChannelInfo> channels_;  // of a file's first channel description
  std::optional<GivenSettings> given_;
  std::unique_ptr<host::ModuleLoader> module_;
  ComPtr<host::FilterGraph> graph_;
  ComPtr<IBaseFilter> filter_;
  ComPtr<ISplitterSettings> settings_;
  ComPtr<host::SinkFilter> audioSink_;
  ComPtr<host::WavWriterSink> wavWriter_;    // the audio sink when a WAV file is asked for
  ComPtr<host::CountingSink> audioCounter_;  // the audio sink otherwise
  ComPtr<host::SinkFilter> videoSink_;       // none when the module has no video output
  ComPtr<host::AviWriterSink> aviWriter_;    // the video sink when an AVI file is asked for
  ComPtr<host::CountingSink> videoCounter_;  // the video sink otherwise
  LONGLONG startPosition_ = 0;
  // The module calls it until it is taken back, which the destructor does.
  RecordingProgress recording_;
  bool notifyWindowSet_ = false;
  // Made before the graph runs, to find the files the module names itself.
  std::optional<StampedFiles> snapshots_;
  std::optional<StampedFiles> recordings_;
  bool progressShown_ = false;
  // A refusal met by RestoreGivenSettings, for the playing thread to report.
  std::atomic<HRESULT> restoreResult_{S_OK};
  bool firstPictureSeen_ = false;  // streaming thread only
  std::atomic<std::chrono::steady_clock::rep> lastSample_{0};  // when the last sample came
};

}  // namespace vesk::play
