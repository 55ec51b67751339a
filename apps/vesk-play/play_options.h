// What the command line asks vesk-play to do.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/output_files.h"

namespace vesk::play {

// The texts --show draws onto the pictures.
enum class PictureText { kTime, kFps, kBps, kActivity };
constexpr int kPictureTextCount = 4;


struct PlayOptions {
  std::string location;  // a recording's path, or an http:// URL
  bool headless = false;
  bool version = false;
  bool info = false;
  bool settings = false;      // print every setting, then stop
  bool saveSettings = false;  // keep the display settings given here for next time
  bool resetSettings = false;  // back to the first-run settings, kept for next time
  bool configReport = false;  // print the report as the property page shows it, then stop
  bool trace = false;
  std::optional<bool> mute;  // --mute or --no-mute; the saved setting otherwise
  std::string audioOut;              // a WAV file for the audio pin's samples
  std::optional<long> audioChannel;  // -1: every channel
  std::optional<double> seekSeconds;
  int timeoutSeconds = 30;  // a live recorder silent this long ends the run

  std::string videoOut;        // an AVI file for the video pin's pictures
  std::optional<long> camera;  // -1: all cameras
  cli::Overwrite overwrite = cli::Overwrite::kAsk;

  // The texts drawn, the others off; the saved switches when not given.
  std::optional<std::vector<PictureText>> show;
  std::optional<long> brightness;
  std::optional<long> contrast;
  std::optional<long> sharpness;
  std::optional<long> smooth;
  std::string snapshotPrefix;  // the module adds "_DDMMYY_HHMMSS.bmp"
  std::string recordPrefix;    // the module adds "_DDMMYY_HHMMSS.avi"
  unsigned long recordFrames = 0;

  // An option given that needs the filter's video output ("--show"), or empty.
  std::string VideoOption() const;
  // Whether any setting of the filter is given: a video option, the audio
  // channel, mute, or a reset.
  bool GivesSettings() const;
  // The files the run is asked to write under names given here.
  std::vector<std::string> OutputFiles() const;
};

// Parses argv; on failure `error` holds a one-line reason. `help` is set for
// --help, and `version` for --version.
std::optional<PlayOptions> ParsePlayOptions(int argc, char** argv, bool* help, std::string* error);

extern const char* const kPlayUsage;

}  // namespace vesk::play
