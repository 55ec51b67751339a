#include "input/camera_size.h"

#include <cstdlib>
#include <cstring>

namespace vesk::input {
namespace {

std::uint32_t NumberAfter(const char* options, const char* word, std::size_t skip) {
  const char* found = std::strstr(options, word);
  if (!found) return 0;
  return static_cast<std::uint32_t>(std::strtoul(found + skip, nullptr, 10));
}

}  // namespace

CameraSize CameraSizeFromOptions(const char* options) {
  CameraSize size;
  size.width = NumberAfter(options, "-width", 7);
  size.height = std::strstr(options, "-height") ? NumberAfter(options, "-height", 8) : size.width;
  return size;
}

}  // namespace vesk::input
