// FaultyAllocator: an allocator that misbehaves as some input pins'
// allocators do: it grants half the buffer size asked for, or hands out
// samples whose memory cannot be reached (GetPointer fails). Everything else
// is the wrapped allocator's.
#pragma once

#include <atomic>

#include "vesk/com_ptr.h"
#include "vesk/dshow.h"

namespace vesk::host {

class FaultyAllocator final : public IMemAllocator {
 public:
  enum class Fault { kGrantsLess, kNoMemory };
  static ComPtr<IMemAllocator> Wrap(ComPtr<IMemAllocator> inner, Fault fault);

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
  FaultyAllocator(ComPtr<IMemAllocator> inner, Fault fault) : inner_(std::move(inner)), fault_(fault) {}
  ~FaultyAllocator() = default;

  std::atomic<ULONG> refs_{1};
  const ComPtr<IMemAllocator> inner_;
  const Fault fault_;
};

}  // namespace vesk::host
