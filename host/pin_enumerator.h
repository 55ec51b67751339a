// PinEnumerator: IEnumPins over a filter's fixed list of pins.
#pragma once

#include <atomic>
#include <vector>

#include "vesk/com_ptr.h"
#include "vesk/dshow.h"

namespace vesk::host {

// Used by one caller at a time, as enumerators are.
class PinEnumerator final : public IEnumPins {
 public:
  static ComPtr<PinEnumerator> Create(std::vector<ComPtr<IPin>> pins, std::size_t position = 0);

  // IUnknown
  STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;

  // IEnumPins
  STDMETHOD(Next)(ULONG count, IPin** pins, ULONG* fetched) override;
  STDMETHOD(Skip)(ULONG count) override;
  STDMETHOD(Reset)() override;
  STDMETHOD(Clone)(IEnumPins** clone) override;

 private:
  PinEnumerator(std::vector<ComPtr<IPin>> pins, std::size_t position);
  ~PinEnumerator() = default;

  std::atomic<ULONG> refs_{1};
  const std::vector<ComPtr<IPin>> pins_;
  std::size_t position_;
};

}  // namespace vesk::host
