// The filter setup data a DirectShow module hands the filter mapper, declared
// here rather than taken from the SDK's base classes, which the module does
// not use. A setup pin and media type are the mapper's own version-1 records.
#pragma once

#include "vesk/dshow.h"

namespace vesk::module {

using AMOVIESETUP_MEDIATYPE = REGPINTYPES;
using AMOVIESETUP_PIN = REGFILTERPINS;

struct AMOVIESETUP_FILTER {
  const CLSID* clsID;
  const WCHAR* strName;
  DWORD dwMerit;
  UINT nPins;
  const AMOVIESETUP_PIN* lpPin;
};

}  // namespace vesk::module
