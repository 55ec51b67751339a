// The player's check of an ISplitterSettings call: a refusal by the module
// becomes one line naming the call, for the user.
#pragma once

#include <string>

#include "vesk/com.h"

namespace vesk::play {

// True when `result` is a success; otherwise `error` names `call` and the code.
bool CallSucceeded(const char* call, HRESULT result, std::string* error);

}  // namespace vesk::play
