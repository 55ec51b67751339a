#include "host/faulty_allocator.h"

#include <new>

namespace vesk::host {
namespace {

// A sample of the wrapped allocator whose memory is out of reach; all else
// is the real sample's, which goes back to its allocator with this one.
class HollowSample final : public IMediaSample {
 public:
  explicit HollowSample(ComPtr<IMediaSample> real) : real_(std::move(real)) {}

  STDMETHOD(QueryInterface)(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IMediaSample) {
      *object = static_cast<IMediaSample*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  STDMETHOD_(ULONG, Release)() override {
    const ULONG refs = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (refs == 0) delete this;
    return refs;
  }

  STDMETHOD(GetPointer)(BYTE** buffer) override {
    if (buffer != nullptr) *buffer = nullptr;
    return E_FAIL;
  }
  STDMETHOD_(LONG, GetSize)() override { return real_->GetSize(); }
  STDMETHOD(GetTime)(REFERENCE_TIME* start, REFERENCE_TIME* stop) override { return real_->GetTime(start, stop); }
  STDMETHOD(SetTime)(REFERENCE_TIME* start, REFERENCE_TIME* stop) override { return real_->SetTime(start, stop); }
  STDMETHOD(IsSyncPoint)() override { return real_->IsSyncPoint(); }
  STDMETHOD(SetSyncPoint)(BOOL syncPoint) override { return real_->SetSyncPoint(syncPoint); }
  STDMETHOD(IsPreroll)() override { return real_->IsPreroll(); }
  STDMETHOD(SetPreroll)(BOOL preroll) override { return real_->SetPreroll(preroll); }
  STDMETHOD_(LONG, GetActualDataLength)() override { return real_->GetActualDataLength(); }
  STDMETHOD(SetActualDataLength)(LONG length) override { return real_->SetActualDataLength(length); }
  STDMETHOD(GetMediaType)(AM_MEDIA_TYPE** type) override { return real_->GetMediaType(type); }
  STDMETHOD(SetMediaType)(AM_MEDIA_TYPE* type) override { return real_->SetMediaType(type); }
  STDMETHOD(IsDiscontinuity)() override { return real_->IsDiscontinuity(); }
  STDMETHOD(SetDiscontinuity)(BOOL discontinuity) override { return real_->SetDiscontinuity(discontinuity); }
  STDMETHOD(GetMediaTime)(LONGLONG* start, LONGLONG* stop) override { return real_->GetMediaTime(start, stop); }
  STDMETHOD(SetMediaTime)(LONGLONG* start, LONGLONG* stop) override { return real_->SetMediaTime(start, stop); }

 private:
  ~HollowSample() = default;

  std::atomic<ULONG> refs_{1};
  const ComPtr<IMediaSample> real_;
};

}  // namespace

ComPtr<IMemAllocator> FaultyAllocator::Wrap(ComPtr<IMemAllocator> inner, Fault fault) {
  ComPtr<IMemAllocator> wrapped;
  wrapped.Attach(new FaultyAllocator(std::move(inner), fault));
  return wrapped;
}

HRESULT FaultyAllocator::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IMemAllocator) {
    *object = static_cast<IMemAllocator*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG FaultyAllocator::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

ULONG FaultyAllocator::Release() {
  ULONG refs = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (refs == 0) delete this;
  return refs;
}

HRESULT FaultyAllocator::SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) {
  if (request == nullptr) return E_POINTER;
  ALLOCATOR_PROPERTIES asked = *request;
  if (fault_ == Fault::kGrantsLess) asked.cbBuffer /= 2;
  return inner_->SetProperties(&asked, actual);
}

HRESULT FaultyAllocator::GetProperties(ALLOCATOR_PROPERTIES* properties) { return inner_->GetProperties(properties); }
HRESULT FaultyAllocator::Commit() { return inner_->Commit(); }
HRESULT FaultyAllocator::Decommit() { return inner_->Decommit(); }

HRESULT FaultyAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                   DWORD flags) {
  if (sample == nullptr) return E_POINTER;
  HRESULT hr = inner_->GetBuffer(sample, start, stop, flags);
  if (FAILED(hr) || fault_ != Fault::kNoMemory) return hr;
  ComPtr<IMediaSample> real;
  real.Attach(*sample);
  *sample = new (std::nothrow) HollowSample(std::move(real));
  return *sample != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT FaultyAllocator::ReleaseBuffer(IMediaSample* sample) { return inner_->ReleaseBuffer(sample); }

}  // namespace vesk::host
