// The module's wide strings are UTF-16; the system's names are 8-bit.
#pragma once

#include <string>

#include "vesk/com.h"

namespace vesk::platform {

// The name as the system takes it (UTF-8 here, the ANSI code page on
// Windows), at most `limit` bytes: a name longer than that is cut at a
// character boundary.
std::string NarrowFromWide(const WideString& wide, std::size_t limit = 260);

}  // namespace vesk::platform
