// What the command line asks vesk-play to do.
#pragma once

#include <optional>
#include <string>

namespace vesk::play {

struct PlayOptions {
  std::string location;  // a recording's path, or an http:// URL
  bool headless = false;
  bool info = false;
  bool trace = false;
  bool mute = false;
  std::string audioOut;              // a WAV file for the audio pin's samples
  std::optional<long> audioChannel;  // -1: every channel
  std::optional<double> seekSeconds;
};

// Parses argv; on failure `error` holds a one-line reason. `help` is set for --help.
std::optional<PlayOptions> ParsePlayOptions(int argc, char** argv, bool* help, std::string* error);

extern const char* const kPlayUsage;

}  // namespace vesk::play
