// MemoryAllocator: an IMemAllocator over a fixed set of samples in ordinary
// memory, shared by an output pin (which takes samples) and the input pin it
// delivers to. The pins use it when the downstream pin offers none that
// fits; hosts get it through CreateMemoryAllocator.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "filter/media_sample.h"
#include "vesk/com_ptr.h"
#include "vesk/dshow.h"

namespace vesk::filter {

class MemoryAllocator final : public IMemAllocator {
 public:
  static ComPtr<MemoryAllocator> Create();

  // IUnknown
  STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;

  // IMemAllocator. SetProperties grants at least what is asked: the size is
  // rounded up so that prefix and size fill whole alignment units. GetBuffer
  // waits while every sample is out (with AM_GBF_NOWAIT it answers
  // VFW_E_TIMEOUT instead), and fails with VFW_E_NOT_COMMITTED once the
  // allocator is decommitted, waking every waiter. The memory is freed when
  // the allocator is decommitted and every sample is back.
  STDMETHOD(SetProperties)(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
  STDMETHOD(GetProperties)(ALLOCATOR_PROPERTIES* properties) override;
  STDMETHOD(Commit)() override;
  STDMETHOD(Decommit)() override;
  STDMETHOD(GetBuffer)(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                       DWORD flags) override;
  STDMETHOD(ReleaseBuffer)(IMediaSample* sample) override;

 private:
  MemoryAllocator();
  ~MemoryAllocator();

  // Under mutex_: frees the samples once decommitted with none out.
  void FreeIfIdle();

  std::atomic<ULONG> refs_{1};

  std::mutex mutex_;  // guards everything below
  std::condition_variable sample_returned_;
  ALLOCATOR_PROPERTIES properties_{};
  bool committed_ = false;
  std::vector<std::unique_ptr<MediaSample>> samples_;
  std::vector<MediaSample*> free_;  // not owned: the samples of samples_ not handed out
};

}  // namespace vesk::filter
