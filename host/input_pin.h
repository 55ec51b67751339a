// InputPin: the input pin of a SinkFilter. It takes a connection from an
// output pin (checking the type with its filter), offers an allocator of its
// own, and hands every sample and stream notice to its filter.
#pragma once

#include <mutex>
#include <string>

#include "host/media_type.h"
#include "vesk/com_ptr.h"
#include "vesk/dshow.h"

namespace vesk::host {

class SinkFilter;

// kOffersOwn: offers an allocator of its own and takes any the output pin
// decides on. kOffersNone: has none to offer. kGrantsLess: its allocator
// grants half the buffer size asked for. kRefusesOwn: offers its allocator
// but refuses it when notified of it, taking only another. kGivesNoMemory:
// its allocator's samples cannot give their memory.
enum class AllocatorPolicy { kOffersOwn, kOffersNone, kGrantsLess, kRefusesOwn, kGivesNoMemory };

class InputPin final : public IPin, public IMemInputPin {
 public:
  InputPin(SinkFilter& filter, std::u16string name);
  ~InputPin();
  InputPin(const InputPin&) = delete;
  InputPin& operator=(const InputPin&) = delete;

  // IUnknown: references are counted by the filter.
  STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;

  // IPin. A connection may be taken while the filter runs: the graph
  // reconnects a pin whose format changed mid-stream.
  STDMETHOD(Connect)(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
  STDMETHOD(ReceiveConnection)(IPin* connector, const AM_MEDIA_TYPE* type) override;
  STDMETHOD(Disconnect)() override;
  STDMETHOD(ConnectedTo)(IPin** pin) override;
  STDMETHOD(ConnectionMediaType)(AM_MEDIA_TYPE* type) override;
  STDMETHOD(QueryPinInfo)(PIN_INFO* info) override;
  STDMETHOD(QueryDirection)(PIN_DIRECTION* direction) override;
  STDMETHOD(QueryId)(LPWSTR* id) override;
  STDMETHOD(QueryAccept)(const AM_MEDIA_TYPE* type) override;
  STDMETHOD(EnumMediaTypes)(IEnumMediaTypes** types) override;
  STDMETHOD(QueryInternalConnections)(IPin** pins, ULONG* count) override;
  STDMETHOD(EndOfStream)() override;
  STDMETHOD(BeginFlush)() override;
  STDMETHOD(EndFlush)() override;
  STDMETHOD(NewSegment)(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  // IMemInputPin
  STDMETHOD(GetAllocator)(IMemAllocator** allocator) override;
  STDMETHOD(NotifyAllocator)(IMemAllocator* allocator, BOOL readOnly) override;
  STDMETHOD(GetAllocatorRequirements)(ALLOCATOR_PROPERTIES* properties) override;
  STDMETHOD(Receive)(IMediaSample* sample) override;
  STDMETHOD(ReceiveMultiple)(IMediaSample** samples, LONG count, LONG* processed) override;
  STDMETHOD(ReceiveCanBlock)() override;

  const std::u16string& Name() const { return name_; }
  // `requirements` with an alignment above 0 are what GetAllocatorRequirements gives.
  void SetAllocatorPolicy(AllocatorPolicy policy, const ALLOCATOR_PROPERTIES& requirements);
  // The filter stopped: decommits the allocator in use.
  void Inactive();

 private:
  SinkFilter& filter_;  // not owned: it owns this pin
  const std::u16string name_;

  mutable std::mutex mutex_;  // guards everything below
  ComPtr<IPin> peer_;
  MediaType type_;
  ComPtr<IMemAllocator> allocator_;  // the one the output pin decided on
  ComPtr<IMemAllocator> offered_;    // the one GetAllocator offers before that
  AllocatorPolicy policy_ = AllocatorPolicy::kOffersOwn;
  ALLOCATOR_PROPERTIES requirements_{};
};

}  // namespace vesk::host
