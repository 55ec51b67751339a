// PictureSink: the host sink that shows "VideoOutput0" in a window. Each
// picture is copied once, into the FrameExchange, and published when the
// pacer says it is due; the wait runs after the sample is given back, so a
// flush or Stop ends it at once.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

#include "apps/desktop/frame_exchange.h"
#include "apps/desktop/frame_pacer.h"
#include "host/sink_filter.h"

namespace vesk::desktop {

class PictureSink final : public host::SinkFilter {
 public:
  // The stream second of the picture being shown; nullopt for a live source,
  // whose pictures are shown as they come.
  using StreamSecond = std::function<std::optional<std::uint32_t>()>;

  static ComPtr<PictureSink> Create(FrameExchange& frames, StreamSecond clock, double nominalPicturesPerSecond);

  // From any thread: the next picture starts the pacing afresh (after a pause, a flush or Stop).
  void RestartPacing() { restart_ = true; }

  // IMediaFilter: a start after Stop may wait again.
  STDMETHOD(Pause)() override;

 private:
  PictureSink(FrameExchange& frames, StreamSecond clock, double nominalPicturesPerSecond);
  ~PictureSink() override = default;

  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
  void OnConnected(const AM_MEDIA_TYPE& type) override;
  HRESULT OnReceive(IMediaSample& sample) override;
  void OnBeginFlush() override;
  void OnEndFlush() override;
  void OnStop() override;

  // Runs on the streaming thread after each sample: waits for its time, then publishes.
  void ShowWhenDue();
  void Interrupt(bool interrupted);

  FrameExchange& frames_;  // not owned: the window's, which outlives the graph
  const StreamSecond clock_;
  std::atomic<bool> restart_{false};

  // Used by OnConnected, OnReceive and ShowWhenDue only, which follow one another on the streaming thread.
  FramePacer pacer_;
  int width_ = 0;
  int height_ = 0;
  bool filled_ = false;  // the back buffer holds a picture not yet published

  std::mutex wait_mutex_;  // guards interrupted_
  std::condition_variable wake_;
  bool interrupted_ = false;
};

}  // namespace vesk::desktop
