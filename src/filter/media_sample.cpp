#include "filter/media_sample.h"

#include <cstdint>
#include <new>

#include "filter/memory_allocator.h"

namespace vesk::filter {
namespace {

BYTE* AlignUp(BYTE* pointer, LONG alignment) {
  auto address = reinterpret_cast<std::uintptr_t>(pointer);
  auto mask = static_cast<std::uintptr_t>(alignment) - 1;
  return pointer + (((address + mask) & ~mask) - address);
}

}  // namespace

MediaSample::MediaSample(MemoryAllocator& allocator, LONG size, LONG alignment, LONG prefix)
    : allocator_(allocator),
      block_(new BYTE[static_cast<std::size_t>(size) + prefix + alignment - 1]()),
      data_(AlignUp(block_.get() + prefix, alignment)),
      size_(size) {}

MediaSample::~MediaSample() { DeleteMediaType(type_); }

void MediaSample::Prepare() {
  length_ = 0;
  start_.reset();
  stop_.reset();
  media_start_.reset();
  media_stop_.reset();
  sync_point_ = false;
  preroll_ = false;
  discontinuity_ = false;
  DeleteMediaType(type_);
  type_ = nullptr;
  refs_.store(1, std::memory_order_release);
}

HRESULT MediaSample::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IMediaSample) {
    *object = static_cast<IMediaSample*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG MediaSample::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

ULONG MediaSample::Release() {
  ULONG refs = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  // Back to the allocator, which may be destroyed with this sample on the way:
  // nothing of `this` is touched afterwards.
  if (refs == 0) allocator_.ReleaseBuffer(this);
  return refs;
}

HRESULT MediaSample::GetPointer(BYTE** buffer) {
  if (buffer == nullptr) return E_POINTER;
  *buffer = data_;
  return S_OK;
}

LONG MediaSample::GetSize() { return size_; }

HRESULT MediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) {
  if (start == nullptr || stop == nullptr) return E_POINTER;
  if (!start_) return VFW_E_SAMPLE_TIME_NOT_SET;
  *start = *start_;
  if (!stop_) {
    *stop = *start_ + 1;
    return VFW_S_NO_STOP_TIME;
  }
  *stop = *stop_;
  return S_OK;
}

HRESULT MediaSample::SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) {
  start_.reset();
  stop_.reset();
  if (start != nullptr) {
    start_ = *start;
    if (stop != nullptr) stop_ = *stop;
  }
  return S_OK;
}

HRESULT MediaSample::IsSyncPoint() { return sync_point_ ? S_OK : S_FALSE; }

HRESULT MediaSample::SetSyncPoint(BOOL syncPoint) {
  sync_point_ = syncPoint != 0;
  return S_OK;
}

HRESULT MediaSample::IsPreroll() { return preroll_ ? S_OK : S_FALSE; }

HRESULT MediaSample::SetPreroll(BOOL preroll) {
  preroll_ = preroll != 0;
  return S_OK;
}

LONG MediaSample::GetActualDataLength() { return length_; }

HRESULT MediaSample::SetActualDataLength(LONG length) {
  if (length < 0 || length > size_) return VFW_E_BUFFER_OVERFLOW;
  length_ = length;
  return S_OK;
}

HRESULT MediaSample::GetMediaType(AM_MEDIA_TYPE** type) {
  if (type == nullptr) return E_POINTER;
  *type = nullptr;
  if (!type_) return S_FALSE;
  *type = CreateMediaType(type_);
  return *type != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT MediaSample::SetMediaType(AM_MEDIA_TYPE* type) {
  AM_MEDIA_TYPE* copy = nullptr;
  if (type != nullptr && (copy = CreateMediaType(type)) == nullptr) return E_OUTOFMEMORY;
  DeleteMediaType(type_);
  type_ = copy;
  return S_OK;
}

HRESULT MediaSample::IsDiscontinuity() { return discontinuity_ ? S_OK : S_FALSE; }

HRESULT MediaSample::SetDiscontinuity(BOOL discontinuity) {
  discontinuity_ = discontinuity != 0;
  return S_OK;
}

HRESULT MediaSample::GetMediaTime(LONGLONG* start, LONGLONG* stop) {
  if (start == nullptr || stop == nullptr) return E_POINTER;
  if (!media_start_) return VFW_E_MEDIA_TIME_NOT_SET;
  *start = *media_start_;
  *stop = *media_stop_;
  return S_OK;
}

HRESULT MediaSample::SetMediaTime(LONGLONG* start, LONGLONG* stop) {
  media_start_.reset();
  media_stop_.reset();
  if (start == nullptr) return S_OK;
  if (stop == nullptr) return E_POINTER;
  media_start_ = *start;
  media_stop_ = *stop;
  return S_OK;
}

}  // namespace vesk::filter
