#include "host/sink_filter.h"

#include <algorithm>
#include <new>

#include "host/pin_enumerator.h"

namespace vesk::host {
namespace {

// Runs a sink's hook inside a COM method: nothing it throws may get out.
template <class Hook>
HRESULT Guarded(Hook&& hook) {
  try {
    return hook();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

}  // namespace

SinkFilter::SinkFilter() : pin_(std::make_unique<InputPin>(*this, u"Input")) {}

SinkFilter::~SinkFilter() = default;

HRESULT SinkFilter::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IPersist || iid == IID_IMediaFilter || iid == IID_IBaseFilter) {
    *object = static_cast<IBaseFilter*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG SinkFilter::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

ULONG SinkFilter::Release() {
  ULONG refs = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (refs == 0) delete this;
  return refs;
}

HRESULT SinkFilter::GetClassID(CLSID* /*classId*/) { return E_NOTIMPL; }

HRESULT SinkFilter::Stop() {
  {
    std::lock_guard lock(state_mutex_);
    if (state_ == State_Stopped) return S_OK;
    state_ = State_Stopped;
  }
  // No sample for a waiting producer first, then the one held inside the sink goes.
  pin_->Inactive();
  hold_changed_.notify_all();
  std::lock_guard stream(stream_mutex_);
  return Guarded([this] {
    OnStop();
    return S_OK;
  });
}

HRESULT SinkFilter::Pause() {
  std::lock_guard lock(state_mutex_);
  if (state_ == State_Stopped) flushing_ = false;
  state_ = State_Paused;
  return S_OK;
}

HRESULT SinkFilter::Run(REFERENCE_TIME /*start*/) {
  {
    std::lock_guard lock(state_mutex_);
    if (state_ == State_Stopped) flushing_ = false;
    state_ = State_Running;
  }
  hold_changed_.notify_all();
  return S_OK;
}

void SinkFilter::SetHold(Hold hold) {
  {
    std::lock_guard lock(state_mutex_);
    hold_ = hold;
  }
  hold_changed_.notify_all();
}

void SinkFilter::ReleaseSamples() { SetHold(Hold::kNone); }

bool SinkFilter::Held() const {
  if (state_ == State_Stopped || flushing_) return false;
  return hold_ == Hold::kUntilReleased || (hold_ == Hold::kWhilePaused && state_ == State_Paused);
}

void SinkFilter::WaitWhileHeld() {
  std::unique_lock lock(state_mutex_);
  hold_changed_.wait(lock, [this] { return !Held(); });
}

HRESULT SinkFilter::GetState(DWORD /*milliSecsTimeout*/, FILTER_STATE* state) {
  if (state == nullptr) return E_POINTER;
  std::lock_guard lock(state_mutex_);
  *state = state_;
  return S_OK;
}

// The host plays as fast as the sinks take samples: no clock.
HRESULT SinkFilter::SetSyncSource(IReferenceClock* /*clock*/) { return S_OK; }

HRESULT SinkFilter::GetSyncSource(IReferenceClock** clock) {
  if (clock == nullptr) return E_POINTER;
  *clock = nullptr;
  return S_OK;
}

HRESULT SinkFilter::EnumPins(IEnumPins** pins) {
  if (pins == nullptr) return E_POINTER;
  try {
    *pins = PinEnumerator::Create({ComPtr<IPin>(pin_.get())}).Detach();
  } catch (const std::bad_alloc&) {
    *pins = nullptr;
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT SinkFilter::FindPin(LPCWSTR id, IPin** pin) {
  if (id == nullptr || pin == nullptr) return E_POINTER;
  if (pin_->Name() != id) {
    *pin = nullptr;
    return VFW_E_NOT_FOUND;
  }
  *pin = pin_.get();
  (*pin)->AddRef();
  return S_OK;
}

HRESULT SinkFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (info == nullptr) return E_POINTER;
  std::lock_guard lock(state_mutex_);
  std::size_t length = std::min(name_.size(), MAX_FILTER_NAME - 1);
  std::copy_n(name_.data(), length, info->achName);
  info->achName[length] = u'\0';
  info->pGraph = graph_;
  if (graph_ != nullptr) graph_->AddRef();
  return S_OK;
}

HRESULT SinkFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  try {
    std::u16string joined = name != nullptr ? name : u"";
    std::lock_guard lock(state_mutex_);
    graph_ = graph;
    name_ = std::move(joined);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT SinkFilter::QueryVendorInfo(LPWSTR* /*vendorInfo*/) { return E_NOTIMPL; }

void SinkFilter::OnConnected(const AM_MEDIA_TYPE& /*type*/) {}
void SinkFilter::OnEndOfStream() {}
void SinkFilter::OnBeginFlush() {}
void SinkFilter::OnEndFlush() {}
void SinkFilter::OnNewSegment(REFERENCE_TIME /*start*/, REFERENCE_TIME /*stop*/, double /*rate*/) {}
void SinkFilter::OnStop() {}

HRESULT SinkFilter::Connected(const AM_MEDIA_TYPE& type) {
  std::lock_guard stream(stream_mutex_);
  return Guarded([&] {
    OnConnected(type);
    return S_OK;
  });
}

HRESULT SinkFilter::Receive(IMediaSample& sample) {
  // Outside the stream lock, as the listener: the gate may ask the producer's filter.
  bool admitted = true;
  if (sampleGate_) {
    const HRESULT asked = Guarded([&] {
      admitted = sampleGate_(sample);
      return S_OK;
    });
    if (FAILED(asked) || !admitted) return asked;
  }
  HRESULT result;
  {
    std::lock_guard stream(stream_mutex_);
    {
      std::lock_guard lock(state_mutex_);
      if (state_ == State_Stopped) return VFW_E_WRONG_STATE;
      if (flushing_) return S_FALSE;
    }
    result = Guarded([&] { return OnReceive(sample); });
  }
  // Outside the stream lock, as a renderer waits: NewSegment, a flush and Stop
  // are not kept waiting by the sample held here.
  WaitWhileHeld();
  // Outside the stream lock: the listener may call into the producer's filter.
  if (result == S_OK && sampleListener_) result = Guarded([this] {
    sampleListener_();
    return S_OK;
  });
  return result;
}

HRESULT SinkFilter::EndOfStream() {
  HRESULT result;
  {
    std::lock_guard stream(stream_mutex_);
    {
      std::lock_guard lock(state_mutex_);
      if (state_ == State_Stopped || flushing_) return S_OK;
    }
    result = Guarded([this] {
      OnEndOfStream();
      return S_OK;
    });
  }
  NotifyComplete();
  return result;
}

HRESULT SinkFilter::BeginFlush() {
  {
    std::lock_guard lock(state_mutex_);
    flushing_ = true;
  }
  hold_changed_.notify_all();
  std::lock_guard stream(stream_mutex_);
  return Guarded([this] {
    OnBeginFlush();
    return S_OK;
  });
}

HRESULT SinkFilter::EndFlush() {
  std::lock_guard stream(stream_mutex_);
  {
    std::lock_guard lock(state_mutex_);
    flushing_ = false;
  }
  return Guarded([this] {
    OnEndFlush();
    return S_OK;
  });
}

HRESULT SinkFilter::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  std::lock_guard stream(stream_mutex_);
  return Guarded([&] {
    OnNewSegment(start, stop, rate);
    return S_OK;
  });
}

void SinkFilter::NotifyComplete() {
  ComPtr<IMediaEventSink> events;
  {
    std::lock_guard lock(state_mutex_);
    if (graph_ == nullptr) return;
    graph_->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(events.GetAddressOf()));
  }
  if (events) events->Notify(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
}


}  // namespace vesk::host
