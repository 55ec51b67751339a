// The location given on the command line, checked before the module sees it,
// so that a user learns why it cannot be played in words of the system's own.
#pragma once

#include <optional>
#include <string>

namespace vesk::play {

struct Location {
  bool live = false;  // an http:// URL of a recorder
  std::string path;   // a file's path, without the "file:\" prefix the filter also takes
};

// Nullopt with a one-line reason naming the location: an unsupported scheme,
// standard input, or a file that does not exist, is a directory or cannot be
// read (with the system's reason).
std::optional<Location> CheckLocation(const std::string& location, std::string* error);

// Why the filter refused a file it could open: where reading it stopped.
std::string WhyNotARecording(const std::string& path);

}  // namespace vesk::play
