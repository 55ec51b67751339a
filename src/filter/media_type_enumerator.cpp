#include "filter/media_type_enumerator.h"

#include <new>

#include "filter/stream_pin.h"

namespace vesk::filter {

MediaTypeEnumerator* MediaTypeEnumerator::Create(StreamPin& pin, int position) {
  return new (std::nothrow) MediaTypeEnumerator(pin, position);
}

MediaTypeEnumerator::MediaTypeEnumerator(StreamPin& pin, int position) : pin_(pin), position_(position) {
  pin_.AddRef();
  ModuleObjectCount::ObjectCreated();
}

MediaTypeEnumerator::~MediaTypeEnumerator() {
  pin_.Release();
  ModuleObjectCount::ObjectDestroyed();
}

STDMETHODIMP MediaTypeEnumerator::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IEnumMediaTypes) {
    *object = static_cast<IEnumMediaTypes*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) MediaTypeEnumerator::AddRef() { return ++references_; }

STDMETHODIMP_(ULONG) MediaTypeEnumerator::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP MediaTypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
  if (!types || (count > 1 && !fetched)) return E_POINTER;
  ULONG got = 0;
  while (got < count) {
    auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!type) break;
    *type = AM_MEDIA_TYPE{};
    if (pin_.GetMediaType(position_, type) != S_OK) {
      DeleteMediaType(type);
      break;
    }
    ++position_;
    types[got++] = type;
  }
  if (fetched) *fetched = got;
  return got == count ? S_OK : S_FALSE;
}

STDMETHODIMP MediaTypeEnumerator::Skip(ULONG count) {
  for (ULONG i = 0; i < count; ++i) {
    AM_MEDIA_TYPE type{};
    const bool exists = pin_.GetMediaType(position_, &type) == S_OK;
    FreeMediaType(type);
    if (!exists) return S_FALSE;
    ++position_;
  }
  return S_OK;
}

STDMETHODIMP MediaTypeEnumerator::Reset() {
  position_ = 0;
  return S_OK;
}

STDMETHODIMP MediaTypeEnumerator::Clone(IEnumMediaTypes** clone) {
  if (!clone) return E_POINTER;
  *clone = Create(pin_, position_);
  return *clone ? S_OK : E_OUTOFMEMORY;
}

}  // namespace vesk::filter
