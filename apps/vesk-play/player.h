// Plays one recording through the module, as a media host does: loads the
// module, builds a graph of the filter and its sinks, and runs it to the end.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "apps/vesk-play/play_options.h"
#include "host/filter_graph.h"
#include "host/module_loader.h"
#include "host/wav_writer_sink.h"
#include "vesk/com_ptr.h"
#include "vesk/splitter_settings.h"

namespace vesk::play {

class Player {
 public:
  // Null with a one-line reason when the module or the location cannot be opened.
  static std::unique_ptr<Player> Open(const PlayOptions& options, std::string* error);
  ~Player();

  // The configuration report, the time range and the duration, as text.
  std::string Info();
  // Plays to the end of the stream, or until `interrupted` is set. 0 on success,
  // with a reason in `error` otherwise.
  int Play(const std::atomic<bool>& interrupted, std::string* error);

 private:
  Player() = default;
  HRESULT BuildGraph(std::string* error);
  void ShowProgress(bool final);

  PlayOptions options_;
  std::unique_ptr<host::ModuleLoader> module_;
  ComPtr<host::FilterGraph> graph_;
  ComPtr<IBaseFilter> filter_;
  ComPtr<ISplitterSettings> settings_;
  ComPtr<IBaseFilter> audioSink_;
  ComPtr<host::WavWriterSink> wavWriter_;  // the audio sink when a WAV file is asked for
  bool progressShown_ = false;
};

}  // namespace vesk::play
