#include "apps/vesk-play/player.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <thread>

#include "apps/vesk-play/location.h"
#include "apps/vesk-play/settings_call.h"
#include "apps/vesk-play/stream_error_text.h"
#include "cli/output_files.h"
#include "host/media_type.h"
#include "platform/settings_store.h"
#include "probe/recording_probe.h"
#include "vesk/module_trace.h"
#include "vesk/notify_target.h"
#include "vesk/report_text.h"

namespace vesk::play {
namespace {

constexpr LONGLONG kUnitsPerSecond = 10000000;
constexpr auto kProgressAfter = std::chrono::seconds(1);

void TraceToStderr(const char* line) { std::fprintf(stderr, "%s\n", line); }

// The module says why it cannot make its filter (a missing font, say) only in
// its trace: the first line traced while it tries is kept for the error (the
// lines after it come from taking the half-made filter apart).
std::string firstTraceLine;
void KeepFirstTraceLine(const char* line) {
  if (firstTraceLine.empty()) firstTraceLine = line;
}

std::string Clock(LONGLONG units) {
  const long long seconds = units / kUnitsPerSecond;
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

bool IsUrl(const std::string& location) { return location.rfind("http://", 0) == 0; }

constexpr const char16_t* kVideoPin = u"VideoOutput0";

}  // namespace

std::unique_ptr<Player> Player::Open(const PlayOptions& options, std::string* error) {
  std::unique_ptr<Player> player(new Player());
  player->options_ = options;
  player->given_.emplace(player->options_);

  const std::filesystem::path modulePath = host::ModuleLoader::FindInstalled();
  if (modulePath.empty()) {
    *error = "the playback module (libvesk.so) is not installed beside vesk-play";
    return nullptr;
  }
  player->module_ = host::ModuleLoader::Load(modulePath, error);
  if (!player->module_) return nullptr;
  if (options.trace) {
    if (auto setSink = reinterpret_cast<SetTraceSinkEntry>(player->module_->Entry(kSetTraceSinkEntry)))
      setSink(TraceToStderr);
  }

  // A live recorder's failures come from the filter while it plays.
  const std::optional<Location> location = CheckLocation(options.location, error);
  if (!location) return nullptr;
  player->path_ = location->path;
  const bool writes = !(options.info || options.settings || options.configReport);
  if (writes && !cli::CheckOutputFiles(options.OutputFiles(), {location->path}, options.overwrite, "vesk-play", error))
    return nullptr;

  auto setSink = reinterpret_cast<SetTraceSinkEntry>(player->module_->Entry(kSetTraceSinkEntry));
  if (setSink && !options.trace) setSink(KeepFirstTraceLine);
  const HRESULT hr = player->module_->CreateInstance(CLSID_SplitterFilter, IID_IBaseFilter,
                                                     reinterpret_cast<void**>(player->filter_.GetAddressOf()));
  if (setSink && !options.trace) setSink(nullptr);
  if (FAILED(hr)) {
    *error = "the playback module could not make its filter";
    if (!firstTraceLine.empty()) *error += ": " + firstTraceLine;
    return nullptr;
  }
  player->filter_.As(IID_ISplitterSettings, &player->settings_);
  if (FAILED(player->BuildGraph(error))) return nullptr;
  if (!player->path_.empty()) {
    player->channels_ = probe::ProbeConfiguration(player->path_).channelList;
    // The audio pin plays every channel in one format, that of the last audio
    // channel: a channel of another format would be written wrongly.
    const std::string differ = probe::AudioFormatsDiffer(player->channels_);
    if (writes && !differ.empty())
      std::fprintf(stderr, "vesk-play: warning: %s; the audio output gives every channel the last one's format\n",
                   differ.c_str());
  }
  return player;
}

Player::~Player() {
  if (settings_ && options_.trace) {
    if (auto setSink = reinterpret_cast<SetTraceSinkEntry>(module_->Entry(kSetTraceSinkEntry)))
      setSink(nullptr);
  }
  if (graph_) graph_->Stop();
  // Stopped, the filter composes no more pictures, so it calls the target no more.
  if (notifyWindowSet_) settings_->SetNotifyWindow(nullptr);
  settings_.Reset();
  filter_.Reset();
  audioSink_.Reset();
  wavWriter_.Reset();
  audioCounter_.Reset();
  videoSink_.Reset();
  aviWriter_.Reset();
  videoCounter_.Reset();
  export_.reset();  // its clock holds the filter
  graph_.Reset();
}

HRESULT Player::BuildGraph(std::string* error) {
  graph_ = host::FilterGraph::Create();
  HRESULT hr = graph_->AddFilter(filter_.Get(), u"VESK source");
  if (FAILED(hr)) {
    *error = "the filter could not join the graph";
    return hr;
  }
  ComPtr<IFileSourceFilter> source;
  filter_.As(IID_IFileSourceFilter, &source);
  const std::u16string location(options_.location.begin(), options_.location.end());
  hr = source->Load(location.c_str(), nullptr);
  if (FAILED(hr)) {
    *error = WhyNotARecording(path_);
    return hr;
  }
  // A live recorder sends its configuration only once it streams.
  if ((options_.info || options_.configReport) && !path_.empty()) return S_OK;
  ComPtr<IMediaSeeking> seeking;
  const bool seekable = SUCCEEDED(filter_.As(IID_IMediaSeeking, &seeking));
  if ((options_.from || options_.to) && !seekable) {
    *error = "a live recorder cannot be positioned (--from, --to)";
    return E_FAIL;
  }
  std::optional<SecondRange> range;
  if (seekable) {
    range = ResolveRange(options_.from, options_.to, static_cast<std::uint32_t>(settings_->GetStartTime()),
                         static_cast<std::uint32_t>(settings_->GetEndTime()), options_.location, error);
    if (!range) return E_INVALIDARG;
    if (range->end) rangeEnd_.emplace(seeking, *range->end);
  }
  if (!options_.exportPath.empty()) {
    if (!seekable) {
      *error = "--export needs a recording file: a live recorder's times are not known";
      return E_FAIL;
    }
    // The filter's position is that of the last index position read, on the
    // thread that delivers the samples after it.
    const LONGLONG origin = LONGLONG{range->first} * kUnitsPerSecond;
    export_ = ExportOutput::Create(options_.exportPath, [seeking, origin]() -> std::int64_t {
      LONGLONG position = 0;
      seeking->GetCurrentPosition(&position);
      return position > origin ? (position - origin) / kUnitsPerSecond : 0;
    }, error);
    if (!export_) return E_INVALIDARG;
  }

  if (export_) {
    audioSink_ = ComPtr<host::SinkFilter>(&export_->AudioSink());
  } else if (options_.audioOut.empty()) {
    audioCounter_ = host::CountingSink::Create();
    audioSink_ = audioCounter_;
  } else {
    wavWriter_ = host::WavWriterSink::Create(options_.audioOut);
    audioSink_ = wavWriter_;
  }
  audioSink_->SetSampleListener([this] {
    NoteSample();
    RestoreGivenSettings(false);
  });
  if (rangeEnd_) audioSink_->SetSampleGate([this](IMediaSample&) { return rangeEnd_->Admit(); });
  hr = Connect(u"Audio", *audioSink_, u"Audio sink");
  if (FAILED(hr)) {
    *error = "the audio output could not be connected";
    return hr;
  }
  hr = ConnectVideo(error);
  if (FAILED(hr)) return hr;
  if (!ApplySettings(error)) return E_FAIL;
  // Every channel description the filter reads puts the saved settings back,
  // and the first sample after it is made under them. A file is therefore
  // played from its first index position, past the description it took in
  // when it was loaded, so that what was given here holds from the first
  // sample on.
  if (options_.from || (seekable && options_.GivesSettings())) {
    LONGLONG target = LONGLONG{range->first} * kUnitsPerSecond;
    seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  }
  return S_OK;
}

HRESULT Player::Connect(const char16_t* pinName, host::SinkFilter& sink, const char16_t* sinkName) {
  ComPtr<IPin> output;
  HRESULT hr = filter_->FindPin(pinName, output.GetAddressOf());
  if (SUCCEEDED(hr)) hr = graph_->AddFilter(&sink, sinkName);
  return SUCCEEDED(hr) ? graph_->ConnectDirect(output.Get(), sink.Pin(), nullptr) : hr;
}

HRESULT Player::ConnectVideo(std::string* error) {
  ComPtr<IPin> output;
  if (FAILED(filter_->FindPin(kVideoPin, output.GetAddressOf()))) {
    // A module without pictures still plays its sound.
    const std::string option = options_.VideoOption();
    if (option.empty()) return S_OK;
    *error = option + " needs pictures, and this playback module has no video output";
    return VFW_E_NOT_FOUND;
  }
  if (export_) {
    videoSink_ = ComPtr<host::SinkFilter>(&export_->VideoSink());
  } else if (options_.videoOut.empty()) {
    // Pictures are made even when nobody looks at them: snapshots and recordings are taken from them.
    videoCounter_ = host::CountingSink::Create();
    videoSink_ = videoCounter_;
  } else {
    aviWriter_ = host::AviWriterSink::Create(options_.videoOut);
    videoSink_ = aviWriter_;
  }
  videoSink_->SetSampleListener([this] {
    NoteSample();
    RestoreGivenSettings(true);
  });
  if (rangeEnd_) videoSink_->SetSampleGate([this](IMediaSample& picture) { return AdmitPicture(picture); });
  const HRESULT hr = Connect(kVideoPin, *videoSink_, u"Video sink");
  if (FAILED(hr)) *error = "the video output could not be connected";
  return hr;
}

bool Player::ApplySettings(std::string* error) {
  if (!CheckChannelsGiven(error)) return false;
  if (options_.resetSettings && !ResetSettings(*settings_, error)) return false;
  if (!given_->Apply(*settings_, error)) return false;
  if (!options_.recordPrefix.empty()) {
    if (!CallSucceeded("SetNotifyWindow", settings_->SetNotifyWindow(AsNotifyWindow(&recording_)), error))
      return false;
    notifyWindowSet_ = true;
    // Before anything is composed, so that no file of this shape is written unnoticed.
    recordings_.emplace(options_.recordPrefix, ".avi");
    if (!CallSucceeded("StartRecording",
                       settings_->StartRecording(options_.recordPrefix.c_str(), options_.recordFrames), error))
      return false;
  }
  if (!options_.snapshotPrefix.empty()) snapshots_.emplace(options_.snapshotPrefix, ".bmp");
  return !options_.saveSettings || SaveSettings(error);
}

bool Player::CheckChannelsGiven(std::string* error) {
  // A live recorder names its channels only as it streams.
  if (!settings_->IsLocalSource()) return true;
  if (options_.camera && *options_.camera >= 0 && !settings_->IsChannelPresent(*options_.camera)) {
    *error = "camera " + std::to_string(*options_.camera) + " is not in " + options_.location;
    return false;
  }
  const LONG audioChannels = settings_->GetAudioChannelCount();
  if (options_.audioChannel && *options_.audioChannel >= audioChannels) {
    *error = "audio channel " + std::to_string(*options_.audioChannel) + " is not in " + options_.location +
             (audioChannels == 0 ? " (it has no audio channels)"
                                 : " (it has " + std::to_string(audioChannels) + ": 0 to " +
                                       std::to_string(audioChannels - 1) + ")");
    return false;
  }
  return true;
}

// The filter saves without saying whether the store took it, so the store is
// first tried here, for a reason to give.
bool Player::SaveSettings(std::string* error) {
  platform::SettingsStore store;
  std::string why;
  if (FAILED(store.Update([](platform::RegistryTree&) {}, &why))) {
    *error = "the settings cannot be saved: " + why;
    return false;
  }
  return CallSucceeded("SaveSettings", settings_->SaveSettings(), error);
}

// The video pin selects all cameras when it first starts, and the filter
// reloads the saved settings at every channel description it takes in; a live
// recorder names its cameras only as it streams. So the given settings are
// put back after every sample, and the camera is selected regardless at the
// first picture (the filter does not report the pin's own choice at its start).
void Player::RestoreGivenSettings(bool picture) {
  const bool first = picture && !firstPictureSeen_;
  if (picture) firstPictureSeen_ = true;
  const HRESULT result = given_->Restore(*settings_, first);
  if (FAILED(result)) restoreResult_.store(result);
}

// The snapshot is the module's last picture, and the module has made the
// picture past the end of the range before the range closes on it. So the last
// picture in range is kept, and put back into the module's buffer (the
// sample's) for the snapshot, which is taken at once: the pictures after it
// would draw their texts over it.
bool Player::AdmitPicture(IMediaSample& picture) {
  const bool keep = !options_.snapshotPrefix.empty();
  BYTE* data = nullptr;
  const LONG length = picture.GetActualDataLength() > 0 ? picture.GetActualDataLength() : picture.GetSize();
  if (rangeEnd_->Admit()) {
    if (keep && SUCCEEDED(picture.GetPointer(&data))) lastPicture_.assign(data, data + length);
    return true;
  }
  if (keep && !lastPicture_.empty() && SUCCEEDED(picture.GetPointer(&data)) &&
      lastPicture_.size() == static_cast<std::size_t>(length)) {
    std::copy(lastPicture_.begin(), lastPicture_.end(), data);
    lastPicture_.clear();
    rangeSnapshotResult_.store(settings_->SaveSnapshot(options_.snapshotPrefix.c_str()));
  }
  return false;
}

bool Player::ReceiveConfiguration(const std::atomic<int>& interrupted, std::string* error) {
  if (!path_.empty()) return true;
  auto received = [this] {
    char report[64] = {};
    settings_->GetConfigReport(report, sizeof report);
    return std::string_view(report).rfind("Config was not received yet", 0) != 0;
  };
  NoteSample();  // the time-out counts from the start
  if (FAILED(graph_->Run())) {
    *error = "the graph could not start";
    return false;
  }
  bool ended = false, silent = false;
  while (!received() && !ended && !interrupted) {
    ended = graph_->WaitForCompletion(std::chrono::milliseconds(100));
    silent = Silent();
    if (silent) break;
  }
  graph_->Stop();
  if (received()) return true;
  const HRESULT streamError = graph_->StreamError();
  *error = options_.location + ": " +
           (FAILED(streamError) ? StreamErrorText(streamError)
            : silent            ? "no data for " + std::to_string(options_.timeoutSeconds) + " seconds"
                                : std::string("the stream ended before its channel description"));
  return false;
}

std::string Player::Info() {
  std::string text;
  std::vector<char> report(64 * 1024);
  settings_->GetConfigReport(report.data(), static_cast<DWORD>(report.size()));
  text += ReportTextForTerminal(report.data());
  if (!channels_.empty()) text += probe::FormatChannels(channels_);
  char start[18] = "unavailable", end[18] = "unavailable";
  if (settings_->GetStartTime() >= 0) settings_->FormatTime(settings_->GetStartTime(), start);
  if (settings_->GetEndTime() >= 0) settings_->FormatTime(settings_->GetEndTime(), end);
  text += std::string("Start time: ") + start + "\nEnd time: " + end + "\n";
  ComPtr<IMediaSeeking> seeking;
  LONGLONG duration = 0;
  if (SUCCEEDED(filter_.As(IID_IMediaSeeking, &seeking)) && SUCCEEDED(seeking->GetDuration(&duration)))
    text += "Duration: " + std::to_string(duration / kUnitsPerSecond) + " seconds\n";
  else
    text += "Duration: unknown (live source)\n";
  return text;
}

std::string Player::ConfigReport() {
  // The page's dialog shows what fits its 1024-byte buffer.
  char report[1024] = {};
  settings_->GetConfigReport(report, sizeof report);
  return ReportTextForTerminal(report);
}

std::string Player::Settings() {
  std::string text = "Settings store: " + platform::SettingsStore::DefaultPath() + "\n";
  auto line = [&](const std::string& name, long value) { text += name + ": " + std::to_string(value) + "\n"; };
  using Operation = HRESULT (STDMETHODCALLTYPE ISplitterSettings::*)(LONG, LONG*);
  auto option = [&](const std::string& name, Operation operation) {
    LONG value = 0;
    if (SUCCEEDED((settings_.Get()->*operation)(OptionRead, &value))) line(name, value);
  };
  char device[80] = {};
  settings_->GetDeviceName(device, sizeof device);
  text += "Device name: " + ReportTextForTerminal(device) + "\n";
  line("Start time", settings_->GetStartTime());
  line("End time", settings_->GetEndTime());
  line("Video channels", settings_->GetVideoChannelCount());
  line("Audio channels", settings_->GetAudioChannelCount());
  text += "Frame rate: " + std::to_string(settings_->GetFrameRate()) + "\n";
  text += "Playback rate: " + std::to_string(settings_->GetPlaybackRate()) + "\n";
  line("Local source", settings_->IsLocalSource());
  DWORD width = 0, height = 0;
  if (SUCCEEDED(settings_->GetFrameSize(&width, &height)))
    text += "Camera size: " + std::to_string(width) + "x" + std::to_string(height) + "\n";
  line("ActiveCamera", settings_->GetActiveCamera());
  line("ActiveAudio", settings_->GetActiveAudio());
  line("bMute", settings_->GetMute());
  option("bShowTime", &ISplitterSettings::ShowTimeOp);
  option("bShowFPS", &ISplitterSettings::ShowFpsOp);
  option("bShowBPS", &ISplitterSettings::ShowBpsOp);
  option("bShowACTIV", &ISplitterSettings::ShowActivityOp);
  option("bShowSmooth", &ISplitterSettings::ShowSmoothOp);
  option("bShowBrightness", &ISplitterSettings::ShowBrightnessOp);
  for (LONG overlay = 0; overlay <= 4; ++overlay) {
    LONG value = 0;
    if (SUCCEEDED(settings_->CameraOptionOp(overlay, OptionRead, &value)))
      line(overlay < 4 ? "CameraOption " + std::to_string(overlay) : std::string("CameraOption general"), value);
  }
  line("Brightness", settings_->GetBrightness());
  line("Contrast", settings_->GetContrast());
  line("ReservedAdjustment", settings_->GetReservedAdjustment());
  line("Sharpness", settings_->GetSharpness());
  line("Smooth", settings_->GetSmooth());
  option("Sharpness slider", &ISplitterSettings::SharpnessSliderOp);
  option("Brightness slider", &ISplitterSettings::BrightnessSliderOp);
  option("Smooth slider", &ISplitterSettings::SmoothSliderOp);
  option("Contrast slider", &ISplitterSettings::ContrastSliderOp);
  return text;
}

void Player::ShowProgress(bool final) {
  ComPtr<IMediaSeeking> seeking;
  LONGLONG position = 0, duration = 0;
  std::string line = "\rplaying " + options_.location;
  if (SUCCEEDED(filter_.As(IID_IMediaSeeking, &seeking)) && SUCCEEDED(seeking->GetCurrentPosition(&position)) &&
      SUCCEEDED(seeking->GetDuration(&duration)))
    line += ": " + Clock(position) + " of " + Clock(duration);
  if (export_) line += ", " + std::to_string(export_->Pictures()) + " pictures exported";
  if (recordings_ && recording_.LastPicture() > 0) {
    line += recording_.Ended() ? ", recording ended"
                               : ", recording picture " + std::to_string(recording_.LastPicture());
  }
  std::fprintf(stderr, "%s%s", line.c_str(), final ? "\n" : "");
  std::fflush(stderr);
  progressShown_ = true;
}

void Player::NoteSample() { lastSample_.store(std::chrono::steady_clock::now().time_since_epoch().count()); }

bool Player::Silent() const {
  const std::chrono::steady_clock::time_point last{std::chrono::steady_clock::duration(lastSample_.load())};
  return IsUrl(options_.location) &&
         std::chrono::steady_clock::now() - last > std::chrono::seconds(options_.timeoutSeconds);
}

int Player::Play(const std::atomic<int>& interrupted, std::string* error) {
  NoteSample();  // a recorder's silence counts from the start
  ComPtr<IMediaSeeking> seeking;
  if (SUCCEEDED(filter_.As(IID_IMediaSeeking, &seeking))) seeking->GetCurrentPosition(&startPosition_);
  if (FAILED(graph_->Run())) {
    *error = "the graph could not start";
    return 1;
  }
  bool silent = false;
  const bool played = PlayToEnd(interrupted, &silent, error);
  graph_->Stop();
  if (!played) return 1;
  // Stopped, the filter's download thread has ended: whatever it reported is in.
  const HRESULT streamError = graph_->StreamError();
  const std::string cause = silent ? "no data for " + std::to_string(options_.timeoutSeconds) + " seconds"
                            : FAILED(streamError) ? StreamErrorText(streamError)
                                                  : std::string();
  if (cause.empty()) return ReportFiles(error) ? 0 : 1;
  // A recorder that sent its channels had begun: what it sent is kept.
  if (settings_->GetVideoChannelCount() + settings_->GetAudioChannelCount() == 0) {
    *error = options_.location + ": " + cause;
    return 1;
  }
  std::string ignored;  // the cut matters more than a file it left unwritten
  ReportFiles(&ignored);
  *error = options_.location + ": the stream was cut (" + cause + "); what arrived is kept";
  return 1;
}

bool Player::PlayToEnd(const std::atomic<int>& interrupted, bool* silent, std::string* error) {
  const bool terminal = ::isatty(STDERR_FILENO);
  const auto started = std::chrono::steady_clock::now();
  bool selected = CallSucceeded("a setting given", given_->Restore(*settings_, true), error);
  while (selected && !graph_->WaitForCompletion(std::chrono::milliseconds(250))) {
    if (interrupted || (rangeEnd_ && rangeEnd_->Reached())) break;
    if (Silent()) {
      *silent = true;
      break;
    }
    selected = CallSucceeded("a setting given", restoreResult_.load(), error);
    if (terminal && std::chrono::steady_clock::now() - started > kProgressAfter) ShowProgress(false);
  }
  if (progressShown_) ShowProgress(true);
  if (!selected) return false;
  // The last picture lives in the video pin's samples, which go when the graph
  // stops. A range that ended has taken its snapshot, if it had a picture.
  if (options_.snapshotPrefix.empty()) return true;
  if (rangeEnd_ && rangeEnd_->Reached()) return CallSucceeded("SaveSnapshot", rangeSnapshotResult_.load(), error);
  return CallSucceeded("SaveSnapshot", settings_->SaveSnapshot(options_.snapshotPrefix.c_str()), error);
}

bool Player::ReportFiles(std::string* error) {
  std::string exported;
  if (export_ && !export_->Finish(options_.location, &exported, error)) return false;
  if (wavWriter_ && FAILED(wavWriter_->Status())) {
    *error = options_.audioOut + ": cannot be written";
    return false;
  }
  if (wavWriter_ && !std::filesystem::exists(options_.audioOut)) {
    *error = options_.location + ": no audio was played, so " + options_.audioOut + " was not written";
    return false;
  }
  if (aviWriter_ && FAILED(aviWriter_->Status())) {
    *error = options_.videoOut + ": cannot be written";
    return false;
  }
  if (aviWriter_ && !std::filesystem::exists(options_.videoOut)) {
    *error = options_.location + ": no pictures were played, so " + options_.videoOut + " was not written";
    return false;
  }
  const std::filesystem::path snapshot = snapshots_ ? snapshots_->Written() : std::filesystem::path();
  if (snapshots_ && snapshot.empty()) {
    *error = "no snapshot was written for " + options_.snapshotPrefix +
             " (no picture, or a folder that cannot be written)";
    return false;
  }
  const std::filesystem::path recording = recordings_ ? recordings_->Written() : std::filesystem::path();
  if (recordings_ && recording.empty()) {
    *error = "no recording was written for " + options_.recordPrefix +
             " (no picture, or a folder that cannot be written)";
    return false;
  }

  // The module's numbers stop where its file stopped taking pictures.
  if (recordings_ && recording_.Ended() && recording_.PicturesWritten() + 1 < options_.recordFrames) {
    *error = recording.string() + ": only " + std::to_string(recording_.PicturesWritten()) + " of " +
             std::to_string(options_.recordFrames - 1) + " pictures could be written (a full disk, or no permission)";
    return false;
  }

  if (wavWriter_) std::printf("vesk-play: audio written to %s: %.1f seconds\n", options_.audioOut.c_str(), wavWriter_->SecondsWritten());
  if (aviWriter_) {
    std::printf("vesk-play: video written to %s: %ld pictures of %ldx%ld%s\n", options_.videoOut.c_str(),
                aviWriter_->Pictures(), static_cast<long>(aviWriter_->Width()),
                static_cast<long>(std::abs(aviWriter_->Height())),
                aviWriter_->LimitReached() ? " (the file reached its size limit; later pictures left out)" : "");
  }
  if (export_) std::printf("vesk-play: %s\n", exported.c_str());
  if (snapshots_) std::printf("vesk-play: snapshot written to %s\n", snapshot.c_str());
  if (recordings_) {
    std::printf("vesk-play: %s: %lu pictures in %s\n",
                recording_.Ended() ? "recording ended" : "the stream ended before the recording did",
                recording_.PicturesWritten(), recording.c_str());
  }
  if (!wavWriter_ && !aviWriter_ && !export_ && !snapshots_ && !recordings_) std::printf("vesk-play: %s\n", PlayedSummary().c_str());
  return true;
}

std::string Player::PlayedSummary() {
  std::string text = "played " + options_.location;
  ComPtr<IMediaSeeking> seeking;
  LONGLONG position = 0;
  if (SUCCEEDED(filter_.As(IID_IMediaSeeking, &seeking)) && SUCCEEDED(seeking->GetCurrentPosition(&position)))
    text += " from " + Clock(startPosition_) + " to " + Clock(position);
  if (videoCounter_) text += ": " + std::to_string(videoCounter_->Samples()) + " pictures";
  text += videoCounter_ ? ", " : ": ";
  ComPtr<IPin> audio;
  AM_MEDIA_TYPE type{};
  if (SUCCEEDED(filter_->FindPin(u"Audio", audio.GetAddressOf())) && SUCCEEDED(audio->ConnectionMediaType(&type))) {
    const std::optional<WAVEFORMATEX> wave = host::PcmWaveFormat(type);
    char sound[96];
    std::snprintf(sound, sizeof sound, "%.1f seconds of audio (%u Hz, %u bits, %s)",
                  wave && wave->nAvgBytesPerSec ? static_cast<double>(audioCounter_->Bytes()) / wave->nAvgBytesPerSec
                                                : 0.0,
                  wave ? static_cast<unsigned>(wave->nSamplesPerSec) : 0u,
                  wave ? static_cast<unsigned>(wave->wBitsPerSample) : 0u,
                  wave && wave->nChannels == 2 ? "stereo" : "mono");
    text += sound;
    FreeMediaType(type);
  } else {
    text += "no audio";
  }
  return text;
}

}  // namespace vesk::play
