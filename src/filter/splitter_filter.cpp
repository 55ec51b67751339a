#include "filter/splitter_filter.h"

#include <cstring>
#include <new>

#include "filter/pin_enumerator.h"
#include "platform/tick.h"
#include "platform/wide_text.h"

namespace vesk::filter {

SplitterFilter* SplitterFilter::Create(IUnknown* outer, const Parts& parts, HRESULT* result) {
  SplitterFilter* filter = nullptr;
  try {
    filter = new SplitterFilter(outer, parts);
  } catch (const std::bad_alloc&) {
    if (result) *result = E_OUTOFMEMORY;
    return nullptr;
  }
  HRESULT made = S_OK;
  if (!filter->audioPin_) made = E_OUTOFMEMORY;
  else if (!filter->videoPin_) made = FAILED(filter->videoPinResult_) ? filter->videoPinResult_ : E_OUTOFMEMORY;
  if (FAILED(made)) {
    // Nothing holds a reference yet: the filter goes at once.
    filter->NonDelegatingUnknown()->AddRef();
    filter->NonDelegatingUnknown()->Release();
    filter = nullptr;
  }
  if (result) *result = made;
  return filter;
}

SplitterFilter::SplitterFilter(IUnknown* outer, const Parts& parts)
    : outer_(outer ? outer : &inner_),
      demux_(configuration_, *this, [] { return platform::Tick::Now(); }) {
  ModuleObjectCount::ObjectCreated();
  audioPin_ = parts.makeAudioPin(*this, pinLock_);
  if (audioPin_) audioPin_->SetActiveChannel(activeAudio_);
  videoPin_ = parts.makeVideoPin(*this, pinLock_, *this, &videoPinResult_);
  if (parts.makeSettingsKeeper) settingsKeeper_ = parts.makeSettingsKeeper();
  if (videoPin_) videoPin_->SetActiveChannel(activeCamera_);
  SetActiveCamera(-1);
}

SplitterFilter::~SplitterFilter() {
  // A host may let go of a filter it never stopped. The producers use the
  // pins and the input side: they end first.
  Stop();
  readingThread_.reset();
  httpSource_.reset();
  audioPin_.reset();
  videoPin_.reset();
  ModuleObjectCount::ObjectDestroyed();
}

// ---- IUnknown and aggregation ----------------------------------------------------

STDMETHODIMP SplitterFilter::InnerUnknown::QueryInterface(REFIID riid, void** object) {
  return filter.NonDelegatingQueryInterface(riid, object);
}

STDMETHODIMP_(ULONG) SplitterFilter::InnerUnknown::AddRef() { return ++filter.references_; }

STDMETHODIMP_(ULONG) SplitterFilter::InnerUnknown::Release() {
  SplitterFilter* self = &filter;
  const ULONG left = --self->references_;
  if (left == 0) delete self;
  return left;
}

STDMETHODIMP SplitterFilter::QueryInterface(REFIID riid, void** object) {
  return outer_->QueryInterface(riid, object);
}
STDMETHODIMP_(ULONG) SplitterFilter::AddRef() { return outer_->AddRef(); }
STDMETHODIMP_(ULONG) SplitterFilter::Release() { return outer_->Release(); }

HRESULT SplitterFilter::NonDelegatingQueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (riid == IID_IFileSourceFilter) {
    *object = static_cast<IFileSourceFilter*>(this);
  } else if (riid == IID_IMediaSeeking && LocalFileLoaded()) {
    *object = static_cast<IMediaSeeking*>(this);
  } else if (riid == IID_ISpecifyPropertyPages) {
    *object = static_cast<ISpecifyPropertyPages*>(this);
  } else if (riid == IID_ISplitterSettings) {
    *object = static_cast<ISplitterSettings*>(this);
  } else if (riid == IID_IBaseFilter || riid == IID_IMediaFilter || riid == IID_IPersist) {
    *object = static_cast<IBaseFilter*>(this);
  } else if (riid == IID_IAMovieSetup) {
    *object = static_cast<IAMovieSetup*>(this);
  } else if (riid == IID_IUnknown) {
    *object = &inner_;
  } else {
    return E_NOINTERFACE;
  }
  static_cast<IUnknown*>(*object)->AddRef();
  return S_OK;
}

// ---- IBaseFilter ----------------------------------------------------------------------

STDMETHODIMP SplitterFilter::GetClassID(CLSID* classId) {
  if (!classId) return E_POINTER;
  *classId = CLSID_SplitterFilter;
  return S_OK;
}

bool SplitterFilter::IsStopped() { return state_ == State_Stopped; }

bool SplitterFilter::LocalFileLoaded() const { return localFileLoaded_.load() && sourceNamed_; }

STDMETHODIMP SplitterFilter::Pause() {
  platform::CriticalSection::Guard pins(pinLock_);
  stopEvent_.Reset();
  bool starting = false;
  {
    platform::CriticalSection::Guard guard(filterLock_);
    if (state_ == State_Stopped) {
      for (int n = 0; n < GetPinCount(); ++n) {
        StreamPin* pin = GetPin(n);
        if (pin->IsConnected()) {
          HRESULT hr = pin->Active();
          if (FAILED(hr)) return hr;
        }
      }
      starting = true;
    }
    state_ = State_Paused;
  }
  return starting ? StartProducer() : S_OK;
}

HRESULT SplitterFilter::StartProducer() {
  if (!IsLocalSource()) {
    // A failure to reach the recorder ends the stream with EC_ERRORABORT; Pause still succeeds.
    if (httpSource_) httpSource_->Open();
    return S_OK;
  }
  input::StreamBroadcast& outputs = *this;
  readingThread_ = std::make_unique<input::ReadingThread>(file_, reader_, index_, cursor_, outputs);
  if (!readingThread_->Create()) return E_FAIL;
  HRESULT hr = readingThread_->CallWorker(input::kRequestInit);
  if (FAILED(hr)) return hr;
  return readingThread_->CallWorker(input::kRequestPause);
}

STDMETHODIMP SplitterFilter::Run(REFERENCE_TIME start) {
  // The time stamp goes on from where it stood, not from the time spent paused.
  if (videoPin_) videoPin_->RebaseClock();
  platform::CriticalSection::Guard pins(pinLock_);
  {
    platform::CriticalSection::Guard guard(filterLock_);
    startTime_ = start;
    if (state_ == State_Running) return S_OK;
  }
  if (IsStopped()) {
    HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  platform::CriticalSection::Guard guard(filterLock_);
  for (int n = 0; n < GetPinCount(); ++n)
    if (GetPin(n)->IsConnected()) GetPin(n)->Run(start);
  state_ = State_Running;
  return S_OK;
}

STDMETHODIMP SplitterFilter::Stop() {
  // First, so a producer waiting in flow control lets go before any lock is taken.
  stopEvent_.Set();
  SetPlayMode(0);
  platform::CriticalSection::Guard pins(pinLock_);
  {
    platform::CriticalSection::Guard guard(filterLock_);
    if (state_ == State_Stopped) return S_OK;
    state_ = State_Stopped;
  }
  // Decommitting the allocators frees a producer waiting for an empty sample.
  for (int n = 0; n < GetPinCount(); ++n)
    if (GetPin(n)->IsConnected()) GetPin(n)->Inactive();
  StopProducer();
  return S_OK;
}

void SplitterFilter::StopProducer() {
  if (IsLocalSource()) {
    if (!readingThread_) return;
    readingThread_->CallWorker(input::kRequestStop);
    readingThread_->CallWorker(input::kRequestExit);
    readingThread_->Join();
  } else if (httpSource_) {
    httpSource_->Close();
  }
}

STDMETHODIMP SplitterFilter::GetState(DWORD, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  platform::CriticalSection::Guard guard(filterLock_);
  *state = state_;
  return VFW_S_CANT_CUE;
}

STDMETHODIMP SplitterFilter::SetSyncSource(IReferenceClock* clock) {
  platform::CriticalSection::Guard guard(filterLock_);
  clock_ = ComPtr<IReferenceClock>(clock);
  return S_OK;
}

STDMETHODIMP SplitterFilter::GetSyncSource(IReferenceClock** clock) {
  if (!clock) return E_POINTER;
  platform::CriticalSection::Guard guard(filterLock_);
  *clock = clock_.Get();
  if (*clock) (*clock)->AddRef();
  return S_OK;
}

int SplitterFilter::GetPinCount() const { return 2; }

StreamPin* SplitterFilter::GetPin(int n) {
  if (n == 0) return audioPin_.get();
  if (n == 1) return videoPin_.get();
  return nullptr;
}

STDMETHODIMP SplitterFilter::EnumPins(IEnumPins** pins) {
  if (!pins) return E_POINTER;
  *pins = PinEnumerator::Create(*this, 0);
  return *pins ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP SplitterFilter::FindPin(LPCWSTR id, IPin** pin) {
  if (!id || !pin) return E_POINTER;
  *pin = nullptr;
  for (int n = 0; n < GetPinCount(); ++n) {
    if (GetPin(n)->name() == WideString(id)) {
      *pin = GetPin(n);
      (*pin)->AddRef();
      return S_OK;
    }
  }
  return VFW_E_NOT_FOUND;
}

STDMETHODIMP SplitterFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (!info) return E_POINTER;
  platform::CriticalSection::Guard guard(filterLock_);
  const std::size_t length = std::min(graphName_.size(), std::size(info->achName) - 1);
  std::copy_n(graphName_.begin(), length, info->achName);
  info->achName[length] = 0;
  info->pGraph = graph_;
  if (graph_) graph_->AddRef();
  return S_OK;
}

STDMETHODIMP SplitterFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  platform::CriticalSection::Guard pins(pinLock_);
  ComPtr<IGraphConfig> graphConfig;
  if (graph) {
    HRESULT hr = graph->QueryInterface(IID_IGraphConfig, reinterpret_cast<void**>(graphConfig.GetAddressOf()));
    if (FAILED(hr)) return hr;
  }
  {
    platform::CriticalSection::Guard guard(filterLock_);
    graph_ = graph;
    graphName_ = graph && name ? WideString(name) : WideString();
  }
  // The pins keep the graph's configuration interface without a reference:
  // the graph outlives its membership.
  for (int n = 0; n < GetPinCount(); ++n)
    GetPin(n)->SetConfigInfo(graphConfig.Get(), graph ? &stopEvent_ : nullptr);
  return S_OK;
}

STDMETHODIMP SplitterFilter::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

STDMETHODIMP SplitterFilter::Register() { return S_FALSE; }
STDMETHODIMP SplitterFilter::Unregister() { return S_FALSE; }

// ---- IFileSourceFilter -------------------------------------------------------------------

STDMETHODIMP SplitterFilter::Load(LPCOLESTR name, const AM_MEDIA_TYPE*) {
  if (!name) return E_POINTER;
  // Under the pin lock, which Pause takes: no producer starts while the
  // source changes, and none may be running, since it shares the reader.
  platform::CriticalSection::Guard pins(pinLock_);
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  if (file_.source.IsOpen()) return E_FAIL;
  sourceName_ = name;
  sourceNamed_ = true;
  if (!IsLocalSource()) {
    input::PacketDispatcher& dispatcher = *this;
    input::StreamAbortTarget& abortTarget = *this;
    httpSource_ = std::make_unique<input::HttpSource>(platform::NarrowFromWide(sourceName_),
                                                      dispatcher, abortTarget, reader_);
    return S_OK;
  }
  std::string path = platform::NarrowFromWide(sourceName_);
  constexpr std::string_view kFilePrefix = "file:\\";
  if (path.rfind(kFilePrefix, 0) == 0) path.erase(0, kFilePrefix.size());
  if (FAILED(file_.source.Open(path))) return E_FAIL;

  HRESULT hr;
  {
    std::lock_guard lock(file_.lock);
    hr = index_.Scan(file_.source, reader_, configuration_);
  }
  demux_.SetCurrentTime(index_.StartTime());
  cursor_.configurationOffset = 0;
  SetPlayMode(0);
  if (FAILED(hr)) return hr;
  localFileLoaded_ = true;
  return S_OK;
}

STDMETHODIMP SplitterFilter::GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* type) {
  if (!name) return E_POINTER;
  *name = nullptr;
  if (type) *type = AM_MEDIA_TYPE{};
  if (!sourceNamed_) return S_OK;
  const std::size_t bytes = (sourceName_.size() + 1) * sizeof(WCHAR);
  *name = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (!*name) return E_OUTOFMEMORY;
  std::memcpy(*name, sourceName_.c_str(), bytes);
  return S_OK;
}

// ---- ISpecifyPropertyPages -----------------------------------------------------------------

STDMETHODIMP SplitterFilter::GetPages(CAUUID* pages) {
  if (!pages) return E_POINTER;
  pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
  if (!pages->pElems) {
    pages->cElems = 0;
    return E_OUTOFMEMORY;
  }
  pages->cElems = 1;
  pages->pElems[0] = CLSID_SettingsPage;
  return S_OK;
}

// ---- The input side's calls ----------------------------------------------------------------

void SplitterFilter::SetVideoChannelDescription(const input::ChannelRecord& record) {
  videoPin_->SetChannelDescription(record);
}

void SplitterFilter::SetAudioChannelDescription(const input::ChannelRecord& record) {
  if (audioPin_) audioPin_->SetChannelDescription(record);
}

void SplitterFilter::SetStatusChannel(int channel) { reader_.SetStatusChannel(channel); }

void SplitterFilter::ConfigurationParsed() {
  LoadSettings();
  demux_.RestartByteRate();
}

bool SplitterFilter::VideoConnected() { return videoPin_->IsConnected(); }
bool SplitterFilter::AudioConnected() { return audioPin_->IsConnected(); }
void SplitterFilter::DeliverVideo(input::Packet& packet) { videoPin_->DeliverRecord(packet); }
void SplitterFilter::DeliverAudio(input::Packet& packet) { audioPin_->DeliverRecord(packet); }
void SplitterFilter::SetClock(std::uint32_t seconds) { videoPin_->SetClock(seconds); }
void SplitterFilter::ShowTotalBytesPerSecond(double bytesPerSecond) {
  videoPin_->ShowTotalBytesPerSecond(bytesPerSecond);
}

bool SplitterFilter::SnapshotFreezeHeld() { return freezeMode_ == 2; }

void SplitterFilter::ReleaseSnapshotFreeze() {
  freezeMode_ = 0;
  videoPin_->SetFreezeMode(0, FreezePrefix());
}
void SplitterFilter::DispatchPacket(input::Packet& packet) { demux_.DispatchPacket(packet); }

// Each connected pin in turn, audio first, inside a delivery section when one opens.
template <typename Delivery>
void SplitterFilter::Broadcast(Delivery deliver) {
  for (int n = 0; n < GetPinCount(); ++n) {
    StreamPin* pin = GetPin(n);
    if (!pin->IsConnected()) continue;
    const bool open = SUCCEEDED(pin->StartUsingOutputPin());
    deliver(*pin);
    if (open) pin->StopUsingOutputPin();
  }
}

void SplitterFilter::EndOfStreamAll() {
  Broadcast([](StreamPin& pin) { pin.DeliverEndOfStream(); });
}
void SplitterFilter::AbortStream(HRESULT why) {
  EndOfStreamAll();
  ComPtr<IMediaEventSink> events;
  {
    platform::CriticalSection::Guard guard(filterLock_);
    if (graph_) graph_->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(events.GetAddressOf()));
  }
  if (events) events->Notify(EC_ERRORABORT, static_cast<LONG_PTR>(why), 0);
}
void SplitterFilter::BeginFlushAll() {
  Broadcast([](StreamPin& pin) { pin.DeliverBeginFlush(); });
}
void SplitterFilter::EndFlushAll() {
  Broadcast([](StreamPin& pin) { pin.DeliverEndFlush(); });
}
void SplitterFilter::NewSegmentAll() {
  Broadcast([](StreamPin& pin) { pin.DeliverNewSegment(0, 0, 1.0); });
}

}  // namespace vesk::filter
