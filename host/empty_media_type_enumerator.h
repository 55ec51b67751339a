// EmptyMediaTypeEnumerator: IEnumMediaTypes with nothing to offer, for input
// pins that prefer no type and leave the choice to the output pin.
#pragma once

#include <atomic>

#include "vesk/com_ptr.h"
#include "vesk/dshow.h"

namespace vesk::host {

class EmptyMediaTypeEnumerator final : public IEnumMediaTypes {
 public:
  static ComPtr<EmptyMediaTypeEnumerator> Create();

  // IUnknown
  STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;

  // IEnumMediaTypes
  STDMETHOD(Next)(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
  STDMETHOD(Skip)(ULONG count) override;
  STDMETHOD(Reset)() override;
  STDMETHOD(Clone)(IEnumMediaTypes** clone) override;

 private:
  EmptyMediaTypeEnumerator() = default;
  ~EmptyMediaTypeEnumerator() = default;

  std::atomic<ULONG> refs_{1};
};

}  // namespace vesk::host
