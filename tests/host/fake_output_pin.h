// FakeOutputPin: an output pin that drives the host's input pins the way the
// module's pins do. Connect offers its types in order (or the one given) to
// the input pin, then takes the input pin's allocator, sizes it and notifies
// it; while active the allocator is committed, and a reconnection commits the
// new one at once. Deliver runs on the caller's thread.
//
// Its references are its filter's (FakeSource).
#pragma once

#include <mutex>
#include <vector>

#include "host/media_type.h"
#include "vesk/com_ptr.h"
#include "vesk/dshow.h"

namespace vesk::test {

class FakeOutputPin final : public IPin {
 public:
  FakeOutputPin(IBaseFilter& filter, std::vector<host::MediaType> types, LONG buffer_size);

  // The types offered from the next connection on.
  void SetTypes(std::vector<host::MediaType> types);
  // Commits (or decommits) the allocator, as a filter's Pause and Stop do.
  void SetActive(bool active);
  // One sample holding `bytes`: GetBuffer, fill, Receive, release.
  HRESULT Deliver(const std::vector<BYTE>& bytes);
  HRESULT DeliverEndOfStream();

  STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;
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

 private:
  HRESULT NegotiateAllocator(IPin& input);

  IBaseFilter& filter_;  // not owned: it owns this pin
  const LONG buffer_size_;

  std::mutex mutex_;  // guards everything below
  std::vector<host::MediaType> types_;
  bool active_ = false;
  ComPtr<IPin> peer_;
  host::MediaType connected_type_;
  ComPtr<IMemInputPin> input_;
  ComPtr<IMemAllocator> allocator_;
};

}  // namespace vesk::test
