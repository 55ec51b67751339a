// NullSink: takes any type and discards every sample.
#pragma once

#include "host/sink_filter.h"

namespace vesk::host {

class NullSink final : public SinkFilter {
 public:
  static ComPtr<NullSink> Create();

 private:
  NullSink() = default;
  ~NullSink() override = default;

  HRESULT CheckMediaType(const AM_MEDIA_TYPE& type) override;
  HRESULT OnReceive(IMediaSample& sample) override;
};

}  // namespace vesk::host
