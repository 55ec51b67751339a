#include "mkrec/channel_options.h"

namespace vesk::mkrec {

std::string VideoOptions(int width, int height) {
  return "-width " + std::to_string(width) + " -height " + std::to_string(height);
}

std::string AudioOptions(const AudioFormat& format, bool nosnd) {
  std::string options =
      "rate=" + std::to_string(format.rate) + " bits=" + std::to_string(format.bits);
  if (format.channels == 2) options += " stereo";
  if (nosnd) options += " -nosnd";
  return options;
}

}  // namespace vesk::mkrec
