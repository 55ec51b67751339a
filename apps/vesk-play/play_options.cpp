#include "apps/vesk-play/play_options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <sstream>

namespace vesk::play {

const char* const kPlayUsage =
    "usage: vesk-play [OPTIONS] LOCATION\n"
    "Plays a VESK recording (a file, or http://host:port/path for a live recorder).\n"
    "A location given alone opens the desktop player where there is a display.\n"
    "\n"
    "  --headless            play without a window, to the outputs given or to none\n"
    "  --info                print the configuration report, every channel with its own\n"
    "                        format, the time range and the duration\n"
    "  --config-report       print the configuration report as the property page shows it\n"
    "  --settings            print where the settings are kept and every setting of the\n"
    "                        filter (after the options below)\n"
    "  --save-settings       keep the display settings given here (camera texts, switches,\n"
    "                        audio channel, mute) for the next runs\n"
    "  --reset-settings      go back to the settings of a first run, and keep them\n"
    "  -y, --overwrite       replace output files that exist (they are kept otherwise)\n"
    "  -n, --no-overwrite    refuse at once when an output file exists, without asking\n"
    "  --audio-out FILE.wav  write the audio the \"Audio\" pin delivers\n"
    "  --audio-channel all|N play every audio channel, or the N-th (from 0)\n"
    "  --mute, --no-mute     deliver silence instead of the sound, or the sound\n"
    "  --from TIME, --to TIME\n"
    "                        play only this part of a recording file, in every output;\n"
    "                        TIME is seconds (75.5), [HH:]MM:SS[.fff] (01:15.5) into it,\n"
    "                        or its clock time (\"2026-12-05 12:00:05\", UTC). The\n"
    "                        recording keeps whole seconds: the range plays each second\n"
    "                        it touches. --seek TIME is --from TIME\n"
    "  --timeout SECONDS     give up on a live recorder that sends nothing for that long\n"
    "                        (default 30)\n"
    "  --trace               print the module's trace lines to stderr\n"
    "  --help                show this text\n"
    "\n"
    "Pictures (the \"VideoOutput0\" pin: all cameras in a 2x2 grid, or one enlarged):\n"
    "  --video-out FILE.avi  write the pictures as an uncompressed AVI file\n"
    "  --export FILE.mp4|FILE.mkv\n"
    "                        write the pictures (as shown: cameras, texts, adjustments)\n"
    "                        as H.264 (MPEG-4 Part 2 where libavcodec lacks it) and the\n"
    "                        sound of the audio channel as AAC, at the recording's times\n"
    "  --camera all|0..3     show every camera, or that one alone\n"
    "  --show LIST|none      draw these texts and no others: a comma list of time, fps,\n"
    "                        bps, activity\n"
    "  --brightness N        -100 to 100   } each also switches brightness and\n"
    "  --contrast N          -50 to 50     } contrast on\n"
    "  --sharpness N         0 to 4        } each also switches sharpening and\n"
    "  --smooth N            0 to 100      } smoothing on\n"
    "  --snapshot PREFIX     at the end, save the last picture as PREFIX_DDMMYY_HHMMSS.bmp\n"
    "                        (the recording's time)\n"
    "  --record PREFIX --frames N\n"
    "                        record the pictures into PREFIX_DDMMYY_HHMMSS.avi until the\n"
    "                        N-th; the first opens the file, so it holds N-1 of them\n"
    "\n"
    "Options given here win for this run over the saved settings, also when the\n"
    "recording's channel description comes again and the filter reloads them; what\n"
    "is not given comes from the saved settings (see --settings for where they are).\n"
    "  --version             print the version\n";

namespace {

bool ParseNumber(const char* text, double* value) {
  char* end = nullptr;
  *value = std::strtod(text, &end);
  return end != text && *end == '\0';
}

// A whole decimal number from `low` to `high`.
bool ParseInteger(const char* text, long long low, long long high, long long* value) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  *value = std::strtoll(text, &end, 10);
  return errno == 0 && *end == '\0' && *value >= low && *value <= high;
}

std::optional<PictureText> ParsePictureText(const std::string& word) {
  if (word == "time") return PictureText::kTime;
  if (word == "fps") return PictureText::kFps;
  if (word == "bps") return PictureText::kBps;
  if (word == "activity") return PictureText::kActivity;
  return std::nullopt;
}

}  // namespace

std::string PlayOptions::VideoOption() const {
  if (!videoOut.empty()) return "--video-out";
  if (!exportPath.empty()) return "--export";
  if (camera) return "--camera";
  if (show) return "--show";
  if (brightness) return "--brightness";
  if (contrast) return "--contrast";
  if (sharpness) return "--sharpness";
  if (smooth) return "--smooth";
  if (!snapshotPrefix.empty()) return "--snapshot";
  if (!recordPrefix.empty()) return "--record";
  return "";
}

bool PlayOptions::GivesSettings() const {
  return !VideoOption().empty() || audioChannel || mute || resetSettings;
}

std::vector<std::string> PlayOptions::OutputFiles() const {
  std::vector<std::string> files;
  for (const std::string* file : {&audioOut, &videoOut, &exportPath})
    if (!file->empty()) files.push_back(*file);
  return files;
}

std::optional<PlayOptions> ParsePlayOptions(int argc, char** argv, bool* help, std::string* error) {
  PlayOptions options;
  *help = false;
  auto fail = [error](std::string why) -> std::optional<PlayOptions> {
    *error = std::move(why);
    return std::nullopt;
  };
  auto value = [&](int& i) -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
  // The picture adjustments: name, range, and where the value goes.
  const struct {
    const char* name;
    long long low, high;
    std::optional<long>* target;
  } adjustments[] = {
      {"--brightness", -100, 100, &options.brightness},
      {"--contrast", -50, 50, &options.contrast},
      {"--sharpness", 0, 4, &options.sharpness},
      {"--smooth", 0, 100, &options.smooth},
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto adjustment = std::find_if(std::begin(adjustments), std::end(adjustments),
                                         [&](const auto& a) { return arg == a.name; });
    if (arg == "--help" || arg == "-h") {
      *help = true;
      return std::nullopt;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--headless") {
      options.headless = true;
    } else if (arg == "--info") {
      options.info = true;
    } else if (arg == "--settings") {
      options.settings = true;
    } else if (arg == "--save-settings") {
      options.saveSettings = true;
    } else if (arg == "--reset-settings") {
      options.resetSettings = true;
    } else if (arg == "-y" || arg == "--overwrite") {
      options.overwrite = cli::Overwrite::kAlways;
    } else if (arg == "-n" || arg == "--no-overwrite") {
      options.overwrite = cli::Overwrite::kNever;
    } else if (arg == "--config-report") {
      options.configReport = true;
    } else if (arg == "--trace") {
      options.trace = true;
    } else if (arg == "--mute" || arg == "--no-mute") {
      options.mute = arg == "--mute";
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
    } else if (arg == "--from" || arg == "--seek" || arg == "--to") {
      const char* text = value(i);
      std::optional<GivenTime> time = text ? ParseGivenTime(text) : std::nullopt;
      if (!time) {
        return fail(arg + " takes seconds (75.5), [HH:]MM:SS[.fff] or a time \"YYYY-MM-DD HH:MM:SS\"" +
                    (text ? std::string(", not '") + text + "'" : std::string()));
      }
      (arg == "--to" ? options.to : options.from) = std::move(time);
    } else if (arg == "--timeout") {
      long long seconds = 0;
      if (!ParseInteger(value(i), 1, 24 * 3600, &seconds))
        return fail("--timeout takes a whole number of seconds from 1");
      options.timeoutSeconds = static_cast<int>(seconds);
    } else if (arg == "--export") {
      const char* file = value(i);
      if (!file || *file == '\0') return fail("--export needs a file name ending in .mp4 or .mkv");
      options.exportPath = file;
    } else if (arg == "--video-out") {
      const char* file = value(i);
      if (!file || *file == '\0') return fail("--video-out needs a file name");
      options.videoOut = file;
    } else if (arg == "--camera") {
      const char* camera = value(i);
      long long number = 0;
      if (camera && std::strcmp(camera, "all") == 0) {
        options.camera = -1;
      } else if (ParseInteger(camera, 0, 3, &number)) {
        options.camera = static_cast<long>(number);
      } else {
        return fail("--camera takes 'all' or a camera from 0 to 3");
      }
    } else if (arg == "--show") {
      const char* list = value(i);
      if (!list || *list == '\0') return fail("--show takes a comma list of time, fps, bps, activity, or none");
      options.show.emplace();
      if (std::strcmp(list, "none") == 0) continue;
      std::istringstream words(list);
      for (std::string word; std::getline(words, word, ',');) {
        const std::optional<PictureText> text = ParsePictureText(word);
        if (!text) return fail("--show: unknown text '" + word + "' (time, fps, bps, activity or none)");
        options.show->push_back(*text);
      }
    } else if (adjustment != std::end(adjustments)) {
      long long number = 0;
      if (!ParseInteger(value(i), adjustment->low, adjustment->high, &number)) {
        return fail(arg + " takes a whole number from " + std::to_string(adjustment->low) + " to " +
                    std::to_string(adjustment->high));
      }
      *adjustment->target = static_cast<long>(number);
    } else if (arg == "--snapshot") {
      const char* prefix = value(i);
      if (!prefix || *prefix == '\0') return fail("--snapshot needs a file name prefix");
      options.snapshotPrefix = prefix;
    } else if (arg == "--record") {
      const char* prefix = value(i);
      if (!prefix || *prefix == '\0') return fail("--record needs a file name prefix");
      options.recordPrefix = prefix;
    } else if (arg == "--frames") {
      long long number = 0;
      // The first picture only opens the file, so fewer than 2 records nothing.
      if (!ParseInteger(value(i), 2, 0xFFFFFFFF, &number))
        return fail("--frames takes a number of pictures from 2");
      options.recordFrames = static_cast<unsigned long>(number);
    } else if (arg.size() > 1 && arg[0] == '-') {
      return fail("unknown option " + arg + " (try --help)");
    } else if (!options.location.empty()) {
      return fail("one recording at a time (try --help)");
    } else {
      options.location = arg;
    }
  }
  if (!options.recordPrefix.empty() && options.recordFrames == 0) return fail("--record needs --frames N");
  if (options.recordPrefix.empty() && options.recordFrames != 0) return fail("--frames needs --record PREFIX");
  if (!options.exportPath.empty() && (!options.videoOut.empty() || !options.audioOut.empty()))
    return fail("--export takes the pictures and the sound: give it without --video-out and --audio-out");
  if (options.version) return options;
  if (options.location.empty()) return fail("no recording given (try --help)");
  return options;
}

}  // namespace vesk::play
