// Words for why a live stream could not be played to its end.
#pragma once

#include <string>

#include "vesk/com.h"

namespace vesk::play {

// The cause the filter reported with EC_ERRORABORT, in a few words.
std::string StreamErrorText(HRESULT cause);

}  // namespace vesk::play
