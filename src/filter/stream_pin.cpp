#include "filter/stream_pin.h"

#include <algorithm>
#include <cstring>

#include "filter/media_type_enumerator.h"
#include "vesk/memory_allocator.h"

namespace vesk::filter {
namespace {

constexpr DWORD kReconnectCacheRemovedFilters = 2;
constexpr DWORD kPinFlowControlBlock = 1;

// A type from a caller is read only when its format length has a format block behind it.
bool WellFormed(const AM_MEDIA_TYPE& type) { return type.cbFormat == 0 || type.pbFormat != nullptr; }

bool SameFormat(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
  return a.majortype == b.majortype && a.subtype == b.subtype && a.formattype == b.formattype &&
         a.cbFormat == b.cbFormat &&
         (a.cbFormat == 0 || std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0);
}

// A type given for connection may leave parts open (GUID_NULL); ours fill them.
bool Matches(const AM_MEDIA_TYPE& partial, const AM_MEDIA_TYPE& ours) {
  return (partial.majortype == GUID_NULL || partial.majortype == ours.majortype) &&
         (partial.subtype == GUID_NULL || partial.subtype == ours.subtype) &&
         (partial.formattype == GUID_NULL || partial.formattype == ours.formattype);
}

bool FullySpecified(const AM_MEDIA_TYPE& type) {
  return !(type.majortype == GUID_NULL) && !(type.subtype == GUID_NULL) &&
         !(type.formattype == GUID_NULL);
}

}  // namespace

StreamPin::StreamPin(PinOwner& owner, WideString name, platform::CriticalSection& pinLock)
    : owner_(owner), name_(std::move(name)), pinLock_(pinLock) {
  ModuleObjectCount::ObjectCreated();
  unblocked_.Set();
}

StreamPin::~StreamPin() {
  FreeMediaType(connectionType_);
  ModuleObjectCount::ObjectDestroyed();
}

STDMETHODIMP StreamPin::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IPin) {
    *object = static_cast<IPin*>(this);
  } else if (riid == IID_IQualityControl) {
    *object = static_cast<IQualityControl*>(this);
  } else if (riid == IID_IPinFlowControl) {
    *object = static_cast<IPinFlowControl*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) StreamPin::AddRef() { return owner_.OwnerUnknown()->AddRef(); }
STDMETHODIMP_(ULONG) StreamPin::Release() { return owner_.OwnerUnknown()->Release(); }

// ---- Connection -------------------------------------------------------------

STDMETHODIMP StreamPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  if (!receivePin) return E_POINTER;
  platform::CriticalSection::Guard guard(connectionLock_);
  if (connected_) return VFW_E_ALREADY_CONNECTED;

  if (type && FullySpecified(*type)) return AttemptConnection(receivePin, type);
  HRESULT last = VFW_E_NO_ACCEPTABLE_TYPES;
  for (int position = 0;; ++position) {
    AM_MEDIA_TYPE ours{};
    if (GetMediaType(position, &ours) != S_OK) break;
    if (!type || Matches(*type, ours)) {
      last = AttemptConnection(receivePin, &ours);
      if (SUCCEEDED(last)) {
        FreeMediaType(ours);
        return last;
      }
    }
    FreeMediaType(ours);
  }
  return last;
}

HRESULT StreamPin::AttemptConnection(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  PIN_DIRECTION direction;
  HRESULT hr = receivePin->QueryDirection(&direction);
  if (FAILED(hr)) return hr;
  if (direction == PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
  ComPtr<IMemInputPin> input;
  hr = receivePin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(input.GetAddressOf()));
  if (FAILED(hr)) return hr;

  if (CheckMediaType(type) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
  hr = SetMediaType(type);
  if (FAILED(hr)) return hr;
  connected_ = ComPtr<IPin>(receivePin);
  input_ = input;
  hr = receivePin->ReceiveConnection(static_cast<IPin*>(this), type);
  if (SUCCEEDED(hr)) hr = DecideAllocator(input.Get());
  if (SUCCEEDED(hr) && !owner_.IsStopped() && allocator_) hr = allocator_->Commit();
  if (FAILED(hr)) {
    if (connected_) connected_->Disconnect();
    BreakConnect();
    return hr;
  }
  // A reconnection asked for by a channel description stays asked for: when
  // playback starts past the description, the first packet still renegotiates
  // and its sample is marked as a discontinuity.
  return S_OK;
}

HRESULT StreamPin::DecideAllocator(IMemInputPin* input) {
  ALLOCATOR_PROPERTIES request{};
  input->GetAllocatorRequirements(&request);
  if (request.cbAlign == 0) request.cbAlign = 1;

  // The downstream pin's allocator first; when it gives none, grants less
  // than the pin needs, or refuses it, an allocator of our own.
  ComPtr<IMemAllocator> theirs;
  if (SUCCEEDED(input->GetAllocator(theirs.GetAddressOf())) && theirs &&
      SUCCEEDED(OfferAllocator(input, theirs.Get(), request)))
    return S_OK;
  ComPtr<IMemAllocator> ours;
  if (HRESULT hr = CreateMemoryAllocator(ours.GetAddressOf()); FAILED(hr)) return hr;
  return OfferAllocator(input, ours.Get(), request);
}

HRESULT StreamPin::OfferAllocator(IMemInputPin* input, IMemAllocator* allocator,
                                  ALLOCATOR_PROPERTIES request) {
  HRESULT hr = DecideBufferSize(allocator, &request);
  if (SUCCEEDED(hr)) hr = input->NotifyAllocator(allocator, FALSE);
  if (FAILED(hr)) return hr;
  allocator_ = ComPtr<IMemAllocator>(allocator);
  return S_OK;
}

// Connections start here: an output pin never takes one.
STDMETHODIMP StreamPin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) { return VFW_E_INVALID_DIRECTION; }

STDMETHODIMP StreamPin::Disconnect() {
  platform::CriticalSection::Guard guard(connectionLock_);
  if (!connected_) return S_FALSE;
  BreakConnect();
  return S_OK;
}

void StreamPin::BreakConnect() {
  if (allocator_) allocator_->Decommit();
  allocator_.Reset();
  input_.Reset();
  connected_.Reset();
  FreeMediaType(connectionType_);
  connectionType_ = AM_MEDIA_TYPE{};
  // A format change waiting for the next packet is moot once disconnected.
  reconnectNeeded_.store(false, std::memory_order_release);
}

STDMETHODIMP StreamPin::ConnectedTo(IPin** pin) {
  if (!pin) return E_POINTER;
  platform::CriticalSection::Guard guard(connectionLock_);
  *pin = connected_.Get();
  if (!*pin) return VFW_E_NOT_CONNECTED;
  (*pin)->AddRef();
  return S_OK;
}

STDMETHODIMP StreamPin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  platform::CriticalSection::Guard guard(connectionLock_);
  if (!connected_) {
    *type = AM_MEDIA_TYPE{};
    return VFW_E_NOT_CONNECTED;
  }
  return CopyMediaType(type, &connectionType_);
}

STDMETHODIMP StreamPin::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  info->pFilter = owner_.OwnerFilter();
  if (info->pFilter) info->pFilter->AddRef();
  info->dir = PINDIR_OUTPUT;
  const std::size_t length = std::min<std::size_t>(name_.size(), std::size(info->achName) - 1);
  std::copy_n(name_.begin(), length, info->achName);
  info->achName[length] = 0;
  return S_OK;
}

STDMETHODIMP StreamPin::QueryDirection(PIN_DIRECTION* direction) {
  if (!direction) return E_POINTER;
  *direction = PINDIR_OUTPUT;
  return S_OK;
}

STDMETHODIMP StreamPin::QueryId(LPWSTR* id) {
  if (!id) return E_POINTER;
  const std::size_t bytes = (name_.size() + 1) * sizeof(WCHAR);
  *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (!*id) return E_OUTOFMEMORY;
  std::memcpy(*id, name_.c_str(), bytes);
  return S_OK;
}

STDMETHODIMP StreamPin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  return CheckMediaType(type) == S_OK ? S_OK : S_FALSE;
}

STDMETHODIMP StreamPin::EnumMediaTypes(IEnumMediaTypes** enumerator) {
  if (!enumerator) return E_POINTER;
  *enumerator = MediaTypeEnumerator::Create(*this, 0);
  return *enumerator ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP StreamPin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }
STDMETHODIMP StreamPin::EndOfStream() { return E_UNEXPECTED; }
STDMETHODIMP StreamPin::BeginFlush() { return E_UNEXPECTED; }
STDMETHODIMP StreamPin::EndFlush() { return E_UNEXPECTED; }
STDMETHODIMP StreamPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

HRESULT StreamPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  if (!WellFormed(*type)) return E_FAIL;
  platform::CriticalSection::Guard guard(connectionLock_);
  AM_MEDIA_TYPE preferred{};
  if (GetMediaType(0, &preferred) != S_OK) return E_FAIL;
  const bool same = SameFormat(preferred, *type);
  FreeMediaType(preferred);
  return same ? S_OK : E_FAIL;
}

HRESULT StreamPin::SetMediaType(const AM_MEDIA_TYPE* type) {
  platform::CriticalSection::Guard guard(connectionLock_);
  FreeMediaType(connectionType_);
  connectionType_ = AM_MEDIA_TYPE{};
  return CopyMediaType(&connectionType_, type);
}

bool StreamPin::IsConnected() {
  platform::CriticalSection::Guard guard(connectionLock_);
  return static_cast<bool>(connected_);
}

// ---- State changes ----------------------------------------------------------

HRESULT StreamPin::Active() {
  platform::CriticalSection::Guard guard(connectionLock_);
  if (!connected_) return S_OK;
  return allocator_ ? allocator_->Commit() : VFW_E_NO_ALLOCATOR;
}

HRESULT StreamPin::Inactive() {
  platform::CriticalSection::Guard guard(connectionLock_);
  if (!connected_) return S_OK;
  return allocator_ ? allocator_->Decommit() : VFW_E_NO_ALLOCATOR;
}

HRESULT StreamPin::Run(REFERENCE_TIME) { return S_OK; }

// ---- Quality and flow control -----------------------------------------------

STDMETHODIMP StreamPin::Notify(IBaseFilter*, Quality) { return S_OK; }
STDMETHODIMP StreamPin::SetSink(IQualityControl*) { return S_OK; }

STDMETHODIMP StreamPin::Block(DWORD flags, HANDLE event) {
  if (flags & ~kPinFlowControlBlock) return E_INVALIDARG;
  if (!(flags & kPinFlowControlBlock)) return Unblock();
  if (event) {
    if (!platform::ResetEventHandle(event)) return E_HANDLE;
    return BlockAsynchronously(event);
  }
  return BlockSynchronously();
}

HRESULT StreamPin::BlockAsynchronously(HANDLE done) {
  std::lock_guard lock(blockLock_);
  if (blockState_ != BlockState::kNotBlocked)
    return blockCaller_ == std::this_thread::get_id() ? VFW_E_PIN_ALREADY_BLOCKED_ON_THIS_THREAD
                                                      : VFW_E_PIN_ALREADY_BLOCKED;
  blockCaller_ = std::this_thread::get_id();
  blockDoneEvent_ = done;
  blockState_ = BlockState::kPending;
  if (deliveriesInProgress_ == 0) TakeBlock();
  return S_OK;
}

HRESULT StreamPin::BlockSynchronously() {
  platform::OsEvent done;
  if (!done.Valid()) return E_OUTOFMEMORY;
  HRESULT hr = BlockAsynchronously(done.Handle());
  if (FAILED(hr)) return hr;
  platform::OsEvent* stop = stopEvent_.load(std::memory_order_acquire);
  const HANDLE events[] = {done.Handle(), stop ? stop->Handle() : nullptr};
  const int woken = platform::WaitForAnyEvent(events, stop ? 2 : 1, platform::OsEvent::kInfinite, &hr);
  {
    // The event goes with this call: a block still pending must not set it later.
    std::lock_guard lock(blockLock_);
    if (blockDoneEvent_ == done.Handle()) blockDoneEvent_ = nullptr;
  }
  if (woken == 0) return S_OK;
  return woken == 1 ? VFW_E_STATE_CHANGED : hr;
}

HRESULT StreamPin::Unblock() {
  std::lock_guard lock(blockLock_);
  if (blockState_ == BlockState::kNotBlocked) return S_FALSE;
  // A caller still waiting for its block to take effect is told as well.
  if (blockState_ == BlockState::kPending && blockDoneEvent_) platform::SetEventHandle(blockDoneEvent_);
  blockState_ = BlockState::kNotBlocked;
  blockCaller_ = std::thread::id();
  blockDoneEvent_ = nullptr;
  unblocked_.Set();
  return S_OK;
}

void StreamPin::TakeBlock() {
  blockState_ = BlockState::kBlocked;
  unblocked_.Reset();
  if (blockDoneEvent_) platform::SetEventHandle(blockDoneEvent_);
  blockDoneEvent_ = nullptr;
}

HRESULT StreamPin::StartUsingOutputPin() {
  for (;;) {
    {
      std::lock_guard lock(blockLock_);
      if (blockState_ != BlockState::kBlocked) {
        ++deliveriesInProgress_;
        return S_OK;
      }
    }
    platform::OsEvent* stop = stopEvent_.load(std::memory_order_acquire);
    const HANDLE events[] = {unblocked_.Handle(), stop ? stop->Handle() : nullptr};
    HRESULT failure = E_FAIL;
    const int woken = platform::WaitForAnyEvent(events, stop ? 2 : 1, platform::OsEvent::kInfinite, &failure);
    if (woken == 1) return VFW_E_STATE_CHANGED;
    if (woken < 0) return failure;
  }
}

void StreamPin::StopUsingOutputPin() {
  std::lock_guard lock(blockLock_);
  if (--deliveriesInProgress_ == 0 && blockState_ == BlockState::kPending) TakeBlock();
}

// ---- Delivery -----------------------------------------------------------------

// Opens a delivery section for the life of the guard, when one could be opened.
class DeliverySection {
 public:
  explicit DeliverySection(StreamPin& pin) : pin_(pin), open_(SUCCEEDED(pin.StartUsingOutputPin())) {}
  ~DeliverySection() {
    if (open_) pin_.StopUsingOutputPin();
  }
  DeliverySection(const DeliverySection&) = delete;
  DeliverySection& operator=(const DeliverySection&) = delete;

 private:
  StreamPin& pin_;
  bool open_;
};

bool StreamPin::ReconnectForNewFormat() {
  IGraphConfig* graph = graphConfig_.load(std::memory_order_acquire);
  if (!graph) return false;
  platform::OsEvent* stop = stopEvent_.load(std::memory_order_acquire);
  HANDLE abort = stop ? stop->Handle() : nullptr;
  return SUCCEEDED(graph->Reconnect(static_cast<IPin*>(this), nullptr, nullptr, nullptr, abort,
                                    kReconnectCacheRemovedFilters));
}

HRESULT StreamPin::DeliverRecord(input::Packet& packet) {
  DeliverySection section(*this);
  bool discontinuity = false;
  if (reconnectNeeded_.exchange(false, std::memory_order_acq_rel)) {
    // One attempt per format change: a refused reconnection drops this packet.
    if (!ReconnectForNewFormat()) return E_FAIL;
    discontinuity = true;
  }
  ComPtr<IMemAllocator> allocator;
  ComPtr<IMemInputPin> input;
  {
    platform::CriticalSection::Guard guard(connectionLock_);
    allocator = allocator_;
    input = input_;
  }
  if (!allocator || !input) return VFW_E_NOT_CONNECTED;

  ComPtr<IMediaSample> sample;
  HRESULT hr = GetDeliveryBuffer(*allocator, sample.GetAddressOf());
  if (FAILED(hr) || !sample) return FAILED(hr) ? hr : E_FAIL;
  // A failed fill is delivered all the same: only S_FALSE and the skip flag hold a sample back.
  hr = FillBuffer(sample.Get(), packet);
  if (discontinuity) sample->SetDiscontinuity(TRUE);
  if (hr == S_FALSE || (packet.skip & 1)) return S_OK;
  return input->Receive(sample.Get());
}

HRESULT StreamPin::GetDeliveryBuffer(IMemAllocator& allocator, IMediaSample** sample) {
  return allocator.GetBuffer(sample, nullptr, nullptr, 0);
}

ComPtr<IPin> StreamPin::ConnectedPeer() {
  platform::CriticalSection::Guard guard(connectionLock_);
  return connected_;
}

HRESULT StreamPin::DeliverEndOfStream() {
  ComPtr<IPin> peer = ConnectedPeer();
  return peer ? peer->EndOfStream() : VFW_E_NOT_CONNECTED;
}

HRESULT StreamPin::DeliverBeginFlush() {
  if (platform::OsEvent* stop = stopEvent_.load(std::memory_order_acquire)) stop->Set();
  ComPtr<IPin> peer = ConnectedPeer();
  return peer ? peer->BeginFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT StreamPin::DeliverEndFlush() {
  if (platform::OsEvent* stop = stopEvent_.load(std::memory_order_acquire)) stop->Reset();
  ComPtr<IPin> peer = ConnectedPeer();
  return peer ? peer->EndFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT StreamPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  ComPtr<IPin> peer = ConnectedPeer();
  return peer ? peer->NewSegment(start, stop, rate) : VFW_E_NOT_CONNECTED;
}

// ---- Channel ------------------------------------------------------------------

void StreamPin::SetActiveChannel(std::int32_t channel) {
  std::lock_guard lock(channelLock_);
  activeChannel_ = channel;
}

std::int32_t StreamPin::GetActiveChannel() {
  std::lock_guard lock(channelLock_);
  return activeChannel_;
}

void StreamPin::SetChannelDescription(const input::ChannelRecord& record) { channelRecord_ = record; }

void StreamPin::SetConfigInfo(IGraphConfig* graphConfig, platform::OsEvent* stopEvent) {
  graphConfig_.store(graphConfig, std::memory_order_release);
  stopEvent_.store(stopEvent, std::memory_order_release);
}

}  // namespace vesk::filter
