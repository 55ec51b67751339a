// A filter as the property page sees it: every setting a plain field.
#pragma once

#include <array>
#include <ctime>
#include <string>

#include "vesk/splitter_settings.h"

namespace vesk::settings::testing {

class FakeSplitterSettings final : public ISplitterSettings {
 public:
  // An object the test owns: the count only shows the references others hold.
  STDMETHOD(QueryInterface)(REFIID riid, void** object) override {
    *object = riid == IID_IUnknown || riid == IID_ISplitterSettings ? this : nullptr;
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++references; }
  STDMETHOD_(ULONG, Release)() override { return --references; }

  STDMETHOD(GetDeviceName)(char* buffer, DWORD size) override { return Copy(deviceName, buffer, size); }
  STDMETHOD_(LONG, GetStartTime)() override { return startTime; }
  STDMETHOD_(LONG, GetEndTime)() override { return endTime; }
  STDMETHOD_(LONG, GetVideoChannelCount)() override { return 4; }
  STDMETHOD_(LONG, GetAudioChannelCount)() override { return audioChannels; }
  STDMETHOD_(LONG, LoadExt2)() override { return 0; }
  STDMETHOD_(LONG, IsChannelPresent)(LONG channel) override { return channel >= 0 && channel < 4 && present[channel]; }
  STDMETHOD(SetPlayMode)(LONG) override { return E_NOTIMPL; }
  STDMETHOD(SetActiveAudio)(LONG index) override { return Store(&activeAudio, index); }
  STDMETHOD_(double, GetFrameRate)() override { return 25.0; }
  STDMETHOD(SetPlaybackRate)(double) override { return E_NOTIMPL; }
  STDMETHOD_(double, GetPlaybackRate)() override { return 1.0; }
  STDMETHOD(SetMute)(LONG on) override { return Store(&mute, on); }
  STDMETHOD_(LONG, GetMute)() override { return mute; }
  STDMETHOD_(LONG, GetActiveAudio)() override { return activeAudio; }
  STDMETHOD(SetActiveCamera)(LONG camera) override { return Store(&activeCamera, camera); }
  STDMETHOD_(LONG, GetActiveCamera)() override { return activeCamera; }
  STDMETHOD_(LONG, GetConfigReport)(char* buffer, DWORD size) override { return Copy(configReport, buffer, size); }
  // Keeps the whole option word, so a test sees every bit the page wrote.
  STDMETHOD(CameraOptionOp)(LONG index, LONG code, LONG* value) override { return Op(code, value, &option[index]); }
  STDMETHOD(ShowTimeOp)(LONG code, LONG* value) override { return Op(code, value, &showTime); }
  STDMETHOD(ShowBpsOp)(LONG code, LONG* value) override { return Op(code, value, &showBps); }
  STDMETHOD(ShowActivityOp)(LONG code, LONG* value) override { return Op(code, value, &showActivity); }
  STDMETHOD(ShowFpsOp)(LONG code, LONG* value) override { return Op(code, value, &showFps); }
  STDMETHOD(ShowSmoothOp)(LONG code, LONG* value) override { return Op(code, value, &showSmooth); }
  STDMETHOD(ShowBrightnessOp)(LONG code, LONG* value) override { return Op(code, value, &showBrightness); }
  STDMETHOD_(LONG, IsLocalSource)() override { return 1; }
  STDMETHOD(FormatTime)(LONG time, char* buffer) override {
    const std::time_t seconds = time;
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    std::strftime(buffer, 18, "%d/%m/%y %H:%M:%S", &parts);
    return S_OK;
  }
  STDMETHOD(GetFrameSize)(DWORD*, DWORD*) override { return E_NOTIMPL; }
  STDMETHOD(SaveSettings)() override { return Store(&saves, saves + 1); }
  STDMETHOD(LoadSettings)() override { return E_NOTIMPL; }
  STDMETHOD(SetAdjustments)(LONG, LONG, LONG, LONG, LONG) override { return E_NOTIMPL; }
  STDMETHOD(SetNotifyWindow)(HWND) override { return E_NOTIMPL; }
  STDMETHOD(SaveSnapshot)(const char*) override { return E_NOTIMPL; }
  STDMETHOD(SetFreezeMode)(LONG) override { return E_NOTIMPL; }
  STDMETHOD(StartRecording)(const char*, DWORD) override { return E_NOTIMPL; }
  STDMETHOD(StopRecording)() override { return E_NOTIMPL; }
  STDMETHOD(ResetIndexCursor)() override { return E_NOTIMPL; }
  STDMETHOD(FindActivity)(BYTE*, BYTE*, ULONGLONG*, ULONGLONG*, BYTE*, DWORD*, DWORD*) override { return E_NOTIMPL; }
  STDMETHOD(SeekIndexEntry)(ULONGLONG*, ULONGLONG*) override { return E_NOTIMPL; }
  STDMETHOD(SetBrightness)(LONG value) override { return Adjust(&brightness, value); }
  STDMETHOD_(LONG, GetBrightness)() override { return brightness; }
  STDMETHOD(SetContrast)(LONG value) override { return Adjust(&contrast, value); }
  STDMETHOD_(LONG, GetContrast)() override { return contrast; }
  STDMETHOD(SetReservedAdjustment)(LONG value) override { return Adjust(&reserved, value); }
  STDMETHOD_(LONG, GetReservedAdjustment)() override { return reserved; }
  STDMETHOD(SetSharpness)(LONG value) override { return Adjust(&sharpness, value); }
  STDMETHOD_(LONG, GetSharpness)() override { return sharpness; }
  STDMETHOD(SetSmooth)(LONG value) override { return Adjust(&smooth, value); }
  STDMETHOD_(LONG, GetSmooth)() override { return smooth; }
  STDMETHOD(ApplyAdjustments)() override { return E_NOTIMPL; }
  STDMETHOD(SharpnessSliderOp)(LONG code, LONG* value) override { return Op(code, value, &sharpnessPosition); }
  STDMETHOD(BrightnessSliderOp)(LONG code, LONG* value) override { return Op(code, value, &brightnessPosition); }
  STDMETHOD(SmoothSliderOp)(LONG code, LONG* value) override { return Op(code, value, &smoothPosition); }
  STDMETHOD(ContrastSliderOp)(LONG code, LONG* value) override { return Op(code, value, &contrastPosition); }

  ULONG references = 1;
  std::string deviceName = "DVR-7", configReport = "Config report\r\n";
  LONG startTime = 0, endTime = 0, audioChannels = 4, activeAudio = 0, activeCamera = -1, mute = 0, saves = 0;
  std::array<bool, 4> present = {true, true, true, true};
  std::array<LONG, 5> option = {2, 2, 2, 2, 2};
  LONG showTime = 0, showBps = 0, showActivity = 0, showFps = 0, showSmooth = 0, showBrightness = 0;
  LONG brightness = 0, contrast = 0, reserved = 0, sharpness = 0, smooth = 0, adjustmentWrites = 0;
  LONG sharpnessPosition = 0, brightnessPosition = 100, smoothPosition = 0, contrastPosition = 50;

 private:
  static HRESULT Op(LONG code, LONG* value, LONG* setting) {
    if (code != OptionRead && code != OptionWrite) return E_INVALIDARG;
    code == OptionRead ? *value = *setting : *setting = *value;
    return S_OK;
  }
  static HRESULT Copy(const std::string& text, char* buffer, DWORD size) {
    buffer[text.copy(buffer, size - 1)] = '\0';
    return S_OK;
  }
  static HRESULT Store(LONG* setting, LONG value) {
    *setting = value;
    return S_OK;
  }
  HRESULT Adjust(LONG* setting, LONG value) {
    ++adjustmentWrites;
    return Store(setting, value);
  }
};

}  // namespace vesk::settings::testing
