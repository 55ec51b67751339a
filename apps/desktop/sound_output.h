// SoundOutput: plays the PcmBuffer on the sound device through Qt
// Multimedia's QAudioSink, or, with no device (or VESK_SOUND=none, as the
// tests ask), drains it at the sound's own pace without playing it, so that
// the stream is paced alike either way. GUI thread only.
#pragma once

#include <QElapsedTimer>
#include <QIODevice>
#include <QObject>
#include <QTimer>
#include <memory>

#include "apps/desktop/pcm_buffer.h"
#include "apps/desktop/sound_sink.h"

class QAudioSink;

namespace vesk::desktop {

class SoundOutput final : public QObject {
 public:
  explicit SoundOutput(PcmBuffer& buffer, QObject* parent = nullptr);
  ~SoundOutput() override;

  // (Re)opens the output for the format.
  void Open(PcmFormat format);
  void Suspend(bool suspended);
  // Where the sound goes, for the status bar.
  QString Description() const { return description_; }

 private:
  // What the device pulls: the buffer, or silence while it is empty, so
  // that the device never stops on its own.
  class Source final : public QIODevice {
   public:
    explicit Source(PcmBuffer& buffer) : buffer_(buffer) {}
    void SetSilence(char silence) { silence_ = silence; }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return 4096 + QIODevice::bytesAvailable(); }

   protected:
    qint64 readData(char* data, qint64 size) override;
    qint64 writeData(const char*, qint64) override { return -1; }

   private:
    PcmBuffer& buffer_;
    char silence_ = 0;
  };

  void Drain();

  PcmBuffer& buffer_;
  Source source_;
  std::unique_ptr<QAudioSink> sink_;
  // Without a device: the bytes due since the drain started.
  QTimer drain_;
  QElapsedTimer drained_;
  qint64 drainedBytes_ = 0;
  PcmFormat format_;
  bool suspended_ = false;
  QString description_;
};

}  // namespace vesk::desktop
