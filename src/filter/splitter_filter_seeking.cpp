// Navigation: IMediaSeeking over the file index, index stepping and the
// activity walk of the settings interface.
#include "filter/splitter_filter.h"
#include "platform/debug_trace.h"

namespace vesk::filter {
namespace {

constexpr LONGLONG kUnitsPerSecond = 10000000;
constexpr DWORD kCapabilities = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanGetDuration;
constexpr HRESULT kRateNotSupported = static_cast<HRESULT>(0x8004025Cu);

bool IsMediaTime(const GUID* format) { return *format == TIME_FORMAT_MEDIA_TIME; }

LONGLONG SecondsToMediaTime(std::uint32_t from, std::uint32_t to) {
  return static_cast<LONGLONG>(static_cast<std::uint32_t>(to - from)) * kUnitsPerSecond;
}

}  // namespace

STDMETHODIMP SplitterFilter::GetCapabilities(DWORD* capabilities) {
  if (!capabilities) return E_POINTER;
  *capabilities = kCapabilities;
  return S_OK;
}

STDMETHODIMP SplitterFilter::CheckCapabilities(DWORD* capabilities) {
  if (!capabilities) return E_POINTER;
  return (*capabilities & ~kCapabilities) ? S_FALSE : S_OK;
}

STDMETHODIMP SplitterFilter::IsFormatSupported(const GUID* format) {
  if (!format) return E_POINTER;
  return IsMediaTime(format) ? S_OK : S_FALSE;
}

STDMETHODIMP SplitterFilter::QueryPreferredFormat(GUID* format) {
  if (!format) return E_POINTER;
  *format = TIME_FORMAT_MEDIA_TIME;
  return S_OK;
}

STDMETHODIMP SplitterFilter::GetTimeFormat(GUID* format) { return QueryPreferredFormat(format); }
STDMETHODIMP SplitterFilter::IsUsingTimeFormat(const GUID* format) { return IsFormatSupported(format); }

STDMETHODIMP SplitterFilter::SetTimeFormat(const GUID* format) {
  if (!format) return E_POINTER;
  return IsMediaTime(format) ? S_OK : E_INVALIDARG;
}

STDMETHODIMP SplitterFilter::GetDuration(LONGLONG* duration) {
  if (!duration) return E_POINTER;
  *duration = SecondsToMediaTime(index_.StartTime(), index_.EndTime());
  return S_OK;
}

STDMETHODIMP SplitterFilter::GetStopPosition(LONGLONG*) { return E_NOTIMPL; }

STDMETHODIMP SplitterFilter::GetCurrentPosition(LONGLONG* current) {
  if (!current) return E_POINTER;
  platform::CriticalSection::Guard guard(seekLock_);
  *current = SecondsToMediaTime(index_.StartTime(), demux_.CurrentTime());
  return S_OK;
}

STDMETHODIMP SplitterFilter::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat,
                                               LONGLONG source, const GUID* sourceFormat) {
  if (!target) return E_POINTER;
  if ((targetFormat && !IsMediaTime(targetFormat)) || (sourceFormat && !IsMediaTime(sourceFormat)))
    return E_INVALIDARG;
  *target = source;
  return S_OK;
}

STDMETHODIMP SplitterFilter::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG*, DWORD) {
  const DWORD positioning = currentFlags & AM_SEEKING_PositioningBitsMask;
  if (positioning == AM_SEEKING_NoPositioning) return S_OK;
  if (!current) return E_POINTER;
  if (positioning != AM_SEEKING_AbsolutePositioning) return E_INVALIDARG;
  platform::Trace("UNITS= %lld %llx, %u %u %u", static_cast<long long>(kUnitsPerSecond),
                  static_cast<unsigned long long>(kUnitsPerSecond), index_.StartTime(),
                  static_cast<unsigned>(*current / kUnitsPerSecond), index_.EndTime());
  if (index_.empty()) return S_OK;

  const std::uint32_t target = static_cast<std::uint32_t>(*current / kUnitsPerSecond + index_.StartTime());
  const std::uint64_t offset = index_[index_.EntryAtOrBefore(target)].byteOffset;
  if (IsStopped()) {
    std::lock_guard lock(file_.lock);
    file_.source.SeekTo(offset);
    cursor_.repositioned = true;
    return S_OK;
  }
  // A new reading thread starts from the new place; the pins drop what they hold.
  BeginFlushAll();
  Stop();
  EndFlushAll();
  {
    std::lock_guard lock(file_.lock);
    file_.source.SeekTo(offset);
    cursor_.repositioned = true;
  }
  // The new thread sends the new segment itself, before its first sample: sent
  // from here after Pause, samples of the new segment could overtake it, and a
  // sink holding a sample would keep it waiting.
  cursor_.newSegmentDue = true;
  Pause();
  return S_OK;
}

STDMETHODIMP SplitterFilter::GetPositions(LONGLONG*, LONGLONG*) { return E_NOTIMPL; }

STDMETHODIMP SplitterFilter::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
  if (earliest) *earliest = 0;
  return latest ? GetDuration(latest) : S_OK;
}

STDMETHODIMP SplitterFilter::SetRate(double rate) {
  platform::CriticalSection::Guard guard(seekLock_);
  const bool supported = rate == 0.5 || rate == 1.0 || rate == 2.0 || rate == 4.0;
  if (!supported || !IsLocalSource()) return kRateNotSupported;
  rate_ = rate;
  return S_OK;
}

STDMETHODIMP SplitterFilter::GetRate(double* rate) {
  if (!rate) return E_POINTER;
  platform::CriticalSection::Guard guard(seekLock_);
  *rate = rate_;
  return S_OK;
}

STDMETHODIMP SplitterFilter::GetPreroll(LONGLONG* preroll) {
  if (!preroll) return E_POINTER;
  *preroll = 0;
  return S_OK;
}

// ---- Navigation of the settings interface -------------------------------------------

STDMETHODIMP SplitterFilter::SetPlayMode(LONG mode) {
  platform::Trace("SetPlayMode: %d", static_cast<int>(mode));
  if ((mode & input::kPlayModeIndexStepping) && !index_.empty()) {
    std::uint64_t position;
    {
      std::lock_guard lock(file_.lock);
      position = file_.source.Position();
    }
    cursor_.currentEntry = index_.EntryBeforePosition(position);
  }
  cursor_.playMode = static_cast<std::uint32_t>(mode);
  return S_OK;
}

STDMETHODIMP_(LONG) SplitterFilter::GetStartTime() {
  if (!IsLocalSource() || index_.empty()) return -1;
  return static_cast<LONG>(index_.StartTime());
}

STDMETHODIMP_(LONG) SplitterFilter::GetEndTime() {
  if (!IsLocalSource() || index_.empty()) return -1;
  return static_cast<LONG>(index_.EndTime());
}

STDMETHODIMP SplitterFilter::ResetIndexCursor() { return S_OK; }

STDMETHODIMP SplitterFilter::FindActivity(BYTE* pAstActivn, BYTE* pAstStop, ULONGLONG* it1,
                                          ULONGLONG* it2, BYTE* pNCanal, DWORD* pAstTypeGisto,
                                          DWORD* Npor) {
  if (!pAstActivn || !pAstStop || !it1 || !it2 || !pNCanal || !pAstTypeGisto || !Npor)
    return E_POINTER;
  platform::Trace("pAstActivn = %u pAstStop = %u it1 = %d it2 = %d pNCanal = %d pAstTypeGisto = %d Npor = %u\n",
                  *pAstActivn, *pAstStop, static_cast<int>(*it1), static_cast<int>(*it2), *pNCanal,
                  static_cast<int>(*pAstTypeGisto), *Npor);
  const input::ActivityFound found = index_.FindActivity(*it1, *it2);
  *pAstStop = found.stop;
  *pAstTypeGisto = found.activityClass;
  if (found.stop) *pAstActivn = found.activity;
  if (found.activityFound) {
    *pNCanal = found.channel;
    *Npor = found.counter;
  }
  return S_OK;
}

STDMETHODIMP SplitterFilter::SeekIndexEntry(ULONGLONG* it1, ULONGLONG* it2) {
  if (!it1 || !it2) return E_POINTER;
  if (const auto offset = index_.SeekIndexEntry(*it1, *it2)) {
    // Under the file lock, so a read in progress finishes its packet first.
    std::lock_guard lock(file_.lock);
    file_.source.SeekTo(*offset);
    cursor_.repositioned = true;
  }
  return S_OK;
}

STDMETHODIMP SplitterFilter::SetPlaybackRate(double rate) { return SetRate(rate); }

STDMETHODIMP_(double) SplitterFilter::GetPlaybackRate() {
  double rate = 0;
  GetRate(&rate);
  return rate;
}

}  // namespace vesk::filter
