#include "host/input_pin.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "host/empty_media_type_enumerator.h"
#include "host/sink_filter.h"
#include "host/faulty_allocator.h"
#include "vesk/memory_allocator.h"

namespace vesk::host {

InputPin::InputPin(SinkFilter& filter, std::u16string name) : filter_(filter), name_(std::move(name)) {}

InputPin::~InputPin() = default;

HRESULT InputPin::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IPin) {
    *object = static_cast<IPin*>(this);
  } else if (iid == IID_IMemInputPin) {
    *object = static_cast<IMemInputPin*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG InputPin::AddRef() { return filter_.AddRef(); }

ULONG InputPin::Release() { return filter_.Release(); }

HRESULT InputPin::Connect(IPin* /*receivePin*/, const AM_MEDIA_TYPE* /*type*/) {
  // Connections start at output pins.
  return VFW_E_INVALID_DIRECTION;
}

HRESULT InputPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
  if (connector == nullptr || type == nullptr) return E_POINTER;
  PIN_DIRECTION direction;
  if (FAILED(connector->QueryDirection(&direction)) || direction != PINDIR_OUTPUT) {
    return VFW_E_INVALID_DIRECTION;
  }
  if (filter_.CheckMediaType(*type) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
  try {
    MediaType accepted(*type);
    std::lock_guard lock(mutex_);
    if (peer_) return VFW_E_ALREADY_CONNECTED;
    peer_ = ComPtr<IPin>(connector);
    type_ = std::move(accepted);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  HRESULT result = filter_.Connected(*type);
  if (FAILED(result)) Disconnect();
  return result;
}

HRESULT InputPin::Disconnect() {
  ComPtr<IPin> peer;
  ComPtr<IMemAllocator> allocator;
  {
    std::lock_guard lock(mutex_);
    if (!peer_) return S_FALSE;
    peer = std::move(peer_);
    allocator = std::move(allocator_);
    offered_.Reset();
    type_ = MediaType();
  }
  if (allocator) allocator->Decommit();
  return S_OK;
}

HRESULT InputPin::ConnectedTo(IPin** pin) {
  if (pin == nullptr) return E_POINTER;
  std::lock_guard lock(mutex_);
  *pin = ComPtr<IPin>(peer_).Detach();
  return *pin != nullptr ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT InputPin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  std::lock_guard lock(mutex_);
  if (!peer_) {
    std::memset(type, 0, sizeof(*type));
    return VFW_E_NOT_CONNECTED;
  }
  return type_.CopyTo(type);
}

HRESULT InputPin::QueryPinInfo(PIN_INFO* info) {
  if (info == nullptr) return E_POINTER;
  info->pFilter = &filter_;
  info->pFilter->AddRef();
  info->dir = PINDIR_INPUT;
  std::size_t length = std::min(name_.size(), MAX_PIN_NAME - 1);
  std::copy_n(name_.data(), length, info->achName);
  info->achName[length] = u'\0';
  return S_OK;
}

HRESULT InputPin::QueryDirection(PIN_DIRECTION* direction) {
  if (direction == nullptr) return E_POINTER;
  *direction = PINDIR_INPUT;
  return S_OK;
}

HRESULT InputPin::QueryId(LPWSTR* id) {
  if (id == nullptr) return E_POINTER;
  std::size_t bytes = (name_.size() + 1) * sizeof(WCHAR);
  *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (*id == nullptr) return E_OUTOFMEMORY;
  std::memcpy(*id, name_.c_str(), bytes);
  return S_OK;
}

HRESULT InputPin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  return filter_.CheckMediaType(*type) == S_OK ? S_OK : S_FALSE;
}

HRESULT InputPin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (types == nullptr) return E_POINTER;
  try {
    *types = EmptyMediaTypeEnumerator::Create().Detach();
  } catch (const std::bad_alloc&) {
    *types = nullptr;
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT InputPin::QueryInternalConnections(IPin** /*pins*/, ULONG* /*count*/) { return E_NOTIMPL; }

HRESULT InputPin::EndOfStream() { return filter_.EndOfStream(); }

HRESULT InputPin::BeginFlush() { return filter_.BeginFlush(); }

HRESULT InputPin::EndFlush() { return filter_.EndFlush(); }

HRESULT InputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  return filter_.NewSegment(start, stop, rate);
}

HRESULT InputPin::GetAllocator(IMemAllocator** allocator) {
  if (allocator == nullptr) return E_POINTER;
  *allocator = nullptr;
  std::lock_guard lock(mutex_);
  if (allocator_) {  // the one decided on
    *allocator = ComPtr<IMemAllocator>(allocator_).Detach();
    return S_OK;
  }
  if (policy_ == AllocatorPolicy::kOffersNone) return VFW_E_NO_ALLOCATOR;
  if (!offered_) {
    ComPtr<IMemAllocator> made;
    if (HRESULT hr = CreateMemoryAllocator(made.GetAddressOf()); FAILED(hr)) return hr;
    if (policy_ == AllocatorPolicy::kGrantsLess || policy_ == AllocatorPolicy::kGivesNoMemory) {
      try {
        made = FaultyAllocator::Wrap(std::move(made), policy_ == AllocatorPolicy::kGrantsLess
                                                          ? FaultyAllocator::Fault::kGrantsLess
                                                          : FaultyAllocator::Fault::kNoMemory);
      } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
      }
    }
    offered_ = std::move(made);
  }
  *allocator = ComPtr<IMemAllocator>(offered_).Detach();
  return S_OK;
}

HRESULT InputPin::NotifyAllocator(IMemAllocator* allocator, BOOL /*readOnly*/) {
  if (allocator == nullptr) return E_POINTER;
  ComPtr<IMemAllocator> previous(allocator);
  {
    std::lock_guard lock(mutex_);
    if (policy_ == AllocatorPolicy::kRefusesOwn && allocator == offered_.Get()) return E_FAIL;
    allocator_.Swap(previous);
  }
  return S_OK;  // the allocator given up goes here, outside the lock
}

HRESULT InputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) {
  if (properties == nullptr) return E_POINTER;
  std::lock_guard lock(mutex_);
  if (requirements_.cbAlign <= 0) return E_NOTIMPL;
  *properties = requirements_;
  return S_OK;
}

void InputPin::SetAllocatorPolicy(AllocatorPolicy policy, const ALLOCATOR_PROPERTIES& requirements) {
  std::lock_guard lock(mutex_);
  policy_ = policy;
  requirements_ = requirements;
  offered_.Reset();
}

HRESULT InputPin::Receive(IMediaSample* sample) {
  if (sample == nullptr) return E_POINTER;
  return filter_.Receive(*sample);
}

HRESULT InputPin::ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) {
  if (samples == nullptr || processed == nullptr) return E_POINTER;
  *processed = 0;
  HRESULT result = S_OK;
  while (*processed < count) {
    result = Receive(samples[*processed]);
    if (result != S_OK) break;
    ++*processed;
  }
  return result;
}

HRESULT InputPin::ReceiveCanBlock() { return S_FALSE; }

void InputPin::Inactive() {
  ComPtr<IMemAllocator> allocator;
  {
    std::lock_guard lock(mutex_);
    allocator = allocator_;
  }
  if (allocator) allocator->Decommit();
}

}  // namespace vesk::host
