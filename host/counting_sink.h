// CountingSink: counts what arrives (samples, bytes, end of stream, flushes,
// new segments) and discards it; for tests it also keeps every media type it
// is given, can refuse types and run a check on each sample.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "host/media_type.h"
#include "host/sink_filter.h"

namespace vesk::host {

class CountingSink final : public SinkFilter {
 public:
  using TypeCheck = std::function<bool(const AM_MEDIA_TYPE&)>;
  using SampleHook = std::function<void(IMediaSample&)>;

  static ComPtr<CountingSink> Create();

  // Connections are refused for types the check rejects; without one, any type goes.
  void AcceptOnly(TypeCheck accepts);
  // Runs on the streaming thread for each sample, before it is counted.
  void SetSampleHook(SampleHook hook);

  long Samples() const;
  std::int64_t Bytes() const;
  long EndOfStreams() const;
  long Flushes() const;
  long NewSegments() const;
  // Connection types, and types carried by samples, in the order they came.
  std::vector<MediaType> MediaTypes() const;

  // True once `count` samples were counted; false when the time ran out.
  bool WaitForSamples(long count, std::chrono::milliseconds timeout) const;

 private:
  CountingSink() = default;
  ~CountingSink() override = default;

  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
  void OnConnected(const AM_MEDIA_TYPE& type) override;
  HRESULT OnReceive(IMediaSample& sample) override;
  void OnEndOfStream() override;
  void OnBeginFlush() override;
  void OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  mutable std::mutex mutex_;  // guards every field below
  mutable std::condition_variable changed_;
  TypeCheck accepts_;
  SampleHook hook_;
  long samples_ = 0;
  std::int64_t bytes_ = 0;
  long end_of_streams_ = 0;
  long flushes_ = 0;
  long new_segments_ = 0;
  std::vector<MediaType> types_;
};

}  // namespace vesk::host
