// Where the filter keeps the user's display settings between sessions. Both
// operations go through the settings interface for every value, so a loaded
// value takes the same path, checks and side effects as one the user sets.
#pragma once

#include "vesk/splitter_settings.h"

namespace vesk::filter {

class SettingsKeeper {
 public:
  virtual ~SettingsKeeper() = default;
  virtual HRESULT Save(ISplitterSettings& settings) = 0;
  virtual HRESULT Load(ISplitterSettings& settings) = 0;
};

}  // namespace vesk::filter
