// StingyAllocator: an allocator that grants half the buffer size asked for,
// as some input pins' allocators grant less than an output pin needs.
// Everything else is the wrapped allocator's.
#pragma once

#include <atomic>

#include "vesk/com_ptr.h"
#include "vesk/dshow.h"

namespace vesk::host {

class StingyAllocator final : public IMemAllocator {
 public:
  static ComPtr<IMemAllocator> Wrap(ComPtr<IMemAllocator> inner);

  STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;

  STDMETHOD(SetProperties)(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
  STDMETHOD(GetProperties)(ALLOCATOR_PROPERTIES* properties) override;
  STDMETHOD(Commit)() override;
  STDMETHOD(Decommit)() override;
  STDMETHOD(GetBuffer)(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                       DWORD flags) override;
  STDMETHOD(ReleaseBuffer)(IMediaSample* sample) override;

 private:
  explicit StingyAllocator(ComPtr<IMemAllocator> inner) : inner_(std::move(inner)) {}
  ~StingyAllocator() = default;

  std::atomic<ULONG> refs_{1};
  const ComPtr<IMemAllocator> inner_;
};

}  // namespace vesk::host
