#include "host/counting_sink.h"

#include <memory>
#include <utility>

namespace vesk::host {

ComPtr<CountingSink> CountingSink::Create() {
  ComPtr<CountingSink> sink;
  sink.Attach(new CountingSink());
  return sink;
}

void CountingSink::AcceptOnly(TypeCheck accepts) {
  std::lock_guard lock(mutex_);
  accepts_ = std::move(accepts);
}

void CountingSink::SetSampleHook(SampleHook hook) {
  std::lock_guard lock(mutex_);
  hook_ = std::move(hook);
}

long CountingSink::Samples() const {
  std::lock_guard lock(mutex_);
  return samples_;
}

std::int64_t CountingSink::Bytes() const {
  std::lock_guard lock(mutex_);
  return bytes_;
}

long CountingSink::EndOfStreams() const {
  std::lock_guard lock(mutex_);
  return end_of_streams_;
}

long CountingSink::Flushes() const {
  std::lock_guard lock(mutex_);
  return flushes_;
}

long CountingSink::NewSegments() const {
  std::lock_guard lock(mutex_);
  return new_segments_;
}

std::vector<MediaType> CountingSink::MediaTypes() const {
  std::lock_guard lock(mutex_);
  return types_;
}

bool CountingSink::WaitForSamples(long count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return samples_ >= count; });
}

HRESULT CountingSink::CheckMediaType(const AM_MEDIA_TYPE& type) {
  TypeCheck accepts;
  {
    std::lock_guard lock(mutex_);
    accepts = accepts_;
  }
  return !accepts || accepts(type) ? S_OK : S_FALSE;
}

void CountingSink::OnConnected(const AM_MEDIA_TYPE& type) {
  std::lock_guard lock(mutex_);
  types_.emplace_back(type);
}

HRESULT CountingSink::OnReceive(IMediaSample& sample) {
  SampleHook hook;
  {
    std::lock_guard lock(mutex_);
    hook = hook_;
  }
  if (hook) hook(sample);

  AM_MEDIA_TYPE* carried = nullptr;
  sample.GetMediaType(&carried);
  std::unique_ptr<AM_MEDIA_TYPE, void (*)(AM_MEDIA_TYPE*)> carried_type(carried, &DeleteMediaType);
  {
    std::lock_guard lock(mutex_);
    if (carried_type) types_.emplace_back(*carried_type);
    ++samples_;
    bytes_ += sample.GetActualDataLength();
  }
  changed_.notify_all();
  return S_OK;
}

void CountingSink::OnEndOfStream() {
  std::lock_guard lock(mutex_);
  ++end_of_streams_;
}

void CountingSink::OnBeginFlush() {
  std::lock_guard lock(mutex_);
  ++flushes_;
}

void CountingSink::OnNewSegment(REFERENCE_TIME /*start*/, REFERENCE_TIME /*stop*/, double /*rate*/) {
  std::lock_guard lock(mutex_);
  ++new_segments_;
}

}  // namespace vesk::host
