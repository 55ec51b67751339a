// Enumerates the filter's output pins.
#pragma once

#include <atomic>

#include "vesk/dshow.h"

namespace vesk::filter {

class SplitterFilter;

class PinEnumerator final : public IEnumPins {
 public:
  // A new enumerator with one reference; nullptr when memory ran out.
  static PinEnumerator* Create(SplitterFilter& filter, int position);

  STDMETHOD(QueryInterface)(REFIID riid, void** object) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;

  STDMETHOD(Next)(ULONG count, IPin** pins, ULONG* fetched) override;
  STDMETHOD(Skip)(ULONG count) override;
  STDMETHOD(Reset)() override;
  STDMETHOD(Clone)(IEnumPins** clone) override;

 private:
  PinEnumerator(SplitterFilter& filter, int position);
  ~PinEnumerator();

  SplitterFilter& filter_;  // kept alive by the reference taken on it
  std::atomic<ULONG> references_{1};
  int position_;  // touched by one caller at a time, as enumerators are
};

}  // namespace vesk::filter
