#include "host/filter_graph.h"

#include <algorithm>
#include <limits>
#include <new>
#include <string>
#include <utility>

#include "vesk/event_handle.h"

namespace vesk::host {
namespace {

// Where a filter sits, as its pins tell: whether it has output pins or a
// connected input pin, and the filters its connected output pins feed.
struct Links {
  bool has_output = false;
  bool has_connected_input = false;
  std::vector<ComPtr<IBaseFilter>> downstream;
};

Links LinksOf(IBaseFilter& filter) {
  Links links;
  ComPtr<IEnumPins> pins;
  if (FAILED(filter.EnumPins(pins.GetAddressOf()))) return links;
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.GetAddressOf(), nullptr) == S_OK) {
    PIN_DIRECTION direction;
    if (FAILED(pin->QueryDirection(&direction))) continue;
    ComPtr<IPin> peer;
    const bool connected = SUCCEEDED(pin->ConnectedTo(peer.GetAddressOf()));
    if (direction == PINDIR_INPUT) {
      links.has_connected_input = links.has_connected_input || connected;
      continue;
    }
    links.has_output = true;
    PIN_INFO info;
    if (!connected || FAILED(peer->QueryPinInfo(&info))) continue;
    ComPtr<IBaseFilter> next;
    next.Attach(info.pFilter);
    if (next) links.downstream.push_back(std::move(next));
  }
  return links;
}

// A filter goes once every filter it feeds has gone; a loop, which a sane
// graph never has, leaves the rest in the order they were added.
std::vector<ComPtr<IBaseFilter>> DownstreamFirst(const std::vector<ComPtr<IBaseFilter>>& filters,
                                                 const std::vector<Links>& links) {
  std::vector<ComPtr<IBaseFilter>> ordered;
  std::vector<bool> placed(filters.size(), false);
  auto is_placed = [&](const ComPtr<IBaseFilter>& filter) {
    auto at = std::find(filters.begin(), filters.end(), filter);
    return at == filters.end() || placed[static_cast<std::size_t>(at - filters.begin())];
  };
  while (ordered.size() < filters.size()) {
    const std::size_t before = ordered.size();
    for (std::size_t i = 0; i < filters.size(); ++i) {
      if (!placed[i] && std::all_of(links[i].downstream.begin(), links[i].downstream.end(), is_placed)) {
        placed[i] = true;
        ordered.push_back(filters[i]);
      }
    }
    if (ordered.size() == before) {
      for (std::size_t i = 0; i < filters.size(); ++i) {
        if (!placed[i]) ordered.push_back(filters[i]);
      }
    }
  }
  return ordered;
}

void DisconnectPins(IBaseFilter& filter) {
  ComPtr<IEnumPins> pins;
  if (FAILED(filter.EnumPins(pins.GetAddressOf()))) return;
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.GetAddressOf(), nullptr) == S_OK) {
    ComPtr<IPin> peer;
    if (SUCCEEDED(pin->ConnectedTo(peer.GetAddressOf()))) peer->Disconnect();
    pin->Disconnect();
  }
}

std::u16string Numbered(const std::u16string& name, int number) {
  std::string digits = std::to_string(number);
  return name + u" " + std::u16string(digits.begin(), digits.end());
}

// Set while a graph with no references left is torn down, so that a filter
// taking and dropping a reference on the way cannot destroy it twice.
constexpr ULONG kDestroying = std::numeric_limits<ULONG>::max() / 2;

}  // namespace

ComPtr<FilterGraph> FilterGraph::Create() {
  ComPtr<FilterGraph> graph;
  graph.Attach(new FilterGraph());
  return graph;
}

FilterGraph::FilterGraph() = default;

FilterGraph::~FilterGraph() {
  Stop();
  std::vector<Entry> filters;
  {
    std::lock_guard lock(mutex_);
    filters.swap(filters_);
  }
  for (Entry& entry : filters) DisconnectPins(*entry.filter);
  for (Entry& entry : filters) entry.filter->JoinFilterGraph(nullptr, nullptr);
}

HRESULT FilterGraph::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IFilterGraph) {
    *object = static_cast<IFilterGraph*>(this);
  } else if (iid == IID_IGraphConfig) {
    *object = static_cast<IGraphConfig*>(this);
  } else if (iid == IID_IMediaEventSink) {
    *object = static_cast<IMediaEventSink*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG FilterGraph::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

ULONG FilterGraph::Release() {
  ULONG refs = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (refs == 0) {
    refs_.store(kDestroying, std::memory_order_relaxed);
    delete this;
  }
  return refs;
}

HRESULT FilterGraph::AddFilter(IBaseFilter* filter, LPCWSTR name) {
  if (filter == nullptr) return E_POINTER;
  std::u16string unique;
  HRESULT result = S_OK;
  try {
    const std::u16string wanted = name != nullptr ? name : u"Filter";
    std::lock_guard lock(mutex_);
    if (std::any_of(filters_.begin(), filters_.end(),
                    [filter](const Entry& entry) { return entry.filter.Get() == filter; })) {
      return E_INVALIDARG;
    }
    unique = wanted;
    for (int number = 1; NameTaken(unique); ++number) unique = Numbered(wanted, number);
    if (name != nullptr && unique != wanted) result = VFW_S_DUPLICATE_NAME;
    filters_.push_back({ComPtr<IBaseFilter>(filter), unique});
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  if (HRESULT joined = filter->JoinFilterGraph(this, unique.c_str()); FAILED(joined)) {
    ComPtr<IBaseFilter> refused;
    std::lock_guard lock(mutex_);
    auto entry = std::find_if(filters_.begin(), filters_.end(),
                              [filter](const Entry& e) { return e.filter.Get() == filter; });
    if (entry != filters_.end()) {
      refused = std::move(entry->filter);
      filters_.erase(entry);
    }
    return joined;
  }
  return result;
}

HRESULT FilterGraph::RemoveFilter(IBaseFilter* filter) {
  if (filter == nullptr) return E_POINTER;
  ComPtr<IBaseFilter> removed;
  {
    std::lock_guard lock(mutex_);
    auto entry = std::find_if(filters_.begin(), filters_.end(),
                              [filter](const Entry& e) { return e.filter.Get() == filter; });
    if (entry == filters_.end()) return VFW_E_NOT_FOUND;
    removed = std::move(entry->filter);
    filters_.erase(entry);
  }
  DisconnectPins(*removed);
  removed->JoinFilterGraph(nullptr, nullptr);
  {
    std::lock_guard lock(completion_mutex_);
    std::erase(sinks_, filter);
    std::erase(completed_, filter);
  }
  completion_changed_.notify_all();
  return S_OK;
}

HRESULT FilterGraph::EnumFilters(IEnumFilters** /*filters*/) { return E_NOTIMPL; }

HRESULT FilterGraph::FindFilterByName(LPCWSTR name, IBaseFilter** filter) {
  if (name == nullptr || filter == nullptr) return E_POINTER;
  std::lock_guard lock(mutex_);
  auto entry = std::find_if(filters_.begin(), filters_.end(),
                            [name](const Entry& e) { return e.name == name; });
  if (entry == filters_.end()) {
    *filter = nullptr;
    return VFW_E_NOT_FOUND;
  }
  *filter = ComPtr<IBaseFilter>(entry->filter).Detach();
  return S_OK;
}

HRESULT FilterGraph::ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) {
  if (output == nullptr || input == nullptr) return E_POINTER;
  return output->Connect(input, type);
}

HRESULT FilterGraph::Reconnect(IPin* /*pin*/) { return E_NOTIMPL; }

HRESULT FilterGraph::Disconnect(IPin* pin) {
  if (pin == nullptr) return E_POINTER;
  return pin->Disconnect();
}

HRESULT FilterGraph::SetDefaultSyncSource() { return S_OK; }

// The cache flags do not matter here: no filter is ever taken out of the graph.
HRESULT FilterGraph::Reconnect(IPin* outputPin, IPin* inputPin, const AM_MEDIA_TYPE* firstConnection,
                               IBaseFilter* usingFilter, HANDLE abortEvent, DWORD /*flags*/) {
  if (outputPin == nullptr) return E_POINTER;
  switch (reconnectPolicy_.load()) {
    case ReconnectPolicy::kFails:
      return E_FAIL;
    case ReconnectPolicy::kNotImplemented:
      return E_NOTIMPL;
    case ReconnectPolicy::kWaitsForAbort:
      if (abortEvent == nullptr) return E_POINTER;
      WaitEventHandle(abortEvent, -1);
      return E_ABORT;
    case ReconnectPolicy::kReconnects:
      break;
  }
  if (usingFilter != nullptr) return E_NOTIMPL;
  PIN_DIRECTION direction;
  if (FAILED(outputPin->QueryDirection(&direction)) || direction != PINDIR_OUTPUT) {
    return VFW_E_INVALID_DIRECTION;
  }
  ComPtr<IPin> input(inputPin);
  if (!input && FAILED(outputPin->ConnectedTo(input.GetAddressOf()))) return VFW_E_NOT_CONNECTED;
  outputPin->Disconnect();
  input->Disconnect();
  return outputPin->Connect(input.Get(), firstConnection);
}

HRESULT FilterGraph::Reconfigure(IGraphConfigCallback* /*callback*/, PVOID /*context*/, DWORD /*flags*/,
                                 HANDLE /*abortEvent*/) {
  return E_NOTIMPL;
}

HRESULT FilterGraph::AddFilterToCache(IBaseFilter* /*filter*/) { return E_NOTIMPL; }

HRESULT FilterGraph::EnumCacheFilter(IEnumFilters** /*filters*/) { return E_NOTIMPL; }

HRESULT FilterGraph::RemoveFilterFromCache(IBaseFilter* /*filter*/) { return E_NOTIMPL; }

HRESULT FilterGraph::GetStartTime(REFERENCE_TIME* /*start*/) { return E_NOTIMPL; }

HRESULT FilterGraph::PushThroughData(IPin* /*outputPin*/, IPinConnection* /*connection*/,
                                     HANDLE /*abortEvent*/) {
  return E_NOTIMPL;
}

HRESULT FilterGraph::SetFilterFlags(IBaseFilter* /*filter*/, DWORD /*flags*/) { return E_NOTIMPL; }

HRESULT FilterGraph::GetFilterFlags(IBaseFilter* /*filter*/, DWORD* /*flags*/) { return E_NOTIMPL; }

HRESULT FilterGraph::RemoveFilterEx(IBaseFilter* /*filter*/, DWORD /*flags*/) { return E_NOTIMPL; }

HRESULT FilterGraph::Notify(LONG eventCode, LONG_PTR /*param1*/, LONG_PTR param2) {
  if (eventCode != EC_COMPLETE) return S_OK;
  auto* filter = reinterpret_cast<IBaseFilter*>(param2);
  try {
    std::lock_guard lock(completion_mutex_);
    if (std::find(completed_.begin(), completed_.end(), filter) == completed_.end()) {
      completed_.push_back(filter);
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  completion_changed_.notify_all();
  return S_OK;
}

HRESULT FilterGraph::Pause() { return ChangeState(State_Paused); }

HRESULT FilterGraph::Run() {
  if (State() == State_Stopped) {
    if (HRESULT paused = Pause(); FAILED(paused)) return paused;
  }
  return ChangeState(State_Running);
}

HRESULT FilterGraph::Stop() { return ChangeState(State_Stopped); }

FILTER_STATE FilterGraph::State() const {
  std::lock_guard lock(mutex_);
  return state_;
}

bool FilterGraph::WaitForCompletion(std::chrono::milliseconds timeout) {
  std::unique_lock lock(completion_mutex_);
  return completion_changed_.wait_for(lock, timeout, [this] {
    return std::all_of(sinks_.begin(), sinks_.end(), [this](IBaseFilter* sink) {
      return std::find(completed_.begin(), completed_.end(), sink) != completed_.end();
    });
  });
}

HRESULT FilterGraph::ChangeState(FILTER_STATE target) {
  std::vector<ComPtr<IBaseFilter>> filters;
  std::vector<ComPtr<IBaseFilter>> ordered;
  FILTER_STATE current;
  try {
    {
      std::lock_guard lock(mutex_);
      current = state_;
      for (const Entry& entry : filters_) filters.push_back(entry.filter);
    }

    std::vector<Links> links;
    for (const auto& filter : filters) links.push_back(LinksOf(*filter));
    ordered = DownstreamFirst(filters, links);
    if (current == State_Stopped && target != State_Stopped) {
      std::lock_guard lock(completion_mutex_);
      sinks_.clear();
      completed_.clear();
      for (std::size_t i = 0; i < filters.size(); ++i) {
        if (!links[i].has_output && links[i].has_connected_input) sinks_.push_back(filters[i].Get());
      }
    }
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }

  HRESULT result = S_OK;
  for (const auto& filter : ordered) {
    HRESULT changed = target == State_Stopped  ? filter->Stop()
                      : target == State_Paused ? filter->Pause()
                                               : filter->Run(0);
    if (FAILED(changed) && SUCCEEDED(result)) result = changed;
  }
  {
    std::lock_guard lock(mutex_);
    state_ = target;
  }
  if (FAILED(result) && target != State_Stopped) Stop();
  return result;
}

bool FilterGraph::NameTaken(const std::u16string& name) const {
  return std::any_of(filters_.begin(), filters_.end(), [&](const Entry& entry) { return entry.name == name; });
}

}  // namespace vesk::host
