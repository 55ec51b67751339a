// MediaSample: one buffer of a MemoryAllocator, handed out by GetBuffer and
// given back when its last reference goes.
#pragma once

#include <atomic>
#include <memory>
#include <optional>

#include "vesk/dshow.h"

namespace vesk::filter {

class MemoryAllocator;

// One holder at a time (the producer, then the pin it delivers to), so the
// sample's properties take no lock; the allocator's lock orders the hand-overs.
class MediaSample final : public IMediaSample {
 public:
  // `size` usable bytes, starting `prefix` bytes into the block and aligned to
  // `alignment` (a power of two).
  MediaSample(MemoryAllocator& allocator, LONG size, LONG alignment, LONG prefix);
  ~MediaSample();
  MediaSample(const MediaSample&) = delete;
  MediaSample& operator=(const MediaSample&) = delete;

  // Called by the allocator when it hands the sample out: one reference, no
  // times, no flags, no type, no data.
  void Prepare();

  // IUnknown
  STDMETHOD(QueryInterface)(REFIID iid, void** object) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;

  // IMediaSample
  STDMETHOD(GetPointer)(BYTE** buffer) override;
  STDMETHOD_(LONG, GetSize)() override;
  STDMETHOD(GetTime)(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
  STDMETHOD(SetTime)(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
  STDMETHOD(IsSyncPoint)() override;
  STDMETHOD(SetSyncPoint)(BOOL syncPoint) override;
  STDMETHOD(IsPreroll)() override;
  STDMETHOD(SetPreroll)(BOOL preroll) override;
  STDMETHOD_(LONG, GetActualDataLength)() override;
  STDMETHOD(SetActualDataLength)(LONG length) override;
  STDMETHOD(GetMediaType)(AM_MEDIA_TYPE** type) override;
  STDMETHOD(SetMediaType)(AM_MEDIA_TYPE* type) override;
  STDMETHOD(IsDiscontinuity)() override;
  STDMETHOD(SetDiscontinuity)(BOOL discontinuity) override;
  STDMETHOD(GetMediaTime)(LONGLONG* start, LONGLONG* stop) override;
  STDMETHOD(SetMediaTime)(LONGLONG* start, LONGLONG* stop) override;

 private:
  MemoryAllocator& allocator_;  // not owned: it owns this sample
  std::unique_ptr<BYTE[]> block_;
  BYTE* data_;  // inside block_
  const LONG size_;
  std::atomic<ULONG> refs_{0};

  LONG length_ = 0;
  std::optional<REFERENCE_TIME> start_;
  std::optional<REFERENCE_TIME> stop_;
  std::optional<LONGLONG> media_start_;
  std::optional<LONGLONG> media_stop_;
  bool sync_point_ = false;
  bool preroll_ = false;
  bool discontinuity_ = false;
  AM_MEDIA_TYPE* type_ = nullptr;  // owned; carried by the sample when set
};

}  // namespace vesk::filter
