// The files a run will write, checked before anything is played: none may be
// the recording itself or another output (the same file by device and inode,
// whatever the names), and an existing file is replaced only when the user
// says so.
#pragma once

#include <string>
#include <vector>

#include "apps/vesk-play/play_options.h"

namespace vesk::play {

// `outputs` are the paths given for output files, `input` the recording's
// path (empty for a live recorder). kAsk asks on a terminal and refuses
// otherwise. False with a one-line reason naming the file.
bool CheckOutputFiles(const std::vector<std::string>& outputs, const std::string& input, Overwrite overwrite,
                      std::string* error);

}  // namespace vesk::play
