#include "platform/native_path.h"

namespace vesk::platform {

// The backslash is this platform's own separator.
std::string NativePath(std::string path) { return path; }

}  // namespace vesk::platform
