#include "filter/pin_enumerator.h"

#include <new>

#include "filter/splitter_filter.h"

namespace vesk::filter {

PinEnumerator* PinEnumerator::Create(SplitterFilter& filter, int position) {
  return new (std::nothrow) PinEnumerator(filter, position);
}

PinEnumerator::PinEnumerator(SplitterFilter& filter, int position) : filter_(filter), position_(position) {
  filter_.AddRef();
  ModuleObjectCount::ObjectCreated();
}

PinEnumerator::~PinEnumerator() {
  filter_.Release();
  ModuleObjectCount::ObjectDestroyed();
}

STDMETHODIMP PinEnumerator::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IEnumPins) {
    *object = static_cast<IEnumPins*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) PinEnumerator::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) PinEnumerator::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP PinEnumerator::Next(ULONG count, IPin** pins, ULONG* fetched) {
  if (!pins || (count > 1 && !fetched)) return E_POINTER;
  ULONG got = 0;
  while (got < count && position_ < filter_.GetPinCount()) {
    IPin* pin = filter_.GetPin(position_++);
    pin->AddRef();
    pins[got++] = pin;
  }
  if (fetched) *fetched = got;
  return got == count ? S_OK : S_FALSE;
}

STDMETHODIMP PinEnumerator::Skip(ULONG count) {
  const int left = filter_.GetPinCount() - position_;
  if (static_cast<ULONG>(left) < count) {
    position_ = filter_.GetPinCount();
    return S_FALSE;
  }
  position_ += static_cast<int>(count);
  return S_OK;
}

STDMETHODIMP PinEnumerator::Reset() {
  position_ = 0;
  return S_OK;
}

STDMETHODIMP PinEnumerator::Clone(IEnumPins** clone) {
  if (!clone) return E_POINTER;
  *clone = Create(filter_, position_);
  return *clone ? S_OK : E_OUTOFMEMORY;
}

}  // namespace vesk::filter
