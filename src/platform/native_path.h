// File name prefixes come from settings written for a platform whose folder
// separator is the backslash (".\\" is the current folder): here they become
// slashes.
#pragma once

#include <algorithm>
#include <string>

namespace vesk::platform {

inline std::string NativePath(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

}  // namespace vesk::platform
