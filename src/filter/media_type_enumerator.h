// Enumerates a pin's preferred media types, position by position.
#pragma once

#include <atomic>

#include "vesk/dshow.h"

namespace vesk::filter {

class StreamPin;

class MediaTypeEnumerator final : public IEnumMediaTypes {
 public:
  // A new enumerator with one reference; nullptr when memory ran out.
  static MediaTypeEnumerator* Create(StreamPin& pin, int position);

  STDMETHOD(QueryInterface)(REFIID riid, void** object) override;
  STDMETHOD_(ULONG, AddRef)() override;
  STDMETHOD_(ULONG, Release)() override;

  STDMETHOD(Next)(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
  STDMETHOD(Skip)(ULONG count) override;
  STDMETHOD(Reset)() override;
  STDMETHOD(Clone)(IEnumMediaTypes** clone) override;

 private:
  MediaTypeEnumerator(StreamPin& pin, int position);
  ~MediaTypeEnumerator();

  StreamPin& pin_;  // kept alive by the reference taken on it
  std::atomic<ULONG> references_{1};
  int position_;  // touched by one caller at a time, as enumerators are
};

}  // namespace vesk::filter
