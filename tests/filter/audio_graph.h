// The filter in a host graph with its "Audio" pin connected to a counting
// sink that keeps every byte delivered to it, and another sink for its
// "VideoOutput0" pin, as the playback tests use them.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "host/counting_sink.h"
#include "host/filter_graph.h"
#include "module/factory_table.h"
#include "vesk/splitter_settings.h"

namespace vesk::test {

class AudioGraph {
 public:
  ~AudioGraph() {
    if (graph) graph->Stop();
  }

  // Makes the filter, loads the location and connects the sink; a failed step
  // fails the test (call it inside ASSERT_NO_FATAL_FAILURE).
  void Build(const std::string& location) {
    ASSERT_NO_FATAL_FAILURE(Load(location));
    ASSERT_NO_FATAL_FAILURE(Connect(u"Audio", sink));
  }

  // The filter in the graph with the location loaded, and both sinks made
  // but not connected, so that a test can set how they behave first.
  void Load(const std::string& location) {
    HRESULT hr = E_FAIL;
    IUnknown* created = module::FindFactoryEntry(CLSID_SplitterFilter)->create(nullptr, &hr);
    ASSERT_EQ(hr, S_OK);
    ASSERT_EQ(created->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(filter.GetAddressOf())), S_OK);
    ASSERT_EQ(filter.As(IID_ISplitterSettings, &settings), S_OK);
    graph = host::FilterGraph::Create();
    ASSERT_EQ(graph->AddFilter(filter.Get(), u"source"), S_OK);
    ComPtr<IFileSourceFilter> source;
    ASSERT_EQ(filter.As(IID_IFileSourceFilter, &source), S_OK);
    const std::u16string name(location.begin(), location.end());
    ASSERT_EQ(source->Load(name.c_str(), nullptr), S_OK);

    sink = host::CountingSink::Create();
    sink->SetSampleHook([this](IMediaSample& sample) {
      BYTE* data = nullptr;
      sample.GetPointer(&data);
      REFERENCE_TIME start = -1, stop = -1;
      sample.GetTime(&start, &stop);
      std::lock_guard lock(lock_);
      bytes_.insert(bytes_.end(), data, data + sample.GetActualDataLength());
      if (sample.IsDiscontinuity() == S_OK) ++discontinuities_;
      if (start != 0 || stop != 1) otherTimes_ = true;
    });
    ASSERT_EQ(graph->AddFilter(sink.Get(), u"sink"), S_OK);
    video = host::CountingSink::Create();
    ASSERT_EQ(graph->AddFilter(video.Get(), u"video"), S_OK);
  }

  void Connect(const char16_t* pinName, const ComPtr<host::CountingSink>& to) {
    ComPtr<IPin> pin;
    ASSERT_EQ(filter->FindPin(pinName, pin.GetAddressOf()), S_OK);
    ASSERT_EQ(graph->ConnectDirect(pin.Get(), to->Pin(), nullptr), S_OK);
  }

  ComPtr<IMediaSeeking> Seeking() {
    ComPtr<IMediaSeeking> seeking;
    filter.As(IID_IMediaSeeking, &seeking);
    return seeking;
  }

  std::vector<std::uint8_t> Bytes() {
    std::lock_guard lock(lock_);
    return bytes_;
  }
  void ClearBytes() {
    std::lock_guard lock(lock_);
    bytes_.clear();
  }
  int Discontinuities() {
    std::lock_guard lock(lock_);
    return discontinuities_;
  }
  // True when a sample carried times other than the fixed 0 and 1.
  bool OtherTimes() {
    std::lock_guard lock(lock_);
    return otherTimes_;
  }

  ComPtr<IBaseFilter> filter;
  ComPtr<ISplitterSettings> settings;
  ComPtr<host::FilterGraph> graph;
  ComPtr<host::CountingSink> sink;   // for "Audio", keeping every byte
  ComPtr<host::CountingSink> video;  // for "VideoOutput0"

 private:
  std::mutex lock_;  // guards the three fields below
  std::vector<std::uint8_t> bytes_;
  int discontinuities_ = 0;
  bool otherTimes_ = false;
};

}  // namespace vesk::test
