// The options texts of the configuration record, in the words the player
// searches for.
#pragma once

#include <string>

#include "mkrec/audio_format.h"

namespace vesk::mkrec {

// "-width 352 -height 288": both always, so no player falls back to a square.
std::string VideoOptions(int width, int height);

// "rate=16000 bits=16", then "stereo" and "-nosnd" when they apply.
std::string AudioOptions(const AudioFormat& format, bool nosnd);

}  // namespace vesk::mkrec
