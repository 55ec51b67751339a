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

STDMETHODIMP SplitterFilter::SetActiveAudio(LONG index) {
  platform::CriticalSection::Guard pins(pinLock_);
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

STDMETHODIMP SplitterFilter::SetActiveCamera(LONG) {
  // The camera selection lives in the video pin, which comes with the video output.
  platform::CriticalSection::Guard pins(pinLock_);
  return S_OK;
}

STDMETHODIMP_(LONG) SplitterFilter::GetActiveCamera() { return activeCamera_; }

STDMETHODIMP_(LONG) SplitterFilter::GetConfigReport(char* buffer, DWORD size) {
  input::PinReport pins;
  if (audioPin_) audioPin_->DescribeForReport(pins);
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

// The camera size is the video pin's, and this filter has none yet.
STDMETHODIMP SplitterFilter::GetFrameSize(DWORD*, DWORD*) { return E_FAIL; }

// Persistence needs both pins; without the video pin nothing is saved or loaded.
STDMETHODIMP SplitterFilter::SaveSettings() { return S_FALSE; }
STDMETHODIMP SplitterFilter::LoadSettings() { return S_FALSE; }

// ---- Owned by the video output and the settings work still to come ---------------------

STDMETHODIMP SplitterFilter::CameraOptionOp(LONG, LONG, LONG*) { return E_NOTIMPL; }
STDMETHODIMP SplitterFilter::ShowTimeOp(LONG, LONG*) { return E_NOTIMPL; }
STDMETHODIMP SplitterFilter::ShowBpsOp(LONG, LONG*) { return E_NOTIMPL; }
STDMETHODIMP SplitterFilter::ShowActivityOp(LONG, LONG*) { return E_NOTIMPL; }
STDMETHODIMP SplitterFilter::ShowFpsOp(LONG, LONG*) { return E_NOTIMPL; }
STDMETHODIMP SplitterFilter::ShowSmoothOp(LONG, LONG*) { return E_NOTIMPL; }
STDMETHODIMP SplitterFilter::ShowBrightnessOp(LONG, LONG*) { return E_NOTIMPL; }
STDMETHODIMP SplitterFilter::SetAdjustments(LONG, LONG, LONG, LONG, LONG) { return E_NOTIMPL; }
STDMETHODIMP SplitterFilter::SetNotifyWindow(HWND) { return E_NOTIMPL; }
STDMETHODIMP SplitterFilter::SaveSnapshot(const char*) { return E_NOTIMPL; }
STDMETHODIMP SplitterFilter::SetFreezeMode(LONG) { return E_NOTIMPL; }
STDMETHODIMP SplitterFilter::StartRecording(const char*, DWORD) { return E_NOTIMPL; }
STDMETHODIMP SplitterFilter::StopRecording() { return E_NOTIMPL; }
STDMETHODIMP SplitterFilter::SetBrightness(LONG) { return E_NOTIMPL; }
STDMETHODIMP_(LONG) SplitterFilter::GetBrightness() { return 0; }
STDMETHODIMP SplitterFilter::SetContrast(LONG) { return E_NOTIMPL; }
STDMETHODIMP_(LONG) SplitterFilter::GetContrast() { return 0; }
STDMETHODIMP SplitterFilter::SetReservedAdjustment(LONG) { return E_NOTIMPL; }
STDMETHODIMP_(LONG) SplitterFilter::GetReservedAdjustment() { return 0; }
STDMETHODIMP SplitterFilter::SetSharpness(LONG) { return E_NOTIMPL; }
STDMETHODIMP_(LONG) SplitterFilter::GetSharpness() { return 0; }
STDMETHODIMP SplitterFilter::SetSmooth(LONG) { return E_NOTIMPL; }
STDMETHODIMP_(LONG) SplitterFilter::GetSmooth() { return 0; }
STDMETHODIMP SplitterFilter::ApplyAdjustments() { return E_NOTIMPL; }
STDMETHODIMP SplitterFilter::SharpnessSliderOp(LONG, LONG*) { return E_NOTIMPL; }
STDMETHODIMP SplitterFilter::BrightnessSliderOp(LONG, LONG*) { return E_NOTIMPL; }
STDMETHODIMP SplitterFilter::SmoothSliderOp(LONG, LONG*) { return E_NOTIMPL; }
STDMETHODIMP SplitterFilter::ContrastSliderOp(LONG, LONG*) { return E_NOTIMPL; }

}  // namespace vesk::filter
