// The base of the filter's output pins: a push pin with no thread and no
// queue. A producer thread calls DeliverRecord with one packet at a time; the
// pin takes an empty sample from the negotiated allocator, lets the concrete
// pin fill it and hands it downstream before returning. Beneath that it is an
// output pin with type and allocator negotiation, dynamic reconnection through
// the graph, and flow control.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "filter/pin_owner.h"
#include "input/channel_record.h"
#include "input/packet.h"
#include "platform/critical_section.h"
#include "platform/os_event.h"
#include "vesk/com_ptr.h"
#include "vesk/dshow.h"

namespace vesk::filter {

class StreamPin : public IPin, public IQualityControl, public IPinFlowControl {
 public:
  StreamPin(PinOwner& owner, WideString name, platform::CriticalSection& pinLock);
  virtual ~StreamPin();
  StreamPin(const StreamPin&) = delete;
  StreamPin& operator=(const StreamPin&) = delete;

  // IUnknown: references go to the filter.
  STDMETHOD(QueryInterface)(REFIID riid, void** object) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;

  // IPin, output direction.
  STDMETHOD(Connect)(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
  STDMETHOD(ReceiveConnection)(IPin* connector, const AM_MEDIA_TYPE* type) override;
  STDMETHOD(Disconnect)() override;
  STDMETHOD(ConnectedTo)(IPin** pin) override;
  STDMETHOD(ConnectionMediaType)(AM_MEDIA_TYPE* type) override;
  STDMETHOD(QueryPinInfo)(PIN_INFO* info) override;
  STDMETHOD(QueryDirection)(PIN_DIRECTION* direction) override;
  STDMETHOD(QueryId)(LPWSTR* id) override;
  STDMETHOD(QueryAccept)(const AM_MEDIA_TYPE* type) override;
  STDMETHOD(EnumMediaTypes)(IEnumMediaTypes** enumerator) override;
  STDMETHOD(QueryInternalConnections)(IPin** pins, ULONG* count) override;
  STDMETHOD(EndOfStream)() override;
  STDMETHOD(BeginFlush)() override;
  STDMETHOD(EndFlush)() override;
  STDMETHOD(NewSegment)(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  // IQualityControl: quality messages are not acted on.
  STDMETHOD(Notify)(IBaseFilter* self, Quality quality) override;
  STDMETHOD(SetSink)(IQualityControl* sink) override;

  // IPinFlowControl: a block takes effect once no delivery is under way. With
  // an event the call returns at once and the event is set when the block
  // holds; without one it waits for that, or for the filter to stop.
  STDMETHOD(Block)(DWORD flags, HANDLE event) override;

  // State changes of the filter, under the pin lock.
  virtual HRESULT Active();
  virtual HRESULT Inactive();
  HRESULT Run(REFERENCE_TIME start);

  // Media types: the pin's preferred types, and the check of a proposed one.
  virtual HRESULT GetMediaType(int position, AM_MEDIA_TYPE* type) = 0;
  HRESULT CheckMediaType(const AM_MEDIA_TYPE* type);
  virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* type);
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;

  // Delivery, on a producer's thread.
  HRESULT DeliverRecord(input::Packet& packet);
  HRESULT DeliverEndOfStream();
  HRESULT DeliverBeginFlush();
  HRESULT DeliverEndFlush();
  HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);
  // Bracket every delivery operation; a blocked pin waits here for unblock or stop.
  HRESULT StartUsingOutputPin();
  void StopUsingOutputPin();

  virtual void SetActiveChannel(std::int32_t channel);
  std::int32_t GetActiveChannel();
  virtual void SetChannelDescription(const input::ChannelRecord& record);

  void SetConfigInfo(IGraphConfig* graphConfig, platform::OsEvent* stopEvent);
  bool IsConnected();
  const WideString& name() const { return name_; }

 protected:
  virtual HRESULT FillBuffer(IMediaSample* sample, input::Packet& packet) = 0;
  // An empty sample for the next packet; waits while none is free.
  virtual HRESULT GetDeliveryBuffer(IMemAllocator& allocator, IMediaSample** sample);

  // The connection's media type; valid while connected, under the connection lock.
  const AM_MEDIA_TYPE& connectionType() const { return connectionType_; }
  const input::ChannelRecord& channelRecord() const { return channelRecord_; }
  void RequestReconnect() { reconnectNeeded_.store(true, std::memory_order_release); }
  platform::CriticalSection& pinLock() { return pinLock_; }
  PinOwner& owner() { return owner_; }

 private:
  HRESULT AttemptConnection(IPin* receivePin, const AM_MEDIA_TYPE* type);
  HRESULT DecideAllocator(IMemInputPin* input);
  HRESULT OfferAllocator(IMemInputPin* input, IMemAllocator* allocator, ALLOCATOR_PROPERTIES request);
  void BreakConnect();
  // The downstream pin, held while a delivery is passed to it.
  ComPtr<IPin> ConnectedPeer();
  bool ReconnectForNewFormat();

  PinOwner& owner_;
  const WideString name_;
  platform::CriticalSection& pinLock_;  // the filter's, shared by both pins
  // Guards the connection fields below. Not the filter's pin lock: a producer
  // reconnecting after a format change takes it, while Stop holds the pin lock
  // and waits for that producer to end.
  platform::CriticalSection connectionLock_;

  ComPtr<IPin> connected_;
  ComPtr<IMemInputPin> input_;
  ComPtr<IMemAllocator> allocator_;
  AM_MEDIA_TYPE connectionType_{};

  // Not owned; set while the filter is in a graph. Read by the producer when
  // it reconnects, written under the pin lock while no producer runs.
  std::atomic<IGraphConfig*> graphConfig_{nullptr};
  std::atomic<platform::OsEvent*> stopEvent_{nullptr};
  std::atomic<bool> reconnectNeeded_{false};
  input::ChannelRecord channelRecord_{};

  std::mutex channelLock_;  // guards activeChannel_
  std::int32_t activeChannel_ = 0;

  enum class BlockState { kNotBlocked, kPending, kBlocked };
  HRESULT BlockAsynchronously(HANDLE done);
  HRESULT BlockSynchronously();
  HRESULT Unblock();
  // Under blockLock_: the pending block holds now.
  void TakeBlock();

  std::mutex blockLock_;  // guards the flow-control state below
  int deliveriesInProgress_ = 0;
  BlockState blockState_ = BlockState::kNotBlocked;
  std::thread::id blockCaller_;  // the thread that asked for the block in force
  HANDLE blockDoneEvent_ = nullptr;  // the caller's, set when a pending block takes effect
  // Set whenever the pin is not blocked: a delivery waits for it or for the stop event.
  platform::OsEvent unblocked_;
};

}  // namespace vesk::filter
