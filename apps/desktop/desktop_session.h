// DesktopSession: one recording played for a window, as a media host plays
// it: the module loaded, its filter in a graph with a PictureSink on
// "VideoOutput0" and a SoundSink on "Audio", and the user's commands turned
// into calls of IMediaSeeking and ISplitterSettings. Toolkit-free: the
// window owns a session and calls it on its own thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "apps/desktop/activity_map.h"
#include "apps/desktop/frame_exchange.h"
#include "apps/desktop/pcm_buffer.h"
#include "apps/desktop/picture_sink.h"
#include "apps/desktop/sound_sink.h"
#include "apps/vesk-play/recording_progress.h"
#include "host/filter_graph.h"
#include "host/module_loader.h"
#include "vesk/com_ptr.h"
#include "vesk/splitter_settings.h"

namespace vesk::desktop {

struct SessionCallbacks {
  // Streaming thread: a picture is ready in Frames().
  std::function<void()> picturePublished;
  // Streaming thread: the sound's format, before its first sample.
  std::function<void(PcmFormat)> soundFormat;
};

class DesktopSession {
 public:
  // Null, with a one-line reason, when the module or the location cannot be opened.
  static std::unique_ptr<DesktopSession> Open(const std::string& location, SessionCallbacks callbacks,
                                              std::string* error);
  ~DesktopSession();

  HRESULT Run();
  HRESULT Pause();
  // Stopped, the graph calls none of the callbacks any more.
  HRESULT Stop() { return graph_->Stop(); }
  bool Paused() const { return graph_->State() == State_Paused; }
  // The graph has played to the end of the stream, or the stream broke.
  bool Ended() { return graph_->WaitForCompletion(std::chrono::milliseconds(0)); }

  FrameExchange& Frames() { return frames_; }
  PcmBuffer& Sound() { return sound_; }
  ISplitterSettings& Settings() { return *settings_; }
  IBaseFilter& Filter() { return *filter_; }
  host::ModuleLoader& Module() { return *module_; }
  const std::string& Location() const { return location_; }

  // The recording's range, in seconds from its first index position; none for a live source.
  bool Seekable() const { return static_cast<bool>(seeking_); }
  double DurationSeconds();
  double PositionSeconds();
  // The clock time of a position, as the module formats it; empty when unknown.
  std::string ClockText(double positionSeconds);
  const ActivityMap& Activity() const { return activity_; }

  HRESULT SeekTo(double positionSeconds);
  // The index position before or after the current one.
  HRESULT Step(int direction);
  // Jumps to the next camera activity after the current index position;
  // none when there is no more.
  std::optional<ActivityPlace> NextActivity();
  // Index stepping: the reading steps through the index positions, forward
  // or backward, until normal play returns (direction 0).
  HRESULT ScanIndex(int direction);

  // The camera shown alone (0 to 3), or -1 for the grid.
  HRESULT ShowCamera(int camera);
  HRESULT ToggleMute();
  HRESULT Snapshot(const std::string& folder);
  // Starts a recording into `folder`, or ends the one running.
  HRESULT ToggleRecording(const std::string& folder);
  bool Recording() const { return !progress_.empty() && !progress_.back()->Ended(); }
  // The pictures of the recording running or last ended; 0 before the first.
  unsigned long RecordedPictures() const { return progress_.empty() ? 0 : progress_.back()->PicturesWritten(); }

 private:
  DesktopSession() = default;
  HRESULT Build(SessionCallbacks callbacks, std::string* error);
  HRESULT Connect(const char16_t* pinName, host::SinkFilter& sink, const char16_t* sinkName);
  std::optional<std::uint32_t> StreamSecond();
  double SecondsPerEntry();
  std::uint64_t CurrentEntry();

  std::string location_;
  // The sinks write into these: they outlive the graph.
  FrameExchange frames_;
  PcmBuffer sound_;
  // One per recording started: the module may call the last one until another is set.
  std::vector<std::unique_ptr<play::RecordingProgress>> progress_;
  bool notifyWindowSet_ = false;
  std::string recordPrefix_;    // the module keeps a pointer to it while recording
  std::string snapshotPrefix_;  // and to this one for its freeze mode

  std::unique_ptr<host::ModuleLoader> module_;
  ComPtr<host::FilterGraph> graph_;
  ComPtr<IBaseFilter> filter_;
  ComPtr<ISplitterSettings> settings_;
  ComPtr<IMediaSeeking> seeking_;
  ComPtr<PictureSink> pictures_;
  ComPtr<SoundSink> sounds_;
  ActivityMap activity_;
};

}  // namespace vesk::desktop
