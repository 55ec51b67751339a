// FakeSource: a source filter with one FakeOutputPin, for graph tests. It
// notes the state its downstream filter was in when the graph changed its own
// state, which tells the order the graph goes through its filters.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "fake_output_pin.h"

namespace vesk::test {

class FakeSource final : public IBaseFilter {
 public:
  static ComPtr<FakeSource> Create(std::vector<host::MediaType> types, LONG buffer_size = 4096);

  FakeOutputPin& Pin() { return *pin_; }
  // The downstream filter's state when this filter was last paused or stopped.
  FILTER_STATE DownstreamStateAtPause() const { return at_pause_; }
  FILTER_STATE DownstreamStateAtStop() const { return at_stop_; }

  STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;
  STDMETHOD(GetClassID)(CLSID* classId) override;
  STDMETHOD(Stop)() override;
  STDMETHOD(Pause)() override;
  STDMETHOD(Run)(REFERENCE_TIME start) override;
  STDMETHOD(GetState)(DWORD milliSecsTimeout, FILTER_STATE* state) override;
  STDMETHOD(SetSyncSource)(IReferenceClock* clock) override;
  STDMETHOD(GetSyncSource)(IReferenceClock** clock) override;
  STDMETHOD(EnumPins)(IEnumPins** pins) override;
  STDMETHOD(FindPin)(LPCWSTR id, IPin** pin) override;
  STDMETHOD(QueryFilterInfo)(FILTER_INFO* info) override;
  STDMETHOD(JoinFilterGraph)(IFilterGraph* graph, LPCWSTR name) override;
  STDMETHOD(QueryVendorInfo)(LPWSTR* vendorInfo) override;

 private:
  FakeSource(std::vector<host::MediaType> types, LONG buffer_size);
  ~FakeSource() = default;
  FILTER_STATE DownstreamState();

  std::atomic<ULONG> refs_{1};
  const std::unique_ptr<FakeOutputPin> pin_;
  // Graph control runs on one test thread: no lock.
  FILTER_STATE state_ = State_Stopped;
  FILTER_STATE at_pause_ = State_Stopped;
  FILTER_STATE at_stop_ = State_Stopped;
};

}  // namespace vesk::test
