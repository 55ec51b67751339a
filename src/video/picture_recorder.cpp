#include "video/picture_recorder.h"

#include "platform/debug_trace.h"
#include "platform/native_path.h"
#include "platform/window_message.h"
#include "vesk/notify_target.h"
#include "video/snapshot_file.h"

namespace vesk::video {
namespace {

constexpr LONG kSnapshotFreeze = 2;
constexpr LPARAM kRecordingProgressKind = 2;

BITMAPINFOHEADER RecordingFormat(const OutputPicture& picture) {
  BITMAPINFOHEADER format{};
  format.biSize = sizeof(BITMAPINFOHEADER);
  format.biWidth = picture.width;
  format.biHeight = picture.height;
  format.biPlanes = 1;
  format.biBitCount = 32;
  return format;
}

std::uint32_t PictureBytes(const OutputPicture& picture) {
  return 4u * static_cast<std::uint32_t>(picture.width) * static_cast<std::uint32_t>(picture.height);
}

}  // namespace

PictureRecorder::PictureRecorder() : snapshotPrefix_(".\\") {}

void PictureRecorder::SetFreezeMode(LONG mode, const std::string& snapshotPrefix) {
  {
    std::lock_guard hold(prefixLock_);
    snapshotPrefix_ = snapshotPrefix;
  }
  freezeMode_.store(mode, std::memory_order_relaxed);
}

void PictureRecorder::SaveSnapshot(const std::string& prefix, const OutputPicture& picture,
                                   std::uint32_t clockSeconds) {
  SetFreezeMode(kSnapshotFreeze, prefix);
  if (!picture.pixels) return;
  const std::string name = platform::NativePath(SnapshotFile::SnapshotName(prefix, clockSeconds));
  const HRESULT hr = SnapshotFile::Write(name, picture.pixels, picture.width, picture.height);
  if (FAILED(hr)) platform::Trace("snapshot %s not written, 0x%08X", name.c_str(), static_cast<unsigned>(hr));
}

void PictureRecorder::StartRecording(const std::string& prefix, DWORD maximum) {
  {
    std::lock_guard hold(prefixLock_);
    recordingPrefix_ = prefix;
  }
  maximum_.store(maximum, std::memory_order_relaxed);
  recording_.store(true, std::memory_order_release);
}

void PictureRecorder::AccountComposition(const OutputPicture& picture, std::uint32_t clockSeconds) {
  const DWORD maximum = maximum_.load(std::memory_order_relaxed);
  ++frameNumber_;
  if (stopRequest_.exchange(false, std::memory_order_relaxed)) frameNumber_ = maximum;
  if (frameNumber_ > maximum) {
    recording_.store(false, std::memory_order_relaxed);
    frameNumber_ = 0;
    stopRequest_.store(false, std::memory_order_relaxed);
    Notify(0);
    return;
  }
  if (frameNumber_ == 1) {
    Notify(1);
    std::string prefix;
    {
      std::lock_guard hold(prefixLock_);
      prefix = recordingPrefix_;
    }
    // The file is named after the second the recording started in; this
    // composition's picture is not part of it.
    const std::string name = platform::NativePath(SnapshotFile::RecordingName(prefix, clockSeconds));
    writeFailed_ = !picture.pixels || FAILED(writer_.Open(name, RecordingFormat(picture)));
    if (writeFailed_) platform::Trace("recording %s cannot be opened", name.c_str());
    return;
  }
  if (picture.pixels && !writeFailed_) {
    const HRESULT hr = writer_.Write(picture.pixels, PictureBytes(picture));
    writeFailed_ = FAILED(hr);
    if (writeFailed_)
      platform::Trace("recording: picture %u not written (0x%08X); the file holds the %u before it", frameNumber_,
                      static_cast<unsigned>(hr), writer_.FrameCount());
  }
  // Once writing failed the numbers stop where the file stopped, so a listener
  // counts the pictures really in it; the recording still counts its compositions.
  Notify(writeFailed_ ? writer_.FrameCount() + 1 : frameNumber_);
  if (frameNumber_ == maximum) writer_.Close();
}

void PictureRecorder::Notify(WPARAM pictureNumber) const {
  platform::SendWindowMessage(notifyWindow_.load(std::memory_order_relaxed), kRecordingProgressMessage,
                              pictureNumber, kRecordingProgressKind);
}

}  // namespace vesk::video
