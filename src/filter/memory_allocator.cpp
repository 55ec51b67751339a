#include "filter/memory_allocator.h"
#include "vesk/memory_allocator.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>

namespace vesk::filter {

ComPtr<MemoryAllocator> MemoryAllocator::Create() {
  ComPtr<MemoryAllocator> allocator;
  allocator.Attach(new MemoryAllocator());
  return allocator;
}

MemoryAllocator::MemoryAllocator() = default;

MemoryAllocator::~MemoryAllocator() = default;

HRESULT MemoryAllocator::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IMemAllocator) {
    *object = static_cast<IMemAllocator*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG MemoryAllocator::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

ULONG MemoryAllocator::Release() {
  ULONG refs = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (refs == 0) delete this;
  return refs;
}

HRESULT MemoryAllocator::SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) {
  if (request == nullptr || actual == nullptr) return E_POINTER;
  const ALLOCATOR_PROPERTIES asked = *request;
  if (asked.cbAlign <= 0 || (asked.cbAlign & (asked.cbAlign - 1)) != 0) return VFW_E_BADALIGN;
  if (asked.cBuffers < 0 || asked.cbBuffer < 0 || asked.cbPrefix < 0) return E_INVALIDARG;

  std::int64_t total = std::int64_t{asked.cbBuffer} + asked.cbPrefix;
  if (std::int64_t remainder = total % asked.cbAlign; remainder != 0) total += asked.cbAlign - remainder;
  if (total > std::numeric_limits<LONG>::max()) return E_OUTOFMEMORY;

  std::lock_guard lock(mutex_);
  if (committed_) return VFW_E_ALREADY_COMMITTED;
  if (free_.size() != samples_.size()) return VFW_E_BUFFERS_OUTSTANDING;
  properties_ = {asked.cBuffers, static_cast<LONG>(total - asked.cbPrefix), asked.cbAlign, asked.cbPrefix};
  *actual = properties_;
  return S_OK;
}

HRESULT MemoryAllocator::GetProperties(ALLOCATOR_PROPERTIES* properties) {
  if (properties == nullptr) return E_POINTER;
  std::lock_guard lock(mutex_);
  *properties = properties_;
  return S_OK;
}

HRESULT MemoryAllocator::Commit() {
  std::lock_guard lock(mutex_);
  if (committed_) return S_OK;
  if (properties_.cBuffers <= 0 || properties_.cbBuffer <= 0) return VFW_E_SIZENOTSET;
  // Samples still out since the last Decommit kept the memory: it serves again.
  if (samples_.empty()) {
    try {
      samples_.reserve(static_cast<std::size_t>(properties_.cBuffers));
      free_.reserve(samples_.capacity());
      for (LONG i = 0; i < properties_.cBuffers; ++i) {
        samples_.push_back(std::make_unique<MediaSample>(*this, properties_.cbBuffer,
                                                         properties_.cbAlign, properties_.cbPrefix));
        free_.push_back(samples_.back().get());
      }
    } catch (const std::bad_alloc&) {
      free_.clear();
      samples_.clear();
      return E_OUTOFMEMORY;
    }
  }
  committed_ = true;
  return S_OK;
}

HRESULT MemoryAllocator::Decommit() {
  {
    std::lock_guard lock(mutex_);
    committed_ = false;
    FreeIfIdle();
  }
  sample_returned_.notify_all();
  return S_OK;
}

void MemoryAllocator::FreeIfIdle() {
  if (committed_ || free_.size() != samples_.size()) return;
  free_.clear();
  samples_.clear();
}

HRESULT MemoryAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME* /*start*/,
                                   REFERENCE_TIME* /*stop*/, DWORD flags) {
  if (sample == nullptr) return E_POINTER;
  *sample = nullptr;
  std::unique_lock lock(mutex_);
  if (committed_ && free_.empty() && (flags & AM_GBF_NOWAIT)) return VFW_E_TIMEOUT;
  sample_returned_.wait(lock, [this] { return !committed_ || !free_.empty(); });
  if (!committed_) return VFW_E_NOT_COMMITTED;
  MediaSample* taken = free_.back();
  free_.pop_back();
  taken->Prepare();
  // A sample that is out keeps its allocator alive; ReleaseBuffer gives this back.
  AddRef();
  *sample = taken;
  return S_OK;
}

HRESULT MemoryAllocator::ReleaseBuffer(IMediaSample* sample) {
  if (sample == nullptr) return E_POINTER;
  {
    std::lock_guard lock(mutex_);
    auto owned = std::find_if(samples_.begin(), samples_.end(), [sample](const auto& ours) {
      return static_cast<IMediaSample*>(ours.get()) == sample;
    });
    if (owned == samples_.end() || std::find(free_.begin(), free_.end(), owned->get()) != free_.end()) {
      return E_INVALIDARG;
    }
    free_.push_back(owned->get());  // within the capacity reserved at Commit
    FreeIfIdle();  // the sample itself goes here: nothing of it is touched afterwards
  }
  sample_returned_.notify_one();
  Release();
  return S_OK;
}

}  // namespace vesk::filter

HRESULT vesk::CreateMemoryAllocator(IMemAllocator** allocator) {
  if (allocator == nullptr) return E_POINTER;
  try {
    *allocator = filter::MemoryAllocator::Create().Detach();
  } catch (const std::bad_alloc&) {
    *allocator = nullptr;
    return E_OUTOFMEMORY;
  }
  return S_OK;
}
