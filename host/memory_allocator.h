// MemoryAllocator: the host's IMemAllocator, a fixed set of samples in
// ordinary memory, shared by an output pin (which takes samples) and the input
// pin it delivers to (which offers it).
//
// The memory stays from the first Commit until the layout changes or the
// allocator goes, across Decommit and Commit: a pin with one buffer finds its
// last picture in it again, which the video pin's composition relies on.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "host/media_sample.h"
#include "vesk/com_ptr.h"
#include "vesk/dshow.h"

namespace vesk::host {

class MemoryAllocator final : public IMemAllocator {
 public:
  static ComPtr<MemoryAllocator> Create();

  // IUnknown
  STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;

  // IMemAllocator. SetProperties grants at least what is asked: the size is
  // rounded up so that prefix and size fill whole alignment units. GetBuffer
  // waits while every sample is out, and fails with VFW_E_NOT_COMMITTED once
  // the allocator is decommitted, waking every waiter.
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

  std::atomic<ULONG> refs_{1};

  std::mutex mutex_;  // guards everything below
  std::condition_variable sample_returned_;
  ALLOCATOR_PROPERTIES properties_{};
  bool committed_ = false;
  std::vector<std::unique_ptr<MediaSample>> samples_;
  std::vector<MediaSample*> free_;  // not owned: the samples of samples_ not handed out
};

}  // namespace vesk::host
