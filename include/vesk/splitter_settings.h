// ISplitterSettings: the filter's own interface, and the class ids of the
// filter and its property page. This is the contract for every client (the
// property page, the player, scripts): the method order and the argument types
// are fixed, since clients are built separately from the module.
//
// Types: LONG and DWORD are 32-bit, ULONGLONG 64-bit; texts are 8-bit
// characters; a time is a 32-bit count of seconds since 1970-01-01 00:00 UTC.
#pragma once

#include "vesk/com.h"
#include "vesk/dshow.h"

// {C14D8A21-936B-43E1-ACB3-5C51C5233FCE}
inline constexpr IID IID_ISplitterSettings = {0xC14D8A21, 0x936B, 0x43E1, {0xAC, 0xB3, 0x5C, 0x51, 0xC5, 0x23, 0x3F, 0xCE}};
// The source filter: {5E5E8199-A788-4F8A-A1DE-A4E8A2C3D535}
inline constexpr CLSID CLSID_SplitterFilter = {0x5E5E8199, 0xA788, 0x4F8A, {0xA1, 0xDE, 0xA4, 0xE8, 0xA2, 0xC3, 0xD5, 0x35}};
// Its property page: {32ED14B8-9944-4086-A059-EF0D14742B9F}
inline constexpr CLSID CLSID_SettingsPage = {0x32ED14B8, 0x9944, 0x4086, {0xA0, 0x59, 0xEF, 0x0D, 0x14, 0x74, 0x2B, 0x9F}};

namespace vesk {

// Operation codes of the methods that read or write one setting through a
// pointer to a 32-bit value; any other code gives E_INVALIDARG.
constexpr LONG OptionRead = 0x1000;
constexpr LONG OptionWrite = 0x1001;

}  // namespace vesk

struct ISplitterSettings : IUnknown {
  STDMETHOD(GetDeviceName)(char* buffer, DWORD size) = 0;
  STDMETHOD_(LONG, GetStartTime)() = 0;
  STDMETHOD_(LONG, GetEndTime)() = 0;
  STDMETHOD_(LONG, GetVideoChannelCount)() = 0;
  STDMETHOD_(LONG, GetAudioChannelCount)() = 0;
  STDMETHOD_(LONG, LoadExt2)() = 0;
  STDMETHOD_(LONG, IsChannelPresent)(LONG channel) = 0;
  STDMETHOD(SetPlayMode)(LONG mode) = 0;
  STDMETHOD(SetActiveAudio)(LONG index) = 0;
  STDMETHOD_(double, GetFrameRate)() = 0;
  STDMETHOD(SetPlaybackRate)(double rate) = 0;
  STDMETHOD_(double, GetPlaybackRate)() = 0;
  STDMETHOD(SetMute)(LONG on) = 0;
  STDMETHOD_(LONG, GetMute)() = 0;
  STDMETHOD_(LONG, GetActiveAudio)() = 0;
  STDMETHOD(SetActiveCamera)(LONG camera) = 0;
  STDMETHOD_(LONG, GetActiveCamera)() = 0;
  STDMETHOD_(LONG, GetConfigReport)(char* buffer, DWORD size) = 0;
  STDMETHOD(CameraOptionOp)(LONG index, LONG code, LONG* value) = 0;
  STDMETHOD(ShowTimeOp)(LONG code, LONG* value) = 0;
  STDMETHOD(ShowBpsOp)(LONG code, LONG* value) = 0;
  STDMETHOD(ShowActivityOp)(LONG code, LONG* value) = 0;
  STDMETHOD(ShowFpsOp)(LONG code, LONG* value) = 0;
  STDMETHOD(ShowSmoothOp)(LONG code, LONG* value) = 0;
  STDMETHOD(ShowBrightnessOp)(LONG code, LONG* value) = 0;
  STDMETHOD_(LONG, IsLocalSource)() = 0;
  // `buffer` holds at least 18 bytes.
  STDMETHOD(FormatTime)(LONG time, char* buffer) = 0;
  STDMETHOD(GetFrameSize)(DWORD* width, DWORD* height) = 0;
  STDMETHOD(SaveSettings)() = 0;
  STDMETHOD(LoadSettings)() = 0;
  STDMETHOD(SetAdjustments)(LONG brightness, LONG contrast, LONG reserved, LONG sharpness,
                            LONG smooth) = 0;
  STDMETHOD(SetNotifyWindow)(HWND window) = 0;
  // The prefix stays the caller's and must outlive its use by the filter.
  STDMETHOD(SaveSnapshot)(const char* prefix) = 0;
  STDMETHOD(SetFreezeMode)(LONG mode) = 0;
  STDMETHOD(StartRecording)(const char* prefix, DWORD maximum) = 0;
  STDMETHOD(StopRecording)() = 0;
  STDMETHOD(ResetIndexCursor)() = 0;
  STDMETHOD(FindActivity)(BYTE* pAstActivn, BYTE* pAstStop, ULONGLONG* it1, ULONGLONG* it2,
                          BYTE* pNCanal, DWORD* pAstTypeGisto, DWORD* Npor) = 0;
  STDMETHOD(SeekIndexEntry)(ULONGLONG* it1, ULONGLONG* it2) = 0;
  STDMETHOD(SetBrightness)(LONG value) = 0;
  STDMETHOD_(LONG, GetBrightness)() = 0;
  STDMETHOD(SetContrast)(LONG value) = 0;
  STDMETHOD_(LONG, GetContrast)() = 0;
  STDMETHOD(SetReservedAdjustment)(LONG value) = 0;
  STDMETHOD_(LONG, GetReservedAdjustment)() = 0;
  STDMETHOD(SetSharpness)(LONG value) = 0;
  STDMETHOD_(LONG, GetSharpness)() = 0;
  STDMETHOD(SetSmooth)(LONG value) = 0;
  STDMETHOD_(LONG, GetSmooth)() = 0;
  STDMETHOD(ApplyAdjustments)() = 0;
  STDMETHOD(SharpnessSliderOp)(LONG code, LONG* value) = 0;
  STDMETHOD(BrightnessSliderOp)(LONG code, LONG* value) = 0;
  STDMETHOD(SmoothSliderOp)(LONG code, LONG* value) = 0;
  STDMETHOD(ContrastSliderOp)(LONG code, LONG* value) = 0;
};
