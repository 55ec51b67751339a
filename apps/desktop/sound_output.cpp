#include "apps/desktop/sound_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QElapsedTimer>
#include <QIODevice>
#include <QMediaDevices>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <functional>
#include <future>
#include <memory>

#include "apps/desktop/post_to.h"

namespace vesk::desktop {
namespace {

bool DeviceWanted() { return qEnvironmentVariable("VESK_SOUND") != QLatin1String("none"); }

// What the device pulls: the buffer, or silence while it is empty, so that
// the device never stops on its own.
class PcmSource final : public QIODevice {
 public:
  PcmSource(PcmBuffer& buffer, QObject* parent) : QIODevice(parent), buffer_(buffer) {}
  void SetSilence(char silence) { silence_ = silence; }
  bool isSequential() const override { return true; }
  qint64 bytesAvailable() const override { return 4096 + QIODevice::bytesAvailable(); }

 protected:
  qint64 readData(char* data, qint64 size) override {
    const std::size_t taken = buffer_.Take(reinterpret_cast<std::uint8_t*>(data), static_cast<std::size_t>(size));
    std::memset(data + taken, silence_, static_cast<std::size_t>(size) - taken);
    return size;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  PcmBuffer& buffer_;
  char silence_ = 0;
};

}  // namespace

// The QAudioSink, or the drain without a device; on the output's thread only.
class SoundOutput::Device final : public QObject {
 public:
  Device(PcmBuffer& buffer, std::function<void(const QString&)> describe)
      : buffer_(buffer), source_(new PcmSource(buffer, this)), drain_(new QTimer(this)), describe_(std::move(describe)) {
    source_->open(QIODevice::ReadOnly);
    drain_->setInterval(20);
    connect(drain_, &QTimer::timeout, this, [this] { Drain(); });
  }
  ~Device() override {
    if (sink_) sink_->stop();
  }

  void Open(PcmFormat format);
  void Suspend(bool suspended);

 private:
  void Drain();

  PcmBuffer& buffer_;
  PcmSource* source_;  // a child
  QTimer* drain_;      // a child
  std::function<void(const QString&)> describe_;
  std::unique_ptr<QAudioSink> sink_;
  QElapsedTimer drained_;
  qint64 drainedBytes_ = 0;  // since drained_ started
  PcmFormat format_;
  bool suspended_ = false;
};

void SoundOutput::Device::Open(PcmFormat format) {
  if (format == format_ && (sink_ || drain_->isActive())) return;
  format_ = format;
  if (sink_) sink_->stop();
  sink_.reset();
  drain_->stop();
  QAudioFormat wanted;
  wanted.setSampleRate(format.samplesPerSecond);
  wanted.setChannelCount(format.channels);
  wanted.setSampleFormat(format.bitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
  source_->SetSilence(format.bitsPerSample == 8 ? '\x80' : '\0');
  const QAudioDevice device = DeviceWanted() ? QMediaDevices::defaultAudioOutput() : QAudioDevice();
  if (!device.isNull() && device.isFormatSupported(wanted)) {
    sink_ = std::make_unique<QAudioSink>(device, wanted);
    // A device buffer as small as the PcmBuffer before it.
    sink_->setBufferSize(format.BytesPerSecond() * SoundSink::kBufferedMilliseconds / 1000);
    sink_->start(source_);
    if (suspended_) sink_->suspend();
    describe_(QObject::tr("sound: %1").arg(device.description()));
    return;
  }
  describe_(device.isNull() ? QObject::tr("no sound device: sound is not played")
                            : QObject::tr("the sound device refuses the format"));
  drainedBytes_ = 0;
  drained_.start();
  drain_->start();
}

void SoundOutput::Device::Suspend(bool suspended) {
  suspended_ = suspended;
  if (sink_) {
    if (suspended) sink_->suspend();
    else sink_->resume();
  } else if (!suspended) {
    drainedBytes_ = 0;
    drained_.restart();
  }
}

void SoundOutput::Device::Drain() {
  if (suspended_ || format_.BytesPerSecond() == 0) return;
  const qint64 due = drained_.elapsed() * format_.BytesPerSecond() / 1000;
  buffer_.Take(nullptr, static_cast<std::size_t>(std::max<qint64>(due - drainedBytes_, 0)));
  drainedBytes_ = due;
}

SoundOutput::SoundOutput(PcmBuffer& buffer)
    : device_(new Device(buffer, [this](const QString& text) { Describe(text); })),
      description_(QObject::tr("no sound yet")) {
  device_->moveToThread(&thread_);
  thread_.start();
}

// The device goes on its own thread; the promise tells this one when it is gone.
SoundOutput::~SoundOutput() {
  std::promise<void> gone;
  std::future<void> waited = gone.get_future();
  PostTo(device_, [this, &gone] {
    delete device_;
    gone.set_value();
  });
  waited.wait();
  thread_.quit();
  thread_.wait();
}

void SoundOutput::Open(PcmFormat format) {
  PostTo(device_, [this, format] { device_->Open(format); });
}

void SoundOutput::Suspend(bool suspended) {
  PostTo(device_, [this, suspended] { device_->Suspend(suspended); });
}

void SoundOutput::Describe(const QString& text) {
  std::lock_guard lock(description_mutex_);
  description_ = text;
}

QString SoundOutput::Description() const {
  std::lock_guard lock(description_mutex_);
  return description_;
}

}  // namespace vesk::desktop
