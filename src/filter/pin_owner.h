// What an output pin needs of the filter that owns it.
#pragma once

#include "vesk/dshow.h"

namespace vesk::filter {

class PinOwner {
 public:
  // The filter's controlling unknown: a pin's references are the filter's.
  virtual IUnknown* OwnerUnknown() = 0;
  virtual IBaseFilter* OwnerFilter() = 0;
  virtual bool IsStopped() = 0;

 protected:
  ~PinOwner() = default;
};

}  // namespace vesk::filter
