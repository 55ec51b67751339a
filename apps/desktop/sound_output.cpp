#include "apps/desktop/sound_output.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#include <cstring>

namespace vesk::desktop {
namespace {

bool DeviceWanted() { return qEnvironmentVariable("VESK_SOUND") != QLatin1String("none"); }

}  // namespace

qint64 SoundOutput::Source::readData(char* data, qint64 size) {
  const std::size_t taken = buffer_.Take(reinterpret_cast<std::uint8_t*>(data), static_cast<std::size_t>(size));
  std::memset(data + taken, silence_, static_cast<std::size_t>(size) - taken);
  return size;
}

SoundOutput::SoundOutput(PcmBuffer& buffer, QObject* parent)
    : QObject(parent), buffer_(buffer), source_(buffer), description_(tr("no sound yet")) {
  source_.open(QIODevice::ReadOnly);
  drain_.setInterval(20);
  connect(&drain_, &QTimer::timeout, this, [this] { Drain(); });
}

SoundOutput::~SoundOutput() {
  if (sink_) sink_->stop();
}

void SoundOutput::Open(PcmFormat format) {
  if (format == format_ && (sink_ || drain_.isActive())) return;
  format_ = format;
  if (sink_) sink_->stop();
  sink_.reset();
  drain_.stop();
  QAudioFormat wanted;
  wanted.setSampleRate(format.samplesPerSecond);
  wanted.setChannelCount(format.channels);
  wanted.setSampleFormat(format.bitsPerSample == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
  source_.SetSilence(format.bitsPerSample == 8 ? '\x80' : '\0');
  const QAudioDevice device = DeviceWanted() ? QMediaDevices::defaultAudioOutput() : QAudioDevice();
  if (!device.isNull() && device.isFormatSupported(wanted)) {
    sink_ = std::make_unique<QAudioSink>(device, wanted);
    // A small device buffer: the PcmBuffer before it holds the rest.
    sink_->setBufferSize(format.BytesPerSecond() / 10);
    sink_->start(&source_);
    if (suspended_) sink_->suspend();
    description_ = tr("sound: %1").arg(device.description());
    return;
  }
  description_ = device.isNull() ? tr("no sound device: sound is not played") : tr("the sound device refuses the format");
  drainedBytes_ = 0;
  drained_.start();
  drain_.start();
}

void SoundOutput::Suspend(bool suspended) {
  suspended_ = suspended;
  if (sink_) {
    if (suspended) sink_->suspend();
    else sink_->resume();
  } else if (!suspended && drain_.isActive()) {
    drainedBytes_ = 0;
    drained_.restart();
  }
}

void SoundOutput::Drain() {
  if (suspended_ || format_.BytesPerSecond() == 0) return;
  const qint64 due = drained_.elapsed() * format_.BytesPerSecond() / 1000;
  buffer_.Take(nullptr, static_cast<std::size_t>(std::max<qint64>(due - drainedBytes_, 0)));
  drainedBytes_ = due;
}

}  // namespace vesk::desktop
