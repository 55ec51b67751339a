// The DirectShow interfaces and structures the module implements or calls, and
// those our own media host needs to drive it.
//
// On Windows the SDK headers provide them; elsewhere this header declares them
// with the platform's vtable order, structure layout and GUID values, so that a
// module built here talks to a host built here exactly as it would on Windows.
// The media type helpers at the end serve both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "vesk/com.h"

#ifdef _WIN32
#include <windows.h>
#include <mmreg.h>
#include <dshow.h>
#else

// ---- Basic types ---------------------------------------------------------

using UINT = unsigned int;
using ULONGLONG = std::uint64_t;
using LONG_PTR = std::intptr_t;
using DWORD_PTR = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LCID = DWORD;
using PVOID = void*;
using LPVOID = void*;
using HANDLE = void*;
using HEVENT = DWORD_PTR;
using HSEMAPHORE = DWORD_PTR;
using LPOLESTR = WCHAR*;
using LPCOLESTR = const WCHAR*;
struct HWND__;
using HWND = HWND__*;

constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;

// ---- DirectShow result codes ----------------------------------------------

constexpr HRESULT VFW_E_INVALIDMEDIATYPE = MakeHresult(0x80040200u);
constexpr HRESULT VFW_E_ALREADY_CONNECTED = MakeHresult(0x80040204u);
constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = MakeHresult(0x80040207u);
constexpr HRESULT VFW_E_BUFFER_OVERFLOW = MakeHresult(0x8004020Du);
constexpr HRESULT VFW_E_BADALIGN = MakeHresult(0x8004020Eu);
constexpr HRESULT VFW_E_ALREADY_COMMITTED = MakeHresult(0x8004020Fu);
constexpr HRESULT VFW_E_BUFFERS_OUTSTANDING = MakeHresult(0x80040210u);
constexpr HRESULT VFW_E_NOT_COMMITTED = MakeHresult(0x80040211u);
constexpr HRESULT VFW_E_SIZENOTSET = MakeHresult(0x80040212u);
constexpr HRESULT VFW_E_NOT_FOUND = MakeHresult(0x80040216u);
constexpr HRESULT VFW_E_CANNOT_CONNECT = MakeHresult(0x80040217u);
constexpr HRESULT VFW_E_NOT_STOPPED = MakeHresult(0x80040224u);
constexpr HRESULT VFW_E_WRONG_STATE = MakeHresult(0x80040227u);
constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = MakeHresult(0x8004022Au);
constexpr HRESULT VFW_E_DUPLICATE_NAME = MakeHresult(0x8004022Du);
constexpr HRESULT VFW_E_TIMEOUT = MakeHresult(0x8004022Eu);
constexpr HRESULT VFW_S_DUPLICATE_NAME = 0x0004022D;
constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = MakeHresult(0x80040249u);
constexpr HRESULT VFW_E_MEDIA_TIME_NOT_SET = MakeHresult(0x80040251u);
constexpr HRESULT VFW_S_NO_STOP_TIME = 0x00040270;
constexpr HRESULT VFW_E_PIN_ALREADY_BLOCKED_ON_THIS_THREAD = MakeHresult(0x80040293u);
constexpr HRESULT VFW_E_PIN_ALREADY_BLOCKED = MakeHresult(0x80040294u);

// ---- Structures -------------------------------------------------------------

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
using LPCRECT = const RECT*;

struct POINT {
  LONG x;
  LONG y;
};

struct SIZE {
  LONG cx;
  LONG cy;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_BITFIELDS = 3;

struct VIDEOINFOHEADER {
  RECT rcSource;
  RECT rcTarget;
  DWORD dwBitRate;
  DWORD dwBitErrorRate;
  REFERENCE_TIME AvgTimePerFrame;
  BITMAPINFOHEADER bmiHeader;
};
static_assert(sizeof(VIDEOINFOHEADER) == 88);

// Packed as on the platform: 18 bytes, cbSize right after wBitsPerSample.
#pragma pack(push, 1)
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

constexpr WORD WAVE_FORMAT_PCM = 1;

struct AM_MEDIA_TYPE {
  GUID majortype;
  GUID subtype;
  BOOL bFixedSizeSamples;
  BOOL bTemporalCompression;
  ULONG lSampleSize;
  GUID formattype;
  IUnknown* pUnk;
  ULONG cbFormat;
  BYTE* pbFormat;
};

struct ALLOCATOR_PROPERTIES {
  LONG cBuffers;
  LONG cbBuffer;
  LONG cbAlign;
  LONG cbPrefix;
};

enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

enum FILTER_STATE { State_Stopped = 0, State_Paused = 1, State_Running = 2 };

constexpr std::size_t MAX_PIN_NAME = 128;
constexpr std::size_t MAX_FILTER_NAME = 128;

struct IBaseFilter;
struct IFilterGraph;

struct PIN_INFO {
  IBaseFilter* pFilter;
  PIN_DIRECTION dir;
  WCHAR achName[MAX_PIN_NAME];
};

struct FILTER_INFO {
  WCHAR achName[MAX_FILTER_NAME];
  IFilterGraph* pGraph;
};

struct CAUUID {
  ULONG cElems;
  GUID* pElems;
};

struct PROPPAGEINFO {
  ULONG cb;
  LPOLESTR pszTitle;
  SIZE size;
  LPOLESTR pszDocString;
  LPOLESTR pszHelpFile;
  DWORD dwHelpContext;
};

enum QualityMessageType { Famine = 0, Flood = 1 };

struct Quality {
  QualityMessageType Type;
  LONG Proportion;
  REFERENCE_TIME Late;
  REFERENCE_TIME TimeStamp;
};

struct REGPINTYPES {
  const CLSID* clsMajorType;
  const CLSID* clsMinorType;
};

struct REGPINMEDIUM {
  CLSID clsMedium;
  DWORD dw1;
  DWORD dw2;
};

struct REGFILTERPINS {
  LPWSTR strName;
  BOOL bRendered;
  BOOL bOutput;
  BOOL bZero;
  BOOL bMany;
  const CLSID* clsConnectsToFilter;
  const WCHAR* strConnectsToPin;
  UINT nMediaTypes;
  const REGPINTYPES* lpMediaType;
};

struct REGFILTERPINS2 {
  DWORD dwFlags;
  UINT cInstances;
  UINT nMediaTypes;
  const REGPINTYPES* lpMediaType;
  UINT nMediums;
  const REGPINMEDIUM* lpMedium;
  const CLSID* clsPinCategory;
};

struct REGFILTER2 {
  DWORD dwVersion;
  DWORD dwMerit;
  union {
    struct {
      ULONG cPins;
      const REGFILTERPINS* rgPins;
    };
    struct {
      ULONG cPins2;
      const REGFILTERPINS2* rgPins2;
    };
  };
};

// ---- Flags and constants ----------------------------------------------------

constexpr DWORD MERIT_DO_NOT_USE = 0x00200000;

// IMediaSeeking::SetPositions flags.
constexpr DWORD AM_SEEKING_NoPositioning = 0x0;
constexpr DWORD AM_SEEKING_AbsolutePositioning = 0x1;
constexpr DWORD AM_SEEKING_RelativePositioning = 0x2;
constexpr DWORD AM_SEEKING_IncrementalPositioning = 0x3;
constexpr DWORD AM_SEEKING_PositioningBitsMask = 0x3;
constexpr DWORD AM_SEEKING_SeekToKeyFrame = 0x4;
constexpr DWORD AM_SEEKING_ReturnTime = 0x8;
constexpr DWORD AM_SEEKING_Segment = 0x10;
constexpr DWORD AM_SEEKING_NoFlush = 0x20;

// IMediaSeeking capabilities.
constexpr DWORD AM_SEEKING_CanSeekAbsolute = 0x1;
constexpr DWORD AM_SEEKING_CanSeekForwards = 0x2;
constexpr DWORD AM_SEEKING_CanSeekBackwards = 0x4;
constexpr DWORD AM_SEEKING_CanGetCurrentPos = 0x8;
constexpr DWORD AM_SEEKING_CanGetStopPos = 0x10;
constexpr DWORD AM_SEEKING_CanGetDuration = 0x20;
constexpr DWORD AM_SEEKING_CanPlayBackwards = 0x40;
constexpr DWORD AM_SEEKING_CanDoSegments = 0x80;
constexpr DWORD AM_SEEKING_Source = 0x100;

// IGraphConfig::Reconnect flags.
constexpr DWORD AM_GRAPH_CONFIG_RECONNECT_DIRECTCONNECT = 0x1;
constexpr DWORD AM_GRAPH_CONFIG_RECONNECT_CACHE_REMOVED_FILTERS = 0x2;
constexpr DWORD AM_GRAPH_CONFIG_RECONNECT_USE_ONLY_CACHED_FILTERS = 0x4;

// IPinFlowControl::Block flags.
constexpr DWORD AM_PIN_FLOW_CONTROL_BLOCK = 0x1;

// IMemAllocator::GetBuffer flags.
constexpr DWORD AM_GBF_PREVFRAMESKIPPED = 0x1;
constexpr DWORD AM_GBF_NOTASYNCPOINT = 0x2;
constexpr DWORD AM_GBF_NOWAIT = 0x4;

// IMediaEventSink event codes.
constexpr LONG EC_COMPLETE = 0x01;

// ---- GUIDs ------------------------------------------------------------------

inline constexpr GUID GUID_NULL = {0x00000000, 0x0000, 0x0000, {0, 0, 0, 0, 0, 0, 0, 0}};

inline constexpr IID IID_IPersist = {0x0000010C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IMediaFilter = {0x56A86899, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IBaseFilter = {0x56A86895, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IReferenceClock = {0x56A86897, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IEnumPins = {0x56A86892, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IPin = {0x56A86891, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IEnumMediaTypes = {0x89C31040, 0x846B, 0x11CE, {0x97, 0xD3, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
inline constexpr IID IID_IMemInputPin = {0x56A8689D, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMemAllocator = {0x56A8689C, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMediaSample = {0x56A8689A, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IFilterGraph = {0x56A8689F, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMediaEventSink = {0x56A868A2, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IGraphConfig = {0x03A1EB8E, 0x32BF, 0x4245, {0x85, 0x02, 0x11, 0x4D, 0x08, 0xA9, 0xCB, 0x88}};
inline constexpr IID IID_IGraphConfigCallback = {0xADE0FD60, 0xD19D, 0x11D2, {0xAB, 0xF6, 0x00, 0xA0, 0xC9, 0x05, 0xF3, 0x75}};
inline constexpr IID IID_IFileSourceFilter = {0x56A868A6, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMediaSeeking = {0x36B73880, 0xC2C8, 0x11CF, {0x8B, 0x46, 0x00, 0x80, 0x5F, 0x6C, 0xEF, 0x60}};
inline constexpr IID IID_ISpecifyPropertyPages = {0xB196B28B, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IPropertyPage = {0xB196B28D, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IPropertyPageSite = {0xB196B28C, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IQualityControl = {0x56A868A5, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IPinFlowControl = {0xC56E9858, 0xDBF3, 0x4F6B, {0x81, 0x19, 0x38, 0x4A, 0xF2, 0x06, 0x0D, 0xEB}};
inline constexpr IID IID_IAMovieSetup = {0xA3D8CEC0, 0x7E5A, 0x11CF, {0xBB, 0xC5, 0x00, 0x80, 0x5F, 0x6C, 0xEF, 0x20}};
inline constexpr IID IID_IFilterMapper2 = {0xB79BB0B0, 0x33C1, 0x11D1, {0xAB, 0xE1, 0x00, 0xA0, 0xC9, 0x05, 0xF3, 0x75}};
inline constexpr IID IID_IFilterMapper = {0x56A868A3, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

inline constexpr CLSID CLSID_FilterMapper2 = {0xCDA42200, 0xBD88, 0x11D0, {0xBD, 0x4E, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
inline constexpr CLSID CLSID_FilterMapper = {0xE436EBB2, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr CLSID CLSID_MemoryAllocator = {0x1E651CC0, 0xB199, 0x11D0, {0x82, 0x12, 0x00, 0xC0, 0x4F, 0xC3, 0x2C, 0x45}};

inline constexpr GUID MEDIATYPE_Video = {0x73646976, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID MEDIATYPE_Audio = {0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID MEDIASUBTYPE_RGB32 = {0xE436EB7E, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID MEDIASUBTYPE_RGB24 = {0xE436EB7D, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID MEDIASUBTYPE_RGB565 = {0xE436EB7B, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID MEDIASUBTYPE_RGB555 = {0xE436EB7C, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
// The subtype of WAVE_FORMAT_PCM: the format tag in the FOURCC template.
inline constexpr GUID MEDIASUBTYPE_PCM = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID FORMAT_VideoInfo = {0x05589F80, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
inline constexpr GUID FORMAT_WaveFormatEx = {0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
inline constexpr GUID TIME_FORMAT_MEDIA_TIME = {0x7B785574, 0x8C82, 0x11CF, {0xBC, 0x0C, 0x00, 0xAA, 0x00, 0xAC, 0x74, 0xF6}};

// ---- Interfaces -------------------------------------------------------------
// Nothing here calls these; they are only passed by pointer.
struct IEnumFilters;
struct IEnumMoniker;
struct IEnumRegFilters;
struct IMoniker;
struct IPinConnection;

// Declared below.
struct IEnumPins;
struct IEnumMediaTypes;
struct IMemAllocator;
struct IMediaSample;
struct IPin;
struct IPropertyPageSite;

struct IPersist : IUnknown {
  STDMETHOD(GetClassID)(CLSID* classId) = 0;
};

struct IReferenceClock : IUnknown {
  STDMETHOD(GetTime)(REFERENCE_TIME* time) = 0;
  STDMETHOD(AdviseTime)(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT event,
                        DWORD_PTR* adviseCookie) = 0;
  STDMETHOD(AdvisePeriodic)(REFERENCE_TIME startTime, REFERENCE_TIME periodTime,
                            HSEMAPHORE semaphore, DWORD_PTR* adviseCookie) = 0;
  STDMETHOD(Unadvise)(DWORD_PTR adviseCookie) = 0;
};

struct IMediaFilter : IPersist {
  STDMETHOD(Stop)() = 0;
  STDMETHOD(Pause)() = 0;
  STDMETHOD(Run)(REFERENCE_TIME start) = 0;
  STDMETHOD(GetState)(DWORD milliSecsTimeout, FILTER_STATE* state) = 0;
  STDMETHOD(SetSyncSource)(IReferenceClock* clock) = 0;
  STDMETHOD(GetSyncSource)(IReferenceClock** clock) = 0;
};

struct IBaseFilter : IMediaFilter {
  STDMETHOD(EnumPins)(IEnumPins** pins) = 0;
  STDMETHOD(FindPin)(LPCWSTR id, IPin** pin) = 0;
  STDMETHOD(QueryFilterInfo)(FILTER_INFO* info) = 0;
  STDMETHOD(JoinFilterGraph)(IFilterGraph* graph, LPCWSTR name) = 0;
  STDMETHOD(QueryVendorInfo)(LPWSTR* vendorInfo) = 0;
};

struct IEnumPins : IUnknown {
  STDMETHOD(Next)(ULONG count, IPin** pins, ULONG* fetched) = 0;
  STDMETHOD(Skip)(ULONG count) = 0;
  STDMETHOD(Reset)() = 0;
  STDMETHOD(Clone)(IEnumPins** clone) = 0;
};

struct IPin : IUnknown {
  STDMETHOD(Connect)(IPin* receivePin, const AM_MEDIA_TYPE* type) = 0;
  STDMETHOD(ReceiveConnection)(IPin* connector, const AM_MEDIA_TYPE* type) = 0;
  STDMETHOD(Disconnect)() = 0;
  STDMETHOD(ConnectedTo)(IPin** pin) = 0;
  STDMETHOD(ConnectionMediaType)(AM_MEDIA_TYPE* type) = 0;
  STDMETHOD(QueryPinInfo)(PIN_INFO* info) = 0;
  STDMETHOD(QueryDirection)(PIN_DIRECTION* direction) = 0;
  STDMETHOD(QueryId)(LPWSTR* id) = 0;
  STDMETHOD(QueryAccept)(const AM_MEDIA_TYPE* type) = 0;
  STDMETHOD(EnumMediaTypes)(IEnumMediaTypes** types) = 0;
  STDMETHOD(QueryInternalConnections)(IPin** pins, ULONG* count) = 0;
  STDMETHOD(EndOfStream)() = 0;
  STDMETHOD(BeginFlush)() = 0;
  STDMETHOD(EndFlush)() = 0;
  STDMETHOD(NewSegment)(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) = 0;
};

struct IEnumMediaTypes : IUnknown {
  STDMETHOD(Next)(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) = 0;
  STDMETHOD(Skip)(ULONG count) = 0;
  STDMETHOD(Reset)() = 0;
  STDMETHOD(Clone)(IEnumMediaTypes** clone) = 0;
};

struct IMemInputPin : IUnknown {
  STDMETHOD(GetAllocator)(IMemAllocator** allocator) = 0;
  STDMETHOD(NotifyAllocator)(IMemAllocator* allocator, BOOL readOnly) = 0;
  STDMETHOD(GetAllocatorRequirements)(ALLOCATOR_PROPERTIES* properties) = 0;
  STDMETHOD(Receive)(IMediaSample* sample) = 0;
  STDMETHOD(ReceiveMultiple)(IMediaSample** samples, LONG count, LONG* processed) = 0;
  STDMETHOD(ReceiveCanBlock)() = 0;
};

struct IMemAllocator : IUnknown {
  STDMETHOD(SetProperties)(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) = 0;
  STDMETHOD(GetProperties)(ALLOCATOR_PROPERTIES* properties) = 0;
  STDMETHOD(Commit)() = 0;
  STDMETHOD(Decommit)() = 0;
  STDMETHOD(GetBuffer)(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                       DWORD flags) = 0;
  STDMETHOD(ReleaseBuffer)(IMediaSample* sample) = 0;
};

struct IMediaSample : IUnknown {
  STDMETHOD(GetPointer)(BYTE** buffer) = 0;
  STDMETHOD_(LONG, GetSize)() = 0;
  STDMETHOD(GetTime)(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;
  STDMETHOD(SetTime)(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;
  STDMETHOD(IsSyncPoint)() = 0;
  STDMETHOD(SetSyncPoint)(BOOL syncPoint) = 0;
  STDMETHOD(IsPreroll)() = 0;
  STDMETHOD(SetPreroll)(BOOL preroll) = 0;
  STDMETHOD_(LONG, GetActualDataLength)() = 0;
  STDMETHOD(SetActualDataLength)(LONG length) = 0;
  STDMETHOD(GetMediaType)(AM_MEDIA_TYPE** type) = 0;
  STDMETHOD(SetMediaType)(AM_MEDIA_TYPE* type) = 0;
  STDMETHOD(IsDiscontinuity)() = 0;
  STDMETHOD(SetDiscontinuity)(BOOL discontinuity) = 0;
  STDMETHOD(GetMediaTime)(LONGLONG* start, LONGLONG* stop) = 0;
  STDMETHOD(SetMediaTime)(LONGLONG* start, LONGLONG* stop) = 0;
};

struct IFilterGraph : IUnknown {
  STDMETHOD(AddFilter)(IBaseFilter* filter, LPCWSTR name) = 0;
  STDMETHOD(RemoveFilter)(IBaseFilter* filter) = 0;
  STDMETHOD(EnumFilters)(IEnumFilters** filters) = 0;
  STDMETHOD(FindFilterByName)(LPCWSTR name, IBaseFilter** filter) = 0;
  STDMETHOD(ConnectDirect)(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) = 0;
  STDMETHOD(Reconnect)(IPin* pin) = 0;
  STDMETHOD(Disconnect)(IPin* pin) = 0;
  STDMETHOD(SetDefaultSyncSource)() = 0;
};

struct IMediaEventSink : IUnknown {
  STDMETHOD(Notify)(LONG eventCode, LONG_PTR param1, LONG_PTR param2) = 0;
};

struct IGraphConfigCallback : IUnknown {
  STDMETHOD(Reconfigure)(PVOID context, DWORD flags) = 0;
};

struct IGraphConfig : IUnknown {
  STDMETHOD(Reconnect)(IPin* outputPin, IPin* inputPin, const AM_MEDIA_TYPE* firstConnection,
                       IBaseFilter* usingFilter, HANDLE abortEvent, DWORD flags) = 0;
  STDMETHOD(Reconfigure)(IGraphConfigCallback* callback, PVOID context, DWORD flags,
                         HANDLE abortEvent) = 0;
  STDMETHOD(AddFilterToCache)(IBaseFilter* filter) = 0;
  STDMETHOD(EnumCacheFilter)(IEnumFilters** filters) = 0;
  STDMETHOD(RemoveFilterFromCache)(IBaseFilter* filter) = 0;
  STDMETHOD(GetStartTime)(REFERENCE_TIME* start) = 0;
  STDMETHOD(PushThroughData)(IPin* outputPin, IPinConnection* connection, HANDLE abortEvent) = 0;
  STDMETHOD(SetFilterFlags)(IBaseFilter* filter, DWORD flags) = 0;
  STDMETHOD(GetFilterFlags)(IBaseFilter* filter, DWORD* flags) = 0;
  STDMETHOD(RemoveFilterEx)(IBaseFilter* filter, DWORD flags) = 0;
};

struct IFileSourceFilter : IUnknown {
  STDMETHOD(Load)(LPCOLESTR fileName, const AM_MEDIA_TYPE* type) = 0;
  STDMETHOD(GetCurFile)(LPOLESTR* fileName, AM_MEDIA_TYPE* type) = 0;
};

struct IMediaSeeking : IUnknown {
  STDMETHOD(GetCapabilities)(DWORD* capabilities) = 0;
  STDMETHOD(CheckCapabilities)(DWORD* capabilities) = 0;
  STDMETHOD(IsFormatSupported)(const GUID* format) = 0;
  STDMETHOD(QueryPreferredFormat)(GUID* format) = 0;
  STDMETHOD(GetTimeFormat)(GUID* format) = 0;
  STDMETHOD(IsUsingTimeFormat)(const GUID* format) = 0;
  STDMETHOD(SetTimeFormat)(const GUID* format) = 0;
  STDMETHOD(GetDuration)(LONGLONG* duration) = 0;
  STDMETHOD(GetStopPosition)(LONGLONG* stop) = 0;
  STDMETHOD(GetCurrentPosition)(LONGLONG* current) = 0;
  STDMETHOD(ConvertTimeFormat)(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                               const GUID* sourceFormat) = 0;
  STDMETHOD(SetPositions)(LONGLONG* current, DWORD currentFlags, LONGLONG* stop,
                          DWORD stopFlags) = 0;
  STDMETHOD(GetPositions)(LONGLONG* current, LONGLONG* stop) = 0;
  STDMETHOD(GetAvailable)(LONGLONG* earliest, LONGLONG* latest) = 0;
  STDMETHOD(SetRate)(double rate) = 0;
  STDMETHOD(GetRate)(double* rate) = 0;
  STDMETHOD(GetPreroll)(LONGLONG* preroll) = 0;
};

struct ISpecifyPropertyPages : IUnknown {
  STDMETHOD(GetPages)(CAUUID* pages) = 0;
};

struct IPropertyPage : IUnknown {
  STDMETHOD(SetPageSite)(IPropertyPageSite* site) = 0;
  STDMETHOD(Activate)(HWND parent, LPCRECT rect, BOOL modal) = 0;
  STDMETHOD(Deactivate)() = 0;
  STDMETHOD(GetPageInfo)(PROPPAGEINFO* info) = 0;
  STDMETHOD(SetObjects)(ULONG count, IUnknown** objects) = 0;
  STDMETHOD(Show)(UINT cmdShow) = 0;
  STDMETHOD(Move)(LPCRECT rect) = 0;
  STDMETHOD(IsPageDirty)() = 0;
  STDMETHOD(Apply)() = 0;
  STDMETHOD(Help)(LPCOLESTR helpDir) = 0;
  STDMETHOD(TranslateAccelerator)(MSG* message) = 0;
};

struct IPropertyPageSite : IUnknown {
  STDMETHOD(OnStatusChange)(DWORD flags) = 0;
  STDMETHOD(GetLocaleID)(LCID* localeId) = 0;
  STDMETHOD(GetPageContainer)(IUnknown** container) = 0;
  STDMETHOD(TranslateAccelerator)(MSG* message) = 0;
};

struct IQualityControl : IUnknown {
  STDMETHOD(Notify)(IBaseFilter* self, Quality quality) = 0;
  STDMETHOD(SetSink)(IQualityControl* sink) = 0;
};

struct IPinFlowControl : IUnknown {
  STDMETHOD(Block)(DWORD flags, HANDLE event) = 0;
};

struct IAMovieSetup : IUnknown {
  STDMETHOD(Register)() = 0;
  STDMETHOD(Unregister)() = 0;
};

struct IFilterMapper2 : IUnknown {
  STDMETHOD(CreateCategory)(REFCLSID category, DWORD categoryMerit, LPCWSTR description) = 0;
  STDMETHOD(UnregisterFilter)(const CLSID* category, LPCOLESTR instance, REFCLSID filter) = 0;
  STDMETHOD(RegisterFilter)(REFCLSID filter, LPCWSTR name, IMoniker** moniker,
                            const CLSID* category, LPCOLESTR instance,
                            const REGFILTER2* registration) = 0;
  STDMETHOD(EnumMatchingFilters)(IEnumMoniker** filters, DWORD flags, BOOL exactMatch,
                                 DWORD merit, BOOL inputNeeded, DWORD inputTypeCount,
                                 const GUID* inputTypes, const REGPINMEDIUM* inputMedium,
                                 const CLSID* inputPinCategory, BOOL render, BOOL outputNeeded,
                                 DWORD outputTypeCount, const GUID* outputTypes,
                                 const REGPINMEDIUM* outputMedium,
                                 const CLSID* outputPinCategory) = 0;
};

struct IFilterMapper : IUnknown {
  STDMETHOD(RegisterFilter)(CLSID filter, LPCWSTR name, DWORD merit) = 0;
  STDMETHOD(RegisterFilterInstance)(CLSID filter, LPCWSTR name, CLSID* instance) = 0;
  STDMETHOD(RegisterPin)(CLSID filter, LPCWSTR name, BOOL rendered, BOOL output, BOOL zero,
                         BOOL many, CLSID connectsToFilter, LPCWSTR connectsToPin) = 0;
  STDMETHOD(RegisterPinType)(CLSID filter, LPCWSTR pinName, CLSID majorType, CLSID subType) = 0;
  STDMETHOD(UnregisterFilter)(CLSID filter) = 0;
  STDMETHOD(UnregisterFilterInstance)(CLSID instance) = 0;
  STDMETHOD(UnregisterPin)(CLSID filter, LPCWSTR name) = 0;
  STDMETHOD(EnumMatchingFilters)(IEnumRegFilters** filters, DWORD merit, BOOL inputNeeded,
                                 CLSID inputMajor, CLSID inputSub, BOOL render,
                                 BOOL outputNeeded, CLSID outputMajor, CLSID outputSub) = 0;
};

// Task memory: what one side allocates and the other frees (media type formats,
// pin ids, property page lists). The module and the host share one C library.
inline LPVOID CoTaskMemAlloc(std::size_t size) { return std::malloc(size); }
inline void CoTaskMemFree(LPVOID memory) { std::free(memory); }

#endif  // _WIN32

// ---- Media type helpers -------------------------------------------------------
// The platform leaves these to each filter; both sides here use the same ones.
namespace vesk {

// Releases what the type owns (format block, format object) and clears those fields.
inline void FreeMediaType(AM_MEDIA_TYPE& type) {
  CoTaskMemFree(type.pbFormat);
  type.cbFormat = 0;
  type.pbFormat = nullptr;
  if (type.pUnk != nullptr) {
    type.pUnk->Release();
    type.pUnk = nullptr;
  }
}

// Frees a type made by CreateMediaType (or handed out by IEnumMediaTypes::Next).
inline void DeleteMediaType(AM_MEDIA_TYPE* type) {
  if (type == nullptr) return;
  FreeMediaType(*type);
  CoTaskMemFree(type);
}

// Deep copy into a type the caller owns; E_OUTOFMEMORY leaves `target` without a format.
inline HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
  if (target == nullptr || source == nullptr) return E_POINTER;
  *target = *source;
  if (source->cbFormat != 0 && source->pbFormat != nullptr) {
    target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
    if (target->pbFormat == nullptr) {
      target->cbFormat = 0;
      target->pUnk = nullptr;
      return E_OUTOFMEMORY;
    }
    std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
  } else {
    target->cbFormat = 0;
    target->pbFormat = nullptr;
  }
  if (target->pUnk != nullptr) target->pUnk->AddRef();
  return S_OK;
}

// A task-memory copy, to be freed with DeleteMediaType; null when out of memory.
inline AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source) {
  auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (type == nullptr) return nullptr;
  if (FAILED(CopyMediaType(type, source))) {
    CoTaskMemFree(type);
    return nullptr;
  }
  return type;
}

}  // namespace vesk
