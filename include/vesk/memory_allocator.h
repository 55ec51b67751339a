// The memory allocator of the module's pins, offered to hosts as well: a
// fixed set of samples in ordinary memory, as a media framework's memory
// allocator behaves. Its memory goes at Decommit, or with the last sample
// still out once decommitted, so a reader that keeps a pointer into a buffer
// must hold that buffer's sample.
#pragma once

#include "vesk/dshow.h"

namespace vesk {

// A new allocator with no properties set, and one reference for the caller.
HRESULT CreateMemoryAllocator(IMemAllocator** allocator);

}  // namespace vesk
