#include "host/empty_media_type_enumerator.h"

#include <new>

namespace vesk::host {

ComPtr<EmptyMediaTypeEnumerator> EmptyMediaTypeEnumerator::Create() {
  ComPtr<EmptyMediaTypeEnumerator> enumerator;
  enumerator.Attach(new EmptyMediaTypeEnumerator());
  return enumerator;
}

HRESULT EmptyMediaTypeEnumerator::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IEnumMediaTypes) {
    *object = static_cast<IEnumMediaTypes*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG EmptyMediaTypeEnumerator::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

ULONG EmptyMediaTypeEnumerator::Release() {
  ULONG refs = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (refs == 0) delete this;
  return refs;
}

HRESULT EmptyMediaTypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
  if (types == nullptr) return E_POINTER;
  if (count != 1 && fetched == nullptr) return E_INVALIDARG;
  if (fetched != nullptr) *fetched = 0;
  return count == 0 ? S_OK : S_FALSE;
}

HRESULT EmptyMediaTypeEnumerator::Skip(ULONG count) { return count == 0 ? S_OK : S_FALSE; }

HRESULT EmptyMediaTypeEnumerator::Reset() { return S_OK; }

HRESULT EmptyMediaTypeEnumerator::Clone(IEnumMediaTypes** clone) {
  if (clone == nullptr) return E_POINTER;
  try {
    *clone = Create().Detach();
  } catch (const std::bad_alloc&) {
    *clone = nullptr;
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

}  // namespace vesk::host
