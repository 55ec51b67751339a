#include "fake_output_pin.h"

#include <cstring>
#include <utility>

namespace vesk::test {

FakeOutputPin::FakeOutputPin(IBaseFilter& filter, std::vector<host::MediaType> types, LONG buffer_size)
    : filter_(filter), buffer_size_(buffer_size), types_(std::move(types)) {}

void FakeOutputPin::SetTypes(std::vector<host::MediaType> types) {
  std::lock_guard lock(mutex_);
  types_ = std::move(types);
}

void FakeOutputPin::SetActive(bool active) {
  std::lock_guard lock(mutex_);
  active_ = active;
  if (!allocator_) return;
  if (active) {
    allocator_->Commit();
  } else {
    allocator_->Decommit();
  }
}

HRESULT FakeOutputPin::Deliver(const std::vector<BYTE>& bytes) {
  ComPtr<IMemInputPin> input;
  ComPtr<IMemAllocator> allocator;
  {
    std::lock_guard lock(mutex_);
    input = input_;
    allocator = allocator_;
  }
  if (!input) return VFW_E_NOT_CONNECTED;
  ComPtr<IMediaSample> sample;
  if (HRESULT got = allocator->GetBuffer(sample.GetAddressOf(), nullptr, nullptr, 0); FAILED(got)) return got;
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  std::memcpy(data, bytes.data(), bytes.size());
  if (HRESULT sized = sample->SetActualDataLength(static_cast<LONG>(bytes.size())); FAILED(sized)) return sized;
  return input->Receive(sample.Get());
}

HRESULT FakeOutputPin::DeliverEndOfStream() {
  ComPtr<IPin> peer;
  {
    std::lock_guard lock(mutex_);
    peer = peer_;
  }
  return peer ? peer->EndOfStream() : VFW_E_NOT_CONNECTED;
}

HRESULT FakeOutputPin::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid != IID_IUnknown && iid != IID_IPin) {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  *object = static_cast<IPin*>(this);
  AddRef();
  return S_OK;
}

ULONG FakeOutputPin::AddRef() { return filter_.AddRef(); }

ULONG FakeOutputPin::Release() { return filter_.Release(); }

HRESULT FakeOutputPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  if (receivePin == nullptr) return E_POINTER;
  std::lock_guard lock(mutex_);
  if (peer_) return VFW_E_ALREADY_CONNECTED;
  std::vector<host::MediaType> offered = type != nullptr ? std::vector{host::MediaType(*type)} : types_;
  for (const host::MediaType& candidate : offered) {
    if (receivePin->ReceiveConnection(this, &candidate.Get()) != S_OK) continue;
    peer_ = ComPtr<IPin>(receivePin);
    connected_type_ = candidate;
    if (HRESULT negotiated = NegotiateAllocator(*receivePin); FAILED(negotiated)) {
      receivePin->Disconnect();
      peer_.Reset();
      input_.Reset();
      allocator_.Reset();
      return negotiated;
    }
    return S_OK;
  }
  return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT FakeOutputPin::NegotiateAllocator(IPin& input) {
  if (HRESULT found = ComPtr<IPin>(&input).As(IID_IMemInputPin, &input_); FAILED(found)) return found;
  if (HRESULT got = input_->GetAllocator(allocator_.GetAddressOf()); FAILED(got)) return got;
  ALLOCATOR_PROPERTIES request{1, buffer_size_, 1, 0};
  ALLOCATOR_PROPERTIES actual{};
  if (HRESULT set = allocator_->SetProperties(&request, &actual); FAILED(set)) return set;
  if (HRESULT notified = input_->NotifyAllocator(allocator_.Get(), FALSE); FAILED(notified)) return notified;
  return active_ ? allocator_->Commit() : S_OK;
}

HRESULT FakeOutputPin::ReceiveConnection(IPin* /*connector*/, const AM_MEDIA_TYPE* /*type*/) {
  return VFW_E_INVALID_DIRECTION;
}

HRESULT FakeOutputPin::Disconnect() {
  std::lock_guard lock(mutex_);
  if (!peer_) return S_FALSE;
  if (allocator_) allocator_->Decommit();
  allocator_.Reset();
  input_.Reset();
  peer_.Reset();
  connected_type_ = host::MediaType();
  return S_OK;
}

HRESULT FakeOutputPin::ConnectedTo(IPin** pin) {
  if (pin == nullptr) return E_POINTER;
  std::lock_guard lock(mutex_);
  *pin = ComPtr<IPin>(peer_).Detach();
  return *pin != nullptr ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT FakeOutputPin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  std::lock_guard lock(mutex_);
  return peer_ ? connected_type_.CopyTo(type) : VFW_E_NOT_CONNECTED;
}

HRESULT FakeOutputPin::QueryPinInfo(PIN_INFO* info) {
  info->pFilter = &filter_;
  filter_.AddRef();
  info->dir = PINDIR_OUTPUT;
  std::memcpy(info->achName, u"Output", sizeof(u"Output"));
  return S_OK;
}

HRESULT FakeOutputPin::QueryDirection(PIN_DIRECTION* direction) {
  *direction = PINDIR_OUTPUT;
  return S_OK;
}

HRESULT FakeOutputPin::QueryId(LPWSTR* /*id*/) { return E_NOTIMPL; }
HRESULT FakeOutputPin::QueryAccept(const AM_MEDIA_TYPE* /*type*/) { return E_NOTIMPL; }
HRESULT FakeOutputPin::EnumMediaTypes(IEnumMediaTypes** /*types*/) { return E_NOTIMPL; }
HRESULT FakeOutputPin::QueryInternalConnections(IPin** /*pins*/, ULONG* /*count*/) { return E_NOTIMPL; }
HRESULT FakeOutputPin::EndOfStream() { return E_UNEXPECTED; }
HRESULT FakeOutputPin::BeginFlush() { return E_UNEXPECTED; }
HRESULT FakeOutputPin::EndFlush() { return E_UNEXPECTED; }
HRESULT FakeOutputPin::NewSegment(REFERENCE_TIME /*start*/, REFERENCE_TIME /*stop*/, double /*rate*/) {
  return S_OK;
}

}  // namespace vesk::test
