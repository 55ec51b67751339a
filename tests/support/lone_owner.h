// A pin owner for testing a pin on its own, outside any filter: a stopped
// owner whose references are not counted.
#pragma once

#include "filter/pin_owner.h"

namespace vesk::test {

class LoneOwner final : public filter::PinOwner, public IUnknown {
 public:
  STDMETHOD(QueryInterface)(REFIID, void**) override { return E_NOINTERFACE; }
  STDMETHOD_(ULONG, AddRef)() override { return 1; }
  STDMETHOD_(ULONG, Release)() override { return 1; }
  IUnknown* OwnerUnknown() override { return this; }
  IBaseFilter* OwnerFilter() override { return nullptr; }
  bool IsStopped() override { return true; }
};

}  // namespace vesk::test
