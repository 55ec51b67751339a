#include "host/pin_enumerator.h"

#include <new>
#include <utility>

namespace vesk::host {

ComPtr<PinEnumerator> PinEnumerator::Create(std::vector<ComPtr<IPin>> pins, std::size_t position) {
  ComPtr<PinEnumerator> enumerator;
  enumerator.Attach(new PinEnumerator(std::move(pins), position));
  return enumerator;
}

PinEnumerator::PinEnumerator(std::vector<ComPtr<IPin>> pins, std::size_t position)
    : pins_(std::move(pins)), position_(position) {}

HRESULT PinEnumerator::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IEnumPins) {
    *object = static_cast<IEnumPins*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG PinEnumerator::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

ULONG PinEnumerator::Release() {
  ULONG refs = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (refs == 0) delete this;
  return refs;
}

HRESULT PinEnumerator::Next(ULONG count, IPin** pins, ULONG* fetched) {
  if (pins == nullptr) return E_POINTER;
  if (count != 1 && fetched == nullptr) return E_INVALIDARG;
  ULONG given = 0;
  while (given < count && position_ < pins_.size()) {
    pins[given] = pins_[position_].Get();
    pins[given]->AddRef();
    ++given;
    ++position_;
  }
  if (fetched != nullptr) *fetched = given;
  return given == count ? S_OK : S_FALSE;
}

HRESULT PinEnumerator::Skip(ULONG count) {
  std::size_t left = pins_.size() - position_;
  if (count > left) {
    position_ = pins_.size();
    return S_FALSE;
  }
  position_ += count;
  return S_OK;
}

HRESULT PinEnumerator::Reset() {
  position_ = 0;
  return S_OK;
}

HRESULT PinEnumerator::Clone(IEnumPins** clone) {
  if (clone == nullptr) return E_POINTER;
  try {
    *clone = Create(pins_, position_).Detach();
  } catch (const std::bad_alloc&) {
    *clone = nullptr;
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

}  // namespace vesk::host
