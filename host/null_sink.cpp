#include "host/null_sink.h"

namespace vesk::host {

ComPtr<NullSink> NullSink::Create() {
  ComPtr<NullSink> sink;
  sink.Attach(new NullSink());
  return sink;
}

HRESULT NullSink::CheckMediaType(const AM_MEDIA_TYPE& /*type*/) { return S_OK; }

HRESULT NullSink::OnReceive(IMediaSample& /*sample*/) { return S_OK; }

}  // namespace vesk::host
