#include "platform/native_path.h"

#include <algorithm>

namespace vesk::platform {

// Here the separator is the slash.
std::string NativePath(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

}  // namespace vesk::platform
