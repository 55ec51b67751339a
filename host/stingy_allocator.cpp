#include "host/stingy_allocator.h"

namespace vesk::host {

ComPtr<IMemAllocator> StingyAllocator::Wrap(ComPtr<IMemAllocator> inner) {
  ComPtr<IMemAllocator> wrapped;
  wrapped.Attach(new StingyAllocator(std::move(inner)));
  return wrapped;
}

HRESULT StingyAllocator::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IMemAllocator) {
    *object = static_cast<IMemAllocator*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG StingyAllocator::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

ULONG StingyAllocator::Release() {
  ULONG refs = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (refs == 0) delete this;
  return refs;
}

HRESULT StingyAllocator::SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) {
  if (request == nullptr) return E_POINTER;
  ALLOCATOR_PROPERTIES less = *request;
  less.cbBuffer /= 2;
  return inner_->SetProperties(&less, actual);
}

HRESULT StingyAllocator::GetProperties(ALLOCATOR_PROPERTIES* properties) { return inner_->GetProperties(properties); }
HRESULT StingyAllocator::Commit() { return inner_->Commit(); }
HRESULT StingyAllocator::Decommit() { return inner_->Decommit(); }

HRESULT StingyAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                   DWORD flags) {
  return inner_->GetBuffer(sample, start, stop, flags);
}

HRESULT StingyAllocator::ReleaseBuffer(IMediaSample* sample) { return inner_->ReleaseBuffer(sample); }

}  // namespace vesk::host
