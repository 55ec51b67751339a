// SinkFilter: the base of the host's end-of-chain filters (null sink, counting
// sink, file writers): an IBaseFilter with one input pin, "Input", whose
// streaming calls arrive here as hooks for the concrete sink. There is no
// clock: samples are taken as they come, as soon as the filter is paused.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "host/input_pin.h"
#include "vesk/com_ptr.h"
#include "vesk/dshow.h"

namespace vesk::host {

class SinkFilter : public IBaseFilter {
 public:
  SinkFilter(const SinkFilter&) = delete;
  SinkFilter& operator=(const SinkFilter&) = delete;

  // IUnknown
  STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;

  // IPersist: the host's filters have no class id.
  STDMETHOD(GetClassID)(CLSID* classId) override;

  // IMediaFilter. Stop decommits the allocator in use, so that a producer
  // waiting for a sample gives up, releases a Receive that waits inside the
  // sink (see Interrupt), then waits for the streaming call in progress to end.
  STDMETHOD(Stop)() override;
  STDMETHOD(Pause)() override;
  STDMETHOD(Run)(REFERENCE_TIME start) override;
  STDMETHOD(GetState)(DWORD milliSecsTimeout, FILTER_STATE* state) override;
  STDMETHOD(SetSyncSource)(IReferenceClock* clock) override;
  STDMETHOD(GetSyncSource)(IReferenceClock** clock) override;

  // IBaseFilter
  STDMETHOD(EnumPins)(IEnumPins** pins) override;
  STDMETHOD(FindPin)(LPCWSTR id, IPin** pin) override;
  STDMETHOD(QueryFilterInfo)(FILTER_INFO* info) override;
  STDMETHOD(JoinFilterGraph)(IFilterGraph* graph, LPCWSTR name) override;
  STDMETHOD(QueryVendorInfo)(LPWSTR* vendorInfo) override;

  // The input pin; its references count as the filter's.
  IPin* Pin() { return pin_.get(); }

  // Called on the streaming thread after each sample the sink took, before
  // the producer can send the next: a host reacts there to what a sample
  // shows in time for the following one. Set it while the filter is stopped.
  void SetSampleListener(std::function<void()> listener) { sampleListener_ = std::move(listener); }

  // Asked on the streaming thread before the sink takes each sample; a sample
  // it refuses is dropped, as a host drops what lies outside the part of a
  // stream it plays. The gate may change the sample. Set it while stopped.
  void SetSampleGate(std::function<bool(IMediaSample&)> gate) { sampleGate_ = std::move(gate); }

  // How the sink keeps a sample inside Receive once it has taken it, as
  // renderers do. kWhilePaused: while the filter is paused, as a renderer
  // showing its first picture does, until it runs. kUntilReleased: every
  // sample until ReleaseSamples. Stop and a flush let a held sample go at
  // once in both; the hold never keeps NewSegment, a flush or Stop waiting.
  enum class Hold { kNone, kWhilePaused, kUntilReleased };
  void SetHold(Hold hold);
  void ReleaseSamples();

  // How the input pin deals in allocators, as input pins differ. Set it
  // before the pin is connected; see InputPin.
  void SetAllocatorPolicy(AllocatorPolicy policy, const ALLOCATOR_PROPERTIES& requirements = {}) {
    pin_->SetAllocatorPolicy(policy, requirements);
  }

 protected:
  SinkFilter();
  virtual ~SinkFilter();

  // Called with a proposed connection type; S_OK accepts it.
  virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) = 0;

  // The streaming hooks. They run under the stream lock, so they never overlap
  // one another nor OnStop, and only while the filter is paused or running
  // (OnStop excepted) and, for samples and end of stream, not flushing. What
  // they throw becomes the failure of the COM call that ran them.
  virtual void OnConnected(const AM_MEDIA_TYPE& type);
  virtual HRESULT OnReceive(IMediaSample& sample) = 0;
  virtual void OnEndOfStream();
  virtual void OnBeginFlush();
  virtual void OnEndFlush();
  virtual void OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);
  // The filter has stopped; no streaming call is in progress.
  virtual void OnStop();

 private:
  friend class InputPin;

  // What the input pin hands on.
  HRESULT Connected(const AM_MEDIA_TYPE& type);
  HRESULT Receive(IMediaSample& sample);
  HRESULT EndOfStream();
  HRESULT BeginFlush();
  HRESULT EndFlush();
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

  // Tells the graph that this sink has played everything (EC_COMPLETE).
  void NotifyComplete();
  // Keeps the sample just taken for as long as the hold asks; without the stream lock.
  void WaitWhileHeld();
  // Under state_mutex_.
  bool Held() const;

  std::atomic<ULONG> refs_{1};
  const std::unique_ptr<InputPin> pin_;

  mutable std::mutex state_mutex_;  // guards state_, flushing_, hold_, graph_ and name_
  std::condition_variable hold_changed_;
  FILTER_STATE state_ = State_Stopped;
  bool flushing_ = false;
  Hold hold_ = Hold::kNone;
  IFilterGraph* graph_ = nullptr;  // not owned: the graph holds this filter, not the reverse
  std::u16string name_;

  // Held across each streaming hook: serialises them with one another and with OnStop.
  std::mutex stream_mutex_;
  std::function<void()> sampleListener_;
  std::function<bool(IMediaSample&)> sampleGate_;
};

}  // namespace vesk::host
