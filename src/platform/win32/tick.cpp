#include "platform/tick.h"

#include <windows.h>

namespace vesk::platform {

std::uint32_t Tick::Now() { return GetTickCount(); }

}  // namespace vesk::platform
