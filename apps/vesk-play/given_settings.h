// The settings the command line gives, held against the filter's: the filter
// puts the saved settings back at every channel description it reads, and the
// player puts what was given back over them, so that an option given wins for
// the whole run and the saved settings fill in only what was not given.
#pragma once

#include <mutex>
#include <string>

#include "apps/vesk-play/play_options.h"
#include "vesk/splitter_settings.h"

namespace vesk::play {

class GivenSettings {
 public:
  explicit GivenSettings(const PlayOptions& options) : options_(options) {}

  // Sets every setting given: the audio channel, mute, the texts (those of
  // --show on, the others off), each adjustment with the switch that makes it
  // act (brightness and contrast share one, sharpening and smoothing another).
  // The camera is left to Restore, since the video pin chooses its own when
  // it starts. False, with a one-line reason, at the first refused call.
  bool Apply(ISplitterSettings& settings, std::string* error);

  // Puts back each given setting the filter no longer has; with
  // `selectCamera`, selects the given camera whatever the filter reports.
  // Runs on the streaming thread after each sample, so that a channel
  // description in the stream replaces the given settings for no more than
  // the sample it came before. The first refusal, or S_OK.
  HRESULT Restore(ISplitterSettings& settings, bool selectCamera);

 private:
  const PlayOptions& options_;
  std::mutex restoring_;  // the audio and the video sink may both call Restore
};

// Back to the settings of a first run (all cameras, the time shown, audio
// channel 0, sound on, every other text off, every camera's subtitles shown),
// saved for the next runs.
bool ResetSettings(ISplitterSettings& settings, std::string* error);

}  // namespace vesk::play
