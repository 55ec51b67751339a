// The module's one filter: a source filter that plays a recorder stream from a
// local file (navigable) or live over HTTP, with its output pins. It hosts the
// input side (reader, configuration, index, reading thread or download thread,
// demultiplexer) and answers the filter, file source, seeking, property page
// and settings interfaces as one object.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include <functional>

#include "filter/audio_output.h"
#include "filter/pin_owner.h"
#include "filter/settings_keeper.h"
#include "filter/video_output.h"
#include "input/demultiplexer.h"
#include "input/file_index.h"
#include "input/http_source.h"
#include "input/packet_reader.h"
#include "input/reading_thread.h"
#include "input/stream_configuration.h"
#include "platform/critical_section.h"
#include "platform/os_event.h"
#include "vesk/com_ptr.h"
#include "vesk/dshow.h"
#include "vesk/splitter_settings.h"

namespace vesk::filter {

class SplitterFilter final : public IBaseFilter,
                             public IAMovieSetup,
                             public IFileSourceFilter,
                             public IMediaSeeking,
                             public ISpecifyPropertyPages,
                             public ISplitterSettings,
                             private PinOwner,
                             private ChannelPresence,
                             private input::ConfigurationListener,
                             private input::DemultiplexerOutputs,
                             private input::StreamBroadcast,
                             private input::StreamAbortTarget {
 public:
  // The parts the module supplies, since they build on the filter: the pins
  // and the keeper of the settings.
  struct Parts {
    std::function<std::unique_ptr<AudioOutput>(PinOwner& owner, platform::CriticalSection& pinLock)>
        makeAudioPin;
    // Null with the reason in `result` when the pin cannot be made. The pin
    // asks `channels` which channels the recording has.
    std::function<std::unique_ptr<VideoOutput>(PinOwner& owner, platform::CriticalSection& pinLock,
                                               ChannelPresence& channels, HRESULT* result)>
        makeVideoPin;
    std::function<std::unique_ptr<SettingsKeeper>()> makeSettingsKeeper;
  };

  // The class factory's creation function: a new filter with no reference
  // taken yet, or nullptr with the reason in `result`.
  static SplitterFilter* Create(IUnknown* outer, const Parts& parts, HRESULT* result);

  // The unknown that owns the filter's lifetime when it is aggregated.
  IUnknown* NonDelegatingUnknown() { return &inner_; }

  // IUnknown, delegating to the controlling unknown.
  STDMETHOD(QueryInterface)(REFIID riid, void** object) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;

  // IPersist, IMediaFilter, IBaseFilter.
  STDMETHOD(GetClassID)(CLSID* classId) override;
  STDMETHOD(Stop)() override;
  STDMETHOD(Pause)() override;
  STDMETHOD(Run)(REFERENCE_TIME start) override;
  STDMETHOD(GetState)(DWORD timeoutMs, FILTER_STATE* state) override;
  STDMETHOD(SetSyncSource)(IReferenceClock* clock) override;
  STDMETHOD(GetSyncSource)(IReferenceClock** clock) override;
  STDMETHOD(EnumPins)(IEnumPins** pins) override;
  STDMETHOD(FindPin)(LPCWSTR id, IPin** pin) override;
  STDMETHOD(QueryFilterInfo)(FILTER_INFO* info) override;
  STDMETHOD(JoinFilterGraph)(IFilterGraph* graph, LPCWSTR name) override;
  STDMETHOD(QueryVendorInfo)(LPWSTR* vendorInfo) override;

  // IAMovieSetup: the module registers itself; the filter object does nothing.
  STDMETHOD(Register)() override;
  STDMETHOD(Unregister)() override;

  // IFileSourceFilter.
  STDMETHOD(Load)(LPCOLESTR name, const AM_MEDIA_TYPE* type) override;
  STDMETHOD(GetCurFile)(LPOLESTR* name, AM_MEDIA_TYPE* type) override;

  // IMediaSeeking, offered only while a local file is loaded.
  STDMETHOD(GetCapabilities)(DWORD* capabilities) override;
  STDMETHOD(CheckCapabilities)(DWORD* capabilities) override;
  STDMETHOD(IsFormatSupported)(const GUID* format) override;
  STDMETHOD(QueryPreferredFormat)(GUID* format) override;
  STDMETHOD(GetTimeFormat)(GUID* format) override;
  STDMETHOD(IsUsingTimeFormat)(const GUID* format) override;
  STDMETHOD(SetTimeFormat)(const GUID* format) override;
  STDMETHOD(GetDuration)(LONGLONG* duration) override;
  STDMETHOD(GetStopPosition)(LONGLONG* stop) override;
  STDMETHOD(GetCurrentPosition)(LONGLONG* current) override;
  STDMETHOD(ConvertTimeFormat)(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                               const GUID* sourceFormat) override;
  STDMETHOD(SetPositions)(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                          DWORD stopFlags) override;
  STDMETHOD(GetPositions)(LONGLONG* current, LONGLONG* stop) override;
  STDMETHOD(GetAvailable)(LONGLONG* earliest, LONGLONG* latest) override;
  STDMETHOD(SetRate)(double rate) override;
  STDMETHOD(GetRate)(double* rate) override;
  STDMETHOD(GetPreroll)(LONGLONG* preroll) override;

  // ISpecifyPropertyPages.
  STDMETHOD(GetPages)(CAUUID* pages) override;

  // ISplitterSettings.
  STDMETHOD(GetDeviceName)(char* buffer, DWORD size) override;
  STDMETHOD_(LONG, GetStartTime)() override;
  STDMETHOD_(LONG, GetEndTime)() override;
  STDMETHOD_(LONG, GetVideoChannelCount)() override;
  STDMETHOD_(LONG, GetAudioChannelCount)() override;
  STDMETHOD_(LONG, LoadExt2)() override;
  STDMETHOD_(LONG, IsChannelPresent)(LONG channel) override;
  STDMETHOD(SetPlayMode)(LONG mode) override;
  STDMETHOD(SetActiveAudio)(LONG index) override;
  STDMETHOD_(double, GetFrameRate)() override;
  STDMETHOD(SetPlaybackRate)(double rate) override;
  STDMETHOD_(double, GetPlaybackRate)() override;
  STDMETHOD(SetMute)(LONG on) override;
  STDMETHOD_(LONG, GetMute)() override;
  STDMETHOD_(LONG, GetActiveAudio)() override;
  STDMETHOD(SetActiveCamera)(LONG camera) override;
  STDMETHOD_(LONG, GetActiveCamera)() override;
  STDMETHOD_(LONG, GetConfigReport)(char* buffer, DWORD size) override;
  STDMETHOD(CameraOptionOp)(LONG index, LONG code, LONG* value) override;
  STDMETHOD(ShowTimeOp)(LONG code, LONG* value) override;
  STDMETHOD(ShowBpsOp)(LONG code, LONG* value) override;
  STDMETHOD(ShowActivityOp)(LONG code, LONG* value) override;
  STDMETHOD(ShowFpsOp)(LONG code, LONG* value) override;
  STDMETHOD(ShowSmoothOp)(LONG code, LONG* value) override;
  STDMETHOD(ShowBrightnessOp)(LONG code, LONG* value) override;
  STDMETHOD_(LONG, IsLocalSource)() override;
  STDMETHOD(FormatTime)(LONG time, char* buffer) override;
  STDMETHOD(GetFrameSize)(DWORD* width, DWORD* height) override;
  STDMETHOD(SaveSettings)() override;
  STDMETHOD(LoadSettings)() override;
  STDMETHOD(SetAdjustments)(LONG brightness, LONG contrast, LONG reserved, LONG sharpness,
                            LONG smooth) override;
  STDMETHOD(SetNotifyWindow)(HWND window) override;
  STDMETHOD(SaveSnapshot)(const char* prefix) override;
  STDMETHOD(SetFreezeMode)(LONG mode) override;
  STDMETHOD(StartRecording)(const char* prefix, DWORD maximum) override;
  STDMETHOD(StopRecording)() override;
  STDMETHOD(ResetIndexCursor)() override;
  STDMETHOD(FindActivity)(BYTE* pAstActivn, BYTE* pAstStop, ULONGLONG* it1, ULONGLONG* it2,
                          BYTE* pNCanal, DWORD* pAstTypeGisto, DWORD* Npor) override;
  STDMETHOD(SeekIndexEntry)(ULONGLONG* it1, ULONGLONG* it2) override;
  STDMETHOD(SetBrightness)(LONG value) override;
  STDMETHOD_(LONG, GetBrightness)() override;
  STDMETHOD(SetContrast)(LONG value) override;
  STDMETHOD_(LONG, GetContrast)() override;
  STDMETHOD(SetReservedAdjustment)(LONG value) override;
  STDMETHOD_(LONG, GetReservedAdjustment)() override;
  STDMETHOD(SetSharpness)(LONG value) override;
  STDMETHOD_(LONG, GetSharpness)() override;
  STDMETHOD(SetSmooth)(LONG value) override;
  STDMETHOD_(LONG, GetSmooth)() override;
  STDMETHOD(ApplyAdjustments)() override;
  STDMETHOD(SharpnessSliderOp)(LONG code, LONG* value) override;
  STDMETHOD(BrightnessSliderOp)(LONG code, LONG* value) override;
  STDMETHOD(SmoothSliderOp)(LONG code, LONG* value) override;
  STDMETHOD(ContrastSliderOp)(LONG code, LONG* value) override;

  // The pins, by position: 0 the audio pin, 1 the video pin.
  int GetPinCount() const;
  StreamPin* GetPin(int n);

 private:
  // The filter's own reference count, reached directly when not aggregated.
  struct InnerUnknown final : IUnknown {
    explicit InnerUnknown(SplitterFilter& filter) : filter(filter) {}
    STDMETHOD(QueryInterface)(REFIID riid, void** object) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    SplitterFilter& filter;
  };

  SplitterFilter(IUnknown* outer, const Parts& parts);
  ~SplitterFilter();
  HRESULT NonDelegatingQueryInterface(REFIID riid, void** object);

  // PinOwner.
  IUnknown* OwnerUnknown() override { return outer_; }
  IBaseFilter* OwnerFilter() override { return this; }
  bool IsStopped() override;

  // ChannelPresence, as the settings interface answers it.
  bool ChannelPresent(int channel) override { return IsChannelPresent(channel) != 0; }

  // ConfigurationListener: the pins take their records, the reader its status channel.
  void SetVideoChannelDescription(const input::ChannelRecord& record) override;
  void SetAudioChannelDescription(const input::ChannelRecord& record) override;
  void SetStatusChannel(int channel) override;
  void ConfigurationParsed() override;

  // DemultiplexerOutputs and StreamBroadcast: the connected pins.
  bool VideoConnected() override;
  bool AudioConnected() override;
  void DeliverVideo(input::Packet& packet) override;
  void DeliverAudio(input::Packet& packet) override;
  void SetClock(std::uint32_t seconds) override;
  void ShowTotalBytesPerSecond(double bytesPerSecond) override;
  bool SnapshotFreezeHeld() override;
  void ReleaseSnapshotFreeze() override;
  void DispatchPacket(input::Packet& packet) override;
  void EndOfStreamAll() override;
  void BeginFlushAll() override;
  void EndFlushAll() override;
  // StreamAbortTarget: the live stream failed; the graph hears why with EC_ERRORABORT.
  void AbortStream(HRESULT why) override;
  template <typename Delivery>
  void Broadcast(Delivery deliver);
  void NewSegmentAll() override;

  HRESULT StartProducer();
  std::string FreezePrefix();
  // Changes the filter's adjustments and hands all five to the video pin.
  template <typename Change>
  HRESULT ChangeAdjustments(Change change);
  PictureAdjustments Adjustments();
  void StopProducer();
  bool LocalFileLoaded() const;

  InnerUnknown inner_{*this};
  IUnknown* outer_;  // the controlling unknown: the aggregating object, or inner_
  std::atomic<ULONG> references_{0};

  // Guards the filter state, clock and graph membership. Taken after pinLock_.
  platform::CriticalSection filterLock_;
  // The pins' lock; Pause, Stop and JoinFilterGraph hold it around state changes.
  platform::CriticalSection pinLock_;
  // Guards rate_ and the reading of the current position.
  platform::CriticalSection seekLock_;
  // Set by Stop and by a flush: a producer waiting in flow control gives up.
  platform::OsEvent stopEvent_;

  // Written under filterLock_; read without it by a producer that reconnects.
  std::atomic<FILTER_STATE> state_{State_Stopped};
  REFERENCE_TIME startTime_ = 0;
  ComPtr<IReferenceClock> clock_;
  IFilterGraph* graph_ = nullptr;  // not owned: the graph owns its filters
  WideString graphName_;

  input::PacketReader reader_;
  input::StreamConfiguration configuration_{this};
  input::Demultiplexer demux_;
  input::FileIndex index_;
  input::SharedFile file_;
  input::PlaybackCursor cursor_;
  std::unique_ptr<input::ReadingThread> readingThread_;
  std::unique_ptr<input::HttpSource> httpSource_;

  WideString sourceName_;  // as given to Load; empty before
  bool sourceNamed_ = false;
  std::atomic<bool> localFileLoaded_{false};
  double rate_ = 1.0;  // guarded by seekLock_

  std::unique_ptr<AudioOutput> audioPin_;
  std::unique_ptr<VideoOutput> videoPin_;
  HRESULT videoPinResult_ = S_OK;
  std::unique_ptr<SettingsKeeper> settingsKeeper_;
  // Serialises changes of the two selections below.
  std::mutex selectionLock_;
  std::atomic<LONG> activeAudio_{0};
  std::atomic<LONG> activeCamera_{-1};

  // The settings thread's copies, handed on to the video pin.
  std::mutex adjustmentsLock_;  // guards adjustments_
  PictureAdjustments adjustments_;
  // 2 while a snapshot holds the picture; the reading side releases it.
  std::atomic<LONG> freezeMode_{0};
  std::mutex captureLock_;  // guards freezePrefix_
  std::string freezePrefix_;
};

}  // namespace vesk::filter
