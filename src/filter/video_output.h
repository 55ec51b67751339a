// What the filter asks of its video pin beyond an output pin's duties: the
// picture settings, the display switches, snapshots and recording, and the
// stream clock of the time stamp.
#pragma once

#include <cstdint>
#include <string>

#include "filter/stream_pin.h"
#include "input/stream_configuration.h"

namespace vesk::filter {

// The five picture adjustments, as the settings interface holds them.
struct PictureAdjustments {
  std::int32_t brightness = 0;
  std::int32_t contrast = 0;
  std::int32_t reserved = 0;  // kept and passed on; changes nothing
  std::int32_t sharpness = 0;
  std::int32_t smooth = 0;
};

// The single values read and written through an option method.
enum class VideoSwitch {
  kTime,
  kFps,
  kBps,
  kActivity,
  kSharpenSmooth,
  kBrightnessContrast,
  kSharpnessSlider,
  kBrightnessSlider,
  kSmoothSlider,
  kContrastSlider,
};

// Which channels the recording has: the video pin asks it of each camera slot.
class ChannelPresence {
 public:
  virtual bool ChannelPresent(int channel) = 0;

 protected:
  ~ChannelPresence() = default;
};

class VideoOutput : public StreamPin {
 public:
  using StreamPin::StreamPin;

  virtual void SetAdjustments(const PictureAdjustments& adjustments) = 0;
  // OptionRead copies the value out, OptionWrite stores it; other codes E_INVALIDARG.
  virtual HRESULT SwitchOp(VideoSwitch which, LONG code, LONG* value) = 0;
  // The status message switch of overlay `index`, 0 to 4.
  virtual HRESULT CameraOptionOp(LONG index, LONG code, LONG* value) = 0;

  virtual void SetNotifyWindow(HWND window) = 0;
  virtual void SetFreezeMode(LONG mode, const std::string& snapshotPrefix) = 0;
  virtual void SaveSnapshot(const std::string& prefix) = 0;
  virtual void StartRecording(const std::string& prefix, DWORD maximum) = 0;
  virtual void StopRecording() = 0;

  // Every index position's time; moves the time stamp and ages the messages.
  virtual void SetClock(std::uint32_t seconds) = 0;
  // When the filter runs: the clock goes on from the second it showed last.
  virtual void RebaseClock() = 0;
  virtual void ShowTotalBytesPerSecond(double bytesPerSecond) = 0;

  // The camera size; the output picture is twice it in each direction.
  virtual void GetFrameSize(DWORD* width, DWORD* height) = 0;
  virtual void DescribeForReport(input::PinReport& report) = 0;
};

}  // namespace vesk::filter
