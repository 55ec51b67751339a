// What the user keeps of the shown pictures: the freeze of the picture, BMP
// snapshots and AVI recordings of the composed output. Names carry the stream
// clock's time, so they match the recorder's time, not the computer's.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "vesk/avi_writer.h"
#include "vesk/dshow.h"

namespace vesk::video {

// The composed output picture: 32-bit pixels, rows bottom-up.
struct OutputPicture {
  const std::uint8_t* pixels = nullptr;  // null when there is none
  std::int32_t width = 0;
  std::int32_t height = 0;
};

class PictureRecorder {
 public:
  PictureRecorder();

  // Nonzero: compositions leave the output picture alone. 2 while a snapshot holds it.
  void SetFreezeMode(LONG mode, const std::string& snapshotPrefix);
  LONG FreezeMode() const { return freezeMode_.load(std::memory_order_relaxed); }

  // Freezes the picture and writes it to prefix + "_DDMMYY_HHMMSS.bmp". A file
  // that cannot be written, or no picture yet, is skipped without a report.
  void SaveSnapshot(const std::string& prefix, const OutputPicture& picture, std::uint32_t clockSeconds);

  void SetNotifyWindow(HWND window) { notifyWindow_.store(window, std::memory_order_relaxed); }
  // Records the compositions to come until `maximum` have been counted.
  void StartRecording(const std::string& prefix, DWORD maximum);
  // The next composition writes the last picture and closes the file.
  void StopRecording() { stopRequest_.store(true, std::memory_order_relaxed); }
  bool IsRecording() const { return recording_.load(std::memory_order_relaxed); }

  // Counts one composition of a running recording; `picture` is the output as
  // it is before the composition changes it (no pixels: counted, not written).
  void AccountComposition(const OutputPicture& picture, std::uint32_t clockSeconds);

 private:
  void Notify(WPARAM pictureNumber) const;

  std::atomic<LONG> freezeMode_{0};
  std::atomic<bool> recording_{false};
  std::atomic<bool> stopRequest_{false};
  std::atomic<DWORD> maximum_{0};
  std::atomic<HWND> notifyWindow_{nullptr};
  // Guards the two prefixes, set on the settings thread and read by the composing one.
  mutable std::mutex prefixLock_;
  std::string snapshotPrefix_;
  std::string recordingPrefix_;
  std::uint32_t frameNumber_ = 0;  // composing thread only
  bool writeFailed_ = false;       // composing thread only: the file took no more pictures
  AviWriter writer_;
};

}  // namespace vesk::video
