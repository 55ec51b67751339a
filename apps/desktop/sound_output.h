// SoundOutput: plays the PcmBuffer on the sound device through Qt
// Multimedia's QAudioSink, or, with no device (or VESK_SOUND=none, as the
// tests ask), drains it at the sound's own pace without playing it, so that
// the stream is paced alike either way.
//
// The device is fed on a thread of its own: the streaming thread waits for
// room in the buffer inside the module's delivery, where the window's thread
// may be waiting for it in turn (a camera switch), so the draining must never
// need the window's thread. Its methods may be called from any thread.
#pragma once

#include <QString>
#include <QThread>
#include <mutex>

#include "apps/desktop/pcm_buffer.h"
#include "apps/desktop/sound_sink.h"

namespace vesk::desktop {

class SoundOutput final {
 public:
  explicit SoundOutput(PcmBuffer& buffer);
  ~SoundOutput();
  SoundOutput(const SoundOutput&) = delete;
  SoundOutput& operator=(const SoundOutput&) = delete;

  // (Re)opens the output for the format.
  void Open(PcmFormat format);
  void Suspend(bool suspended);
  // Where the sound goes, for the status bar.
  QString Description() const;

 private:
  class Device;

  void Describe(const QString& text);

  QThread thread_;
  Device* device_;  // lives on thread_, deleted there
  mutable std::mutex description_mutex_;  // guards description_
  QString description_;
};

}  // namespace vesk::desktop
