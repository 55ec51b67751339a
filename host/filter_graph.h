// FilterGraph: the host's filter graph. Filters join it by AddFilter, pins are
// connected through it, and it offers IGraphConfig so that an output pin whose
// format changed mid-stream can be reconnected (the module's filter refuses to
// join a graph without it). State changes and the wait for the end of the
// stream are plain C++ calls of the program that owns the graph.
//
// Filters keep an uncounted pointer to the graph, as the platform requires, so
// the graph's lifetime is its owner's; when it goes it stops, disconnects and
// releases every filter.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "vesk/com_ptr.h"
#include "vesk/dshow.h"

namespace vesk::host {

class FilterGraph final : public IFilterGraph, public IGraphConfig, public IMediaEventSink {
 public:
  static ComPtr<FilterGraph> Create();

  // IUnknown
  STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;

  // IFilterGraph. AddFilter makes a taken or missing name unique.
  STDMETHOD(AddFilter)(IBaseFilter* filter, LPCWSTR name) override;
  STDMETHOD(RemoveFilter)(IBaseFilter* filter) override;
  STDMETHOD(EnumFilters)(IEnumFilters** filters) override;
  STDMETHOD(FindFilterByName)(LPCWSTR name, IBaseFilter** filter) override;
  STDMETHOD(ConnectDirect)(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) override;
  STDMETHOD(Reconnect)(IPin* pin) override;
  STDMETHOD(Disconnect)(IPin* pin) override;
  STDMETHOD(SetDefaultSyncSource)() override;

  // How IGraphConfig::Reconnect answers, as graph managers differ.
  // kReconnects: disconnects both ends and connects the output pin again, so
  // it negotiates the type anew through its own media types, on the caller's
  // thread. kFails: E_FAIL. kNotImplemented: E_NOTIMPL, as a graph manager
  // without dynamic reconnection answers. kWaitsForAbort: waits, as a graph
  // pushing data through before it reconnects may, until the abort event (an
  // operating-system handle) is set, then answers E_ABORT.
  enum class ReconnectPolicy { kReconnects, kFails, kNotImplemented, kWaitsForAbort };
  void SetReconnectPolicy(ReconnectPolicy policy) { reconnectPolicy_ = policy; }

  // IGraphConfig: only Reconnect is offered.
  STDMETHOD(Reconnect)(IPin* outputPin, IPin* inputPin, const AM_MEDIA_TYPE* firstConnection,
                       IBaseFilter* usingFilter, HANDLE abortEvent, DWORD flags) override;
  STDMETHOD(Reconfigure)(IGraphConfigCallback* callback, PVOID context, DWORD flags,
                         HANDLE abortEvent) override;
  STDMETHOD(AddFilterToCache)(IBaseFilter* filter) override;
  STDMETHOD(EnumCacheFilter)(IEnumFilters** filters) override;
  STDMETHOD(RemoveFilterFromCache)(IBaseFilter* filter) override;
  STDMETHOD(GetStartTime)(REFERENCE_TIME* start) override;
  STDMETHOD(PushThroughData)(IPin* outputPin, IPinConnection* connection, HANDLE abortEvent) override;
  STDMETHOD(SetFilterFlags)(IBaseFilter* filter, DWORD flags) override;
  STDMETHOD(GetFilterFlags)(IBaseFilter* filter, DWORD* flags) override;
  STDMETHOD(RemoveFilterEx)(IBaseFilter* filter, DWORD flags) override;

  // IMediaEventSink: sinks report their end of stream here (EC_COMPLETE, with
  // the filter as second parameter).
  STDMETHOD(Notify)(LONG eventCode, LONG_PTR param1, LONG_PTR param2) override;

  // State changes go to every filter, downstream first: a sink is ready before
  // samples come, and on Stop a sink lets go of a producer blocked in it before
  // the source waits for that producer to end. A failed Pause or Run stops the
  // graph again and returns the failure.
  HRESULT Pause();
  HRESULT Run();
  HRESULT Stop();
  FILTER_STATE State() const;

  // True once every sink (a filter with a connected input pin and no output
  // pin) has reported end of stream since the graph last left Stopped; false
  // when the time runs out.
  bool WaitForCompletion(std::chrono::milliseconds timeout);

 private:
  struct Entry {
    ComPtr<IBaseFilter> filter;
    std::u16string name;
  };

  FilterGraph();
  ~FilterGraph();

  HRESULT ChangeState(FILTER_STATE target);
  bool NameTaken(const std::u16string& name) const;

  std::atomic<ULONG> refs_{1};
  std::atomic<ReconnectPolicy> reconnectPolicy_{ReconnectPolicy::kReconnects};

  mutable std::mutex mutex_;  // guards filters_ and state_; never held while a filter is called
  std::vector<Entry> filters_;
  FILTER_STATE state_ = State_Stopped;

  std::mutex completion_mutex_;  // guards sinks_ and completed_
  std::condition_variable completion_changed_;
  std::vector<IBaseFilter*> sinks_;      // not owned: compared with the filters that report
  std::vector<IBaseFilter*> completed_;  // not owned: likewise
};

}  // namespace vesk::host
