// For tests of damaged recordings: a file cut off part way, as when the
// recorder stops mid-write.
#pragma once

#include <cstdint>
#include <string>

#include "mkrec/status.h"

namespace vesk::mkrec {

// Keeps the first `size` bytes of the file; `size` must not exceed its length.
Status CutFile(const std::string& path, std::uint64_t size);

}  // namespace vesk::mkrec
