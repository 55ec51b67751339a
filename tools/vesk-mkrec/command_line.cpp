#include "command_line.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <set>

#include "mkrec/demo_plan.h"

namespace vesk::mkrec {

namespace {

const std::set<std::string> kValueOptions = {"--duration",    "--start",  "--device",
                                             "--camera",      "--fps",    "--audio",
                                             "--text",        "--status", "--repeat-description",
                                             "--max-fragment"};

bool ParseNumber(const std::string& text, std::uint32_t max, std::uint32_t& out) {
  const char* end = text.data() + text.size();
  const auto [next, error] = std::from_chars(text.data(), end, out);
  return !text.empty() && error == std::errc() && next == end && out <= max;
}

Status Bad(const std::string& option, const std::string& value, const std::string& why) {
  return Status::Error(option + " " + value + ": " + why);
}

// A whole number from `low` to `high`, or the range in the error.
Status WholeNumber(const std::string& option, const std::string& value, std::uint32_t low, std::uint32_t high,
                   std::uint32_t& out) {
  if (ParseNumber(value, high, out) && out >= low) return Status::Ok();
  return Bad(option, value, "takes a whole number from " + std::to_string(low) + " to " + std::to_string(high));
}

// Splits "a:b:c" at its colons; a field starting with `greedy` takes the rest
// of the text, colons included, so file paths can hold them.
std::vector<std::string> Fields(const std::string& spec, const std::string& greedy) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (true) {
    const bool rest = spec.compare(start, greedy.size(), greedy) == 0;
    const std::size_t colon = rest ? std::string::npos : spec.find(':', start);
    fields.push_back(spec.substr(start, colon - start));
    if (colon == std::string::npos) return fields;
    start = colon + 1;
  }
}

}  // namespace

const char* CommandLine::Usage() {
  return "Usage: vesk-mkrec --demo OUT.vsk\n"
         "       vesk-mkrec [OPTIONS] OUT.vsk\n"
         "Writes a recording in the recorder's stream format.\n"
         "\n"
         "  --demo                     the built-in demo: 4 cameras, audio, texts, status\n"
         "  --duration S               length in seconds (default 10)\n"
         "  --start TIME               \"YYYY-MM-DD HH:MM:SS\" UTC or seconds since 1970\n"
         "                             (default 2026-12-05 12:00:00)\n"
         "  --device NAME              device name, UTF-8 (default VESK)\n"
         "  --camera SLOT[:WxH][:y4m=FILE]\n"
         "                             a camera in slot 0-3, 352x288 unless given; a Y4M\n"
         "                             file gives its own size (default: camera 0)\n"
         "  --fps N                    frames per second of each camera (default 5)\n"
         "  --audio CH[:rate=R][:bits=B][:stereo][:nosnd][:wav=FILE]\n"
         "                             an audio channel, a tone unless a WAV file is\n"
         "                             given (default 8000 Hz, 8 bits, mono)\n"
         "  --text CH:SECOND:TEXT      a text line on channel 128-255 at that second\n"
         "  --status CH                the status channel's number (default 16)\n"
         "  --no-status                no status channel\n"
         "  --repeat-description S     write the channel description again at second S\n"
         "  --max-fragment N           split packets into fragments of at most N bytes\n"
         "  --mark-keyframes           set the mark flag on key frames\n"
         "  --allow-mixed-audio        write audio channels of different formats (players\n"
         "                             play one format: for test files only)\n"
         "  -y, --overwrite            replace an output file that exists (it is kept\n"
         "                             otherwise); -n, --no-overwrite refuses at once\n"
         "  --version                  print the version\n"
         "  --help                     show this text\n";
}

std::vector<std::string> CommandLine::InputFiles() const {
  std::vector<std::string> files;
  for (const CameraPlan& camera : plan_.cameras)
    if (!camera.y4mPath.empty()) files.push_back(camera.y4mPath);
  for (const AudioPlan& audio : plan_.audio)
    if (!audio.wavPath.empty()) files.push_back(audio.wavPath);
  return files;
}

Status CommandLine::Parse(const std::vector<std::string>& args) {
  plan_ = RecordingPlan{};
  plan_.startTime = DemoPlan().startTime;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      help_ = true;
      return Status::Ok();
    }
    if (arg == "--version") {
      version_ = true;
      return Status::Ok();
    }
    if (arg == "-y" || arg == "--overwrite" || arg == "-n" || arg == "--no-overwrite") {
      overwrite_ = arg == "-y" || arg == "--overwrite" ? cli::Overwrite::kAlways : cli::Overwrite::kNever;
      continue;
    }
    if (arg == "--demo") {
      demo_ = true;
    } else if (arg == "--no-status" || arg == "--mark-keyframes" || arg == "--allow-mixed-audio") {
      if (Status s = Option(arg, ""); !s.ok()) return s;
    } else if (kValueOptions.count(arg)) {
      if (i + 1 == args.size()) return Status::Error(arg + " needs a value");
      if (Status s = Option(arg, args[++i]); !s.ok()) return s;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Status::Error("unknown option " + arg + " (see --help)");
    } else if (!output_.empty()) {
      return Status::Error("more than one output file: " + output_ + ", " + arg);
    } else {
      output_ = arg;
    }
  }
  if (output_.empty()) return Status::Error("no output file given (see --help)");
  if (demo_) {
    if (planOptionGiven_) return Status::Error("--demo takes no other options");
    plan_ = DemoPlan();
  } else if (plan_.cameras.empty()) {
    plan_.cameras.push_back(CameraPlan{});
  }
  return Status::Ok();
}

Status CommandLine::Option(const std::string& name, const std::string& value) {
  planOptionGiven_ = true;
  std::uint32_t number = 0;
  if (name == "--no-status" || name == "--status") {
    if (statusOptionGiven_) return Status::Error("give --status or --no-status once");
    statusOptionGiven_ = true;
    if (name == "--no-status") {
      plan_.status.reset();
      return Status::Ok();
    }
    if (!ParseNumber(value, 255, number)) return Bad(name, value, "not a channel number");
    plan_.status = StatusPlan{static_cast<std::uint8_t>(number), {}};
  } else if (name == "--allow-mixed-audio") {
    plan_.allowMixedAudio = true;
  } else if (name == "--mark-keyframes") {
    plan_.markKeyFrames = true;
  } else if (name == "--duration") {
    return WholeNumber(name, value, 1, kMaxDuration, plan_.durationSeconds);
  } else if (name == "--fps") {
    return WholeNumber(name, value, 1, kMaxFramesPerSecond, plan_.framesPerSecond);
  } else if (name == "--max-fragment") {
    return WholeNumber(name, value, 1, input::kMaxFragmentPayload, plan_.maxFragment);
  } else if (name == "--repeat-description") {
    if (Status s = WholeNumber(name, value, 0, kMaxDuration - 1, number); !s.ok()) return s;
    plan_.repeatDescriptionAt = number;
  } else if (name == "--device") {
    plan_.deviceName = value;
  } else if (name == "--start") {
    return Start(value);
  } else if (name == "--camera") {
    return Camera(value);
  } else if (name == "--audio") {
    return Audio(value);
  } else {
    return Text(value);
  }
  return Status::Ok();
}

Status CommandLine::Start(const std::string& text) {
  std::uint32_t seconds = 0;
  if (ParseNumber(text, UINT32_MAX, seconds)) {
    plan_.startTime = seconds;
    return Status::Ok();
  }
  unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char separator = 0;
  int used = 0;
  const bool read = std::sscanf(text.c_str(), "%4u-%2u-%2u%c%2u:%2u:%2u%n", &y, &mo, &d, &separator,
                                &h, &mi, &s, &used) == 7;
  using namespace std::chrono;
  const year_month_day date{year{static_cast<int>(y)}, month{mo}, day{d}};
  if (!read || static_cast<std::size_t>(used) != text.size() ||
      (separator != ' ' && separator != 'T') || !date.ok() || h > 23 || mi > 59 || s > 59)
    return Bad("--start", text, "expected \"YYYY-MM-DD HH:MM:SS\" or seconds since 1970");
  const auto time = sys_days{date} + hours{h} + minutes{mi} + std::chrono::seconds{s};
  const auto count = time.time_since_epoch().count();
  if (count < 0 || count > static_cast<long long>(UINT32_MAX))
    return Bad("--start", text, "outside 1970 to 2106");
  plan_.startTime = static_cast<std::uint32_t>(count);
  return Status::Ok();
}

Status CommandLine::Camera(const std::string& spec) {
  const std::vector<std::string> fields = Fields(spec, "y4m=");
  std::uint32_t slot = 0;
  if (!ParseNumber(fields[0], 3, slot)) return Bad("--camera", spec, "slot must be 0 to 3");
  CameraPlan camera;
  camera.slot = static_cast<std::uint8_t>(slot);
  bool sized = false;
  for (std::size_t i = 1; i < fields.size(); ++i) {
    const std::string& field = fields[i];
    const std::size_t x = field.find('x');
    std::uint32_t width = 0, height = 0;
    if (field.rfind("y4m=", 0) == 0) {
      camera.y4mPath = field.substr(4);
      if (camera.y4mPath.empty()) return Bad("--camera", spec, "y4m= needs a file");
    } else if (!sized && x != std::string::npos && ParseNumber(field.substr(0, x), 65535, width) &&
               ParseNumber(field.substr(x + 1), 65535, height)) {
      camera.width = static_cast<int>(width);
      camera.height = static_cast<int>(height);
      sized = true;
    } else {
      return Bad("--camera", spec, "'" + field + "' is neither WxH nor y4m=FILE, or is repeated");
    }
  }
  if (sized && !camera.y4mPath.empty())
    return Bad("--camera", spec, "a Y4M file gives its own size");
  plan_.cameras.push_back(camera);
  return Status::Ok();
}

Status CommandLine::Audio(const std::string& spec) {
  const std::vector<std::string> fields = Fields(spec, "wav=");
  std::uint32_t channel = 0;
  if (!ParseNumber(fields[0], 255, channel)) return Bad("--audio", spec, "not a channel number");
  AudioPlan audio;
  audio.channel = static_cast<std::uint8_t>(channel);
  bool formatGiven = false;
  for (std::size_t i = 1; i < fields.size(); ++i) {
    const std::string& field = fields[i];
    if (field.rfind("wav=", 0) == 0) {
      audio.wavPath = field.substr(4);
      if (audio.wavPath.empty()) return Bad("--audio", spec, "wav= needs a file");
      continue;
    }
    formatGiven = formatGiven || field != "nosnd";
    if (field == "stereo") {
      audio.format.channels = 2;
    } else if (field == "nosnd") {
      audio.nosnd = true;
    } else if (field.rfind("rate=", 0) == 0) {
      if (!ParseNumber(field.substr(5), UINT32_MAX, audio.format.rate))
        return Bad("--audio", spec, "bad rate");
    } else if (field.rfind("bits=", 0) == 0) {
      if (!ParseNumber(field.substr(5), UINT32_MAX, audio.format.bits))
        return Bad("--audio", spec, "bad bits");
    } else {
      return Bad("--audio", spec, "unknown part '" + field + "'");
    }
  }
  if (formatGiven && !audio.wavPath.empty())
    return Bad("--audio", spec, "a WAV file gives its own rate, bits and channels");
  plan_.audio.push_back(audio);
  return Status::Ok();
}

Status CommandLine::Text(const std::string& spec) {
  const std::size_t first = spec.find(':');
  const std::size_t second = first == std::string::npos ? first : spec.find(':', first + 1);
  std::uint32_t channel = 0;
  std::uint32_t at = 0;
  if (second == std::string::npos || !ParseNumber(spec.substr(0, first), 255, channel) ||
      !ParseNumber(spec.substr(first + 1, second - first - 1), UINT32_MAX, at))
    return Bad("--text", spec, "expected CHANNEL:SECOND:TEXT");
  const TextLine line{at, spec.substr(second + 1)};
  for (TextPlan& text : plan_.texts) {
    if (text.channel == channel) {
      text.lines.push_back(line);
      return Status::Ok();
    }
  }
  plan_.texts.push_back({static_cast<std::uint8_t>(channel), {line}, ""});
  return Status::Ok();
}

}  // namespace vesk::mkrec
