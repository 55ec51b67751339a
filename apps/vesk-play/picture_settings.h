// The texts and adjustments the command line asks for, handed to the filter
// through ISplitterSettings before it plays.
#pragma once

#include <string>

#include "apps/vesk-play/play_options.h"
#include "vesk/splitter_settings.h"

namespace vesk::play {

// --show switches each text on; each adjustment given is set, and with it the
// switch that makes it act (brightness and contrast share one, sharpening and
// smoothing another). False, with a one-line reason, at the first refused call.
bool ApplyPictureSettings(ISplitterSettings& settings, const PlayOptions& options, std::string* error);

}  // namespace vesk::play
