// File name prefixes come from settings written for a platform whose folder
// separator is the backslash (".\\" is the current folder): each platform
// turns them into names it opens.
#pragma once

#include <string>

namespace vesk::platform {

std::string NativePath(std::string path);

}  // namespace vesk::platform
