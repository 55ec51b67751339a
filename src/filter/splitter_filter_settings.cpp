// The settings interface: every setting, query and action of the filter.
#include <cstring>

#include "filter/splitter_filter.h"
#include "input/stream_time.h"
#include "platform/debug_trace.h"
#include "platform/shared_library.h"
#include "platform/wide_text.h"

namespace vesk::filter {
namespace {

// The outside recorder-disk access library, looked for beside the module.
constexpr const char* kExt2LibraryName = "ext2fsdll.so";
using Ext2CreateFile = std::int32_t (*)();

}  // namespace

STDMETHODIMP SplitterFilter::GetDeviceName(char* buffer, DWORD size) {
  if (!buffer) return E_POINTER;
  if (size == 0) return S_OK;
  const std::string name = configuration_.DeviceName();
  std::memset(buffer, 0, size);
  std::memcpy(buffer, name.data(), std::min<std::size_t>(name.size(), size));
  buffer[size - 1] = '\0';
  return S_OK;
}

STDMETHODIMP_(LONG) SplitterFilter::GetVideoChannelCount() {
  return static_cast<LONG>(configuration_.VideoChannelCount());
}

STDMETHODIMP_(LONG) SplitterFilter::GetAudioChannelCount() {
  return static_cast<LONG>(configuration_.AudioChannelCount());
}

STDMETHODIMP_(LONG) SplitterFilter::LoadExt2() {
  platform::Trace("LoadExt2");
  static platform::SharedLibrary library;  // stays loaded, as the outside library expects
  if (!library.IsLoaded() && FAILED(library.Load(platform::SharedLibrary::BesideModule(kExt2LibraryName))))
    return -1;
  platform::Trace("Library loaded");
  auto open = reinterpret_cast<Ext2CreateFile>(library.Symbol("ext2_CreateFile"));
  if (!open) return -2;
  platform::Trace("Function address is gotten");
  platform::Trace("%d", open());
  return open();
}

STDMETHODIMP_(LONG) SplitterFilter::IsChannelPresent(LONG channel) {
  return static_cast<LONG>(configuration_.IsChannelPresent(channel));
}

// The selections take a lock of their own, not the pin lock: the producer
// thread selects too, when a configuration loads the saved settings, and
// Stop holds the pin lock while it waits for that thread to end.
STDMETHODIMP SplitterFilter::SetActiveAudio(LONG index) {
  std::lock_guard hold(selectionLock_);
  // Every negative index passes: it plays all audio channels.
  const LONG active = index < GetAudioChannelCount() ? index : 0;
  activeAudio_ = active;
  if (audioPin_) audioPin_->SetActiveChannel(active);
  return S_OK;
}

STDMETHODIMP_(LONG) SplitterFilter::GetActiveAudio() { return activeAudio_; }

STDMETHODIMP_(double) SplitterFilter::GetFrameRate() { return configuration_.FramesPerSecond(); }

STDMETHODIMP SplitterFilter::SetMute(LONG on) {
  if (audioPin_) audioPin_->SetMute(on);
  return S_OK;
}

STDMETHODIMP_(LONG) SplitterFilter::GetMute() { return audioPin_ ? audioPin_->GetMute() : 0; }

STDMETHODIMP SplitterFilter::SetActiveCamera(LONG camera) {
  bool changed = false;
  {
    std::lock_guard hold(selectionLock_);
    const LONG before = activeCamera_;
    if (videoPin_) {
      videoPin_->SetActiveChannel(camera);
      activeCamera_ = videoPin_->GetActiveChannel();
    }
    changed = activeCamera_ != before;
  }
  // Back to all cameras while running: the grid is drawn again at once. The
  // notice goes in without the selection lock, which the producer takes
  // inside the demultiplexer's.
  if (changed && (camera < 0 || camera > 3) && state_ == State_Running) {
    input::PacketPtr notice(input::Packet::Create(input::PacketKind::kConfigurationChanged, 0, false));
    if (notice) DispatchPacket(*notice);
  }
  return S_OK;
}

STDMETHODIMP_(LONG) SplitterFilter::GetActiveCamera() { return activeCamera_; }

STDMETHODIMP_(LONG) SplitterFilter::GetConfigReport(char* buffer, DWORD size) {
  input::PinReport pins;
  audioPin_->DescribeForReport(pins);
  videoPin_->DescribeForReport(pins);
  return configuration_.GetConfigReport(buffer, size, pins);
}

STDMETHODIMP_(LONG) SplitterFilter::IsLocalSource() {
  if (!sourceNamed_) return 0;
  return platform::NarrowFromWide(sourceName_).rfind("http://", 0) == 0 ? 0 : 1;
}

STDMETHODIMP SplitterFilter::FormatTime(LONG time, char* buffer) {
  if (!buffer) return E_POINTER;
  // A time before 1970 has no calendar form here: an empty text.
  if (time < 0) {
    buffer[0] = '\0';
    return S_OK;
  }
  const std::string text = input::FormatStreamTime(static_cast<std::uint32_t>(time));
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return S_OK;
}

STDMETHODIMP SplitterFilter::GetFrameSize(DWORD* width, DWORD* height) {
  if (!width || !height) return E_POINTER;
  videoPin_->GetFrameSize(width, height);
  return S_OK;
}

// A filter without its pins, or without a place to keep settings, keeps none.
STDMETHODIMP SplitterFilter::SaveSettings() {
  if (!audioPin_ || !videoPin_ || !settingsKeeper_) return S_FALSE;
  return settingsKeeper_->Save(*this);
}

STDMETHODIMP SplitterFilter::LoadSettings() {
  if (!audioPin_ || !videoPin_ || !settingsKeeper_) return S_FALSE;
  return settingsKeeper_->Load(*this);
}

// ---- Display switches and picture adjustments ------------------------------------------

STDMETHODIMP SplitterFilter::CameraOptionOp(LONG index, LONG code, LONG* value) {
  return videoPin_->CameraOptionOp(index, code, value);
}
STDMETHODIMP SplitterFilter::ShowTimeOp(LONG code, LONG* value) {
  return videoPin_->SwitchOp(VideoSwitch::kTime, code, value);
}
STDMETHODIMP SplitterFilter::ShowBpsOp(LONG code, LONG* value) {
  return videoPin_->SwitchOp(VideoSwitch::kBps, code, value);
}
STDMETHODIMP SplitterFilter::ShowActivityOp(LONG code, LONG* value) {
  return videoPin_->SwitchOp(VideoSwitch::kActivity, code, value);
}
STDMETHODIMP SplitterFilter::ShowFpsOp(LONG code, LONG* value) {
  return videoPin_->SwitchOp(VideoSwitch::kFps, code, value);
}
STDMETHODIMP SplitterFilter::ShowSmoothOp(LONG code, LONG* value) {
  return videoPin_->SwitchOp(VideoSwitch::kSharpenSmooth, code, value);
}
STDMETHODIMP SplitterFilter::ShowBrightnessOp(LONG code, LONG* value) {
  return videoPin_->SwitchOp(VideoSwitch::kBrightnessContrast, code, value);
}

// Slider positions are only remembered for the property page; the value
// pointer is the caller's to get right.
STDMETHODIMP SplitterFilter::SharpnessSliderOp(LONG code, LONG* value) {
  return videoPin_->SwitchOp(VideoSwitch::kSharpnessSlider, code, value);
}
STDMETHODIMP SplitterFilter::BrightnessSliderOp(LONG code, LONG* value) {
  return videoPin_->SwitchOp(VideoSwitch::kBrightnessSlider, code, value);
}
STDMETHODIMP SplitterFilter::SmoothSliderOp(LONG code, LONG* value) {
  return videoPin_->SwitchOp(VideoSwitch::kSmoothSlider, code, value);
}
STDMETHODIMP SplitterFilter::ContrastSliderOp(LONG code, LONG* value) {
  return videoPin_->SwitchOp(VideoSwitch::kContrastSlider, code, value);
}

template <typename Change>
HRESULT SplitterFilter::ChangeAdjustments(Change change) {
  std::lock_guard hold(adjustmentsLock_);
  change(adjustments_);
  videoPin_->SetAdjustments(adjustments_);
  return S_OK;
}

PictureAdjustments SplitterFilter::Adjustments() {
  std::lock_guard hold(adjustmentsLock_);
  return adjustments_;
}

STDMETHODIMP SplitterFilter::SetAdjustments(LONG brightness, LONG contrast, LONG reserved, LONG sharpness,
                                            LONG smooth) {
  return ChangeAdjustments([&](PictureAdjustments& a) { a = {brightness, contrast, reserved, sharpness, smooth}; });
}
STDMETHODIMP SplitterFilter::ApplyAdjustments() {
  return ChangeAdjustments([](PictureAdjustments&) {});
}
STDMETHODIMP SplitterFilter::SetBrightness(LONG value) {
  return ChangeAdjustments([=](PictureAdjustments& a) { a.brightness = value; });
}
STDMETHODIMP SplitterFilter::SetContrast(LONG value) {
  return ChangeAdjustments([=](PictureAdjustments& a) { a.contrast = value; });
}
STDMETHODIMP SplitterFilter::SetReservedAdjustment(LONG value) {
  return ChangeAdjustments([=](PictureAdjustments& a) { a.reserved = value; });
}
STDMETHODIMP SplitterFilter::SetSharpness(LONG value) {
  return ChangeAdjustments([=](PictureAdjustments& a) { a.sharpness = value; });
}
STDMETHODIMP SplitterFilter::SetSmooth(LONG value) {
  return ChangeAdjustments([=](PictureAdjustments& a) { a.smooth = value; });
}
STDMETHODIMP_(LONG) SplitterFilter::GetBrightness() { return Adjustments().brightness; }
STDMETHODIMP_(LONG) SplitterFilter::GetContrast() { return Adjustments().contrast; }
STDMETHODIMP_(LONG) SplitterFilter::GetReservedAdjustment() { return Adjustments().reserved; }
STDMETHODIMP_(LONG) SplitterFilter::GetSharpness() { return Adjustments().sharpness; }
STDMETHODIMP_(LONG) SplitterFilter::GetSmooth() { return Adjustments().smooth; }

// ---- Snapshots and recording --------------------------------------------------------------

std::string SplitterFilter::FreezePrefix() {
  std::lock_guard hold(captureLock_);
  return freezePrefix_;
}

STDMETHODIMP SplitterFilter::SetNotifyWindow(HWND window) {
  videoPin_->SetNotifyWindow(window);
  return S_OK;
}

STDMETHODIMP SplitterFilter::SaveSnapshot(const char* prefix) {
  const std::string text = prefix ? prefix : "";
  {
    std::lock_guard hold(captureLock_);
    freezePrefix_ = text;
  }
  freezeMode_ = 2;
  videoPin_->SaveSnapshot(text);
  return S_OK;
}

STDMETHODIMP SplitterFilter::SetFreezeMode(LONG mode) {
  freezeMode_ = mode;
  videoPin_->SetFreezeMode(mode, FreezePrefix());
  return S_OK;
}

STDMETHODIMP SplitterFilter::StartRecording(const char* prefix, DWORD maximum) {
  videoPin_->StartRecording(prefix ? prefix : "", maximum);
  return S_OK;
}

STDMETHODIMP SplitterFilter::StopRecording() {
  videoPin_->StopRecording();
  return S_OK;
}

}  // namespace vesk::filter
