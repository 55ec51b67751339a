#include "apps/vesk-play/play_options.h"

#include <cstdlib>
#include <cstring>

namespace vesk::play {

const char* const kPlayUsage =
    "usage: vesk-play [OPTIONS] LOCATION\n"
    "Plays a VESK recording (a file, or http://host:port/path for a live recorder).\n"
    "\n"
    "  --headless            play without a window (the only way for now)\n"
    "  --info                print the configuration report, the time range and the duration\n"
    "  --audio-out FILE.wav  write the audio the \"Audio\" pin delivers\n"
    "  --audio-channel all|N play every audio channel, or the N-th (from 0)\n"
    "  --mute                deliver silence instead of the sound\n"
    "  --seek SECONDS        start that far into a recording file\n"
    "  --trace               print the module's trace lines to stderr\n"
    "  --help                show this text\n";

namespace {

bool ParseNumber(const char* text, double* value) {
  char* end = nullptr;
  *value = std::strtod(text, &end);
  return end != text && *end == '\0';
}

}  // namespace

std::optional<PlayOptions> ParsePlayOptions(int argc, char** argv, bool* help, std::string* error) {
  PlayOptions options;
  *help = false;
  auto fail = [error](std::string why) -> std::optional<PlayOptions> {
    *error = std::move(why);
    return std::nullopt;
  };
  auto value = [&](int& i) -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      *help = true;
      return std::nullopt;
    } else if (arg == "--headless") {
      options.headless = true;
    } else if (arg == "--info") {
      options.info = true;
    } else if (arg == "--trace") {
      options.trace = true;
    } else if (arg == "--mute") {
      options.mute = true;
    } else if (arg == "--audio-out") {
      const char* file = value(i);
      if (!file) return fail("--audio-out needs a file name");
      options.audioOut = file;
    } else if (arg == "--audio-channel") {
      const char* channel = value(i);
      double number = 0;
      if (channel && std::strcmp(channel, "all") == 0) {
        options.audioChannel = -1;
      } else if (channel && ParseNumber(channel, &number) && number >= 0 && number < 256 &&
                 number == static_cast<long>(number)) {
        options.audioChannel = static_cast<long>(number);
      } else {
        return fail("--audio-channel takes 'all' or a channel index from 0");
      }
    } else if (arg == "--seek") {
      const char* seconds = value(i);
      double number = 0;
      if (!seconds || !ParseNumber(seconds, &number) || number < 0 || number > 4e9)
        return fail("--seek takes a number of seconds");
      options.seekSeconds = number;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return fail("unknown option " + arg + " (try --help)");
    } else if (!options.location.empty()) {
      return fail("one recording at a time (try --help)");
    } else {
      options.location = arg;
    }
  }
  if (options.location.empty()) return fail("no recording given (try --help)");
  return options;
}

}  // namespace vesk::play
