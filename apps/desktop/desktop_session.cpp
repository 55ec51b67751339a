#include "apps/desktop/desktop_session.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "vesk/notify_target.h"

namespace vesk::desktop {
namespace {

constexpr double kUnitsPerSecond = 10000000.0;
// The picture number at which the module would end a recording by itself.
constexpr DWORD kRecordingUntilStopped = 0x7FFFFFFF;

bool IsUrl(const std::string& location) { return location.rfind("http://", 0) == 0; }

}  // namespace

std::unique_ptr<DesktopSession> DesktopSession::Open(const std::string& location, SessionCallbacks callbacks,
                                                     std::string* error) {
  std::unique_ptr<DesktopSession> session(new DesktopSession());
  session->location_ = location;
  const std::filesystem::path modulePath = host::ModuleLoader::FindInstalled();
  if (modulePath.empty()) {
    *error = "the playback module (libvesk.so) is not installed beside this program";
    return nullptr;
  }
  session->module_ = host::ModuleLoader::Load(modulePath, error);
  if (!session->module_) return nullptr;
  // The module also takes a file's name after the prefix "file:\".
  const std::string file = location.rfind("file:\\", 0) == 0 ? location.substr(6) : location;
  if (!IsUrl(location) && !std::filesystem::is_regular_file(file)) {
    *error = location + ": no such file";
    return nullptr;
  }
  if (FAILED(session->Build(std::move(callbacks), error))) return nullptr;
  return session;
}

DesktopSession::~DesktopSession() {
  if (graph_) graph_->Stop();
  // Stopped, the filter composes no more pictures, so it calls the target no more.
  if (notifyWindowSet_) settings_->SetNotifyWindow(nullptr);
  seeking_.Reset();
  settings_.Reset();
  filter_.Reset();
  pictures_.Reset();
  sounds_.Reset();
  graph_.Reset();
}

HRESULT DesktopSession::Build(SessionCallbacks callbacks, std::string* error) {
  HRESULT hr = module_->CreateInstance(CLSID_SplitterFilter, IID_IBaseFilter,
                                       reinterpret_cast<void**>(filter_.GetAddressOf()));
  if (FAILED(hr)) {
    *error = "the playback module could not make its filter";
    return hr;
  }
  filter_.As(IID_ISplitterSettings, &settings_);
  graph_ = host::FilterGraph::Create();
  hr = graph_->AddFilter(filter_.Get(), u"VESK source");
  ComPtr<IFileSourceFilter> source;
  if (SUCCEEDED(hr)) hr = filter_.As(IID_IFileSourceFilter, &source);
  const std::u16string location(location_.begin(), location_.end());
  if (SUCCEEDED(hr)) hr = source->Load(location.c_str(), nullptr);
  if (FAILED(hr) || !settings_) {
    *error = location_ + ": not a VESK recording";
    return FAILED(hr) ? hr : E_NOINTERFACE;
  }
  filter_.As(IID_IMediaSeeking, &seeking_);
  activity_ = ActivityMap::Read(*settings_);

  frames_.SetPublished(std::move(callbacks.picturePublished));
  pictures_ = PictureSink::Create(
      frames_, [this] { return StreamSecond(); }, settings_->GetFrameRate() * settings_->GetVideoChannelCount());
  sounds_ = SoundSink::Create(sound_, std::move(callbacks.soundFormat));
  // A module or recording without one of the outputs plays the other.
  const bool video = SUCCEEDED(Connect(u"VideoOutput0", *pictures_, u"Window"));
  const bool audio = SUCCEEDED(Connect(u"Audio", *sounds_, u"Sound"));
  if (!video && !audio) {
    *error = "neither the pictures nor the sound of " + location_ + " could be connected";
    return E_FAIL;
  }
  return S_OK;
}

HRESULT DesktopSession::Connect(const char16_t* pinName, host::SinkFilter& sink, const char16_t* sinkName) {
  ComPtr<IPin> output;
  HRESULT hr = filter_->FindPin(pinName, output.GetAddressOf());
  if (SUCCEEDED(hr)) hr = graph_->AddFilter(&sink, sinkName);
  return SUCCEEDED(hr) ? graph_->ConnectDirect(output.Get(), sink.Pin(), nullptr) : hr;
}

HRESULT DesktopSession::Run() {
  pictures_->RestartPacing();
  return graph_->Run();
}

HRESULT DesktopSession::Pause() { return graph_->Pause(); }

std::optional<std::uint32_t> DesktopSession::StreamSecond() {
  LONGLONG position = 0;
  if (!seeking_ || FAILED(seeking_->GetCurrentPosition(&position))) return std::nullopt;
  return static_cast<std::uint32_t>(position / static_cast<LONGLONG>(kUnitsPerSecond));
}

double DesktopSession::DurationSeconds() {
  LONGLONG duration = 0;
  return seeking_ && SUCCEEDED(seeking_->GetDuration(&duration)) ? duration / kUnitsPerSecond : 0;
}

double DesktopSession::PositionSeconds() {
  LONGLONG position = 0;
  return seeking_ && SUCCEEDED(seeking_->GetCurrentPosition(&position)) ? position / kUnitsPerSecond : 0;
}

std::string DesktopSession::ClockText(double positionSeconds) {
  const LONG start = settings_->GetStartTime();
  char text[32] = {};
  if (start < 0 || FAILED(settings_->FormatTime(start + static_cast<LONG>(positionSeconds), text))) return {};
  return text;
}

double DesktopSession::SecondsPerEntry() {
  const std::uint64_t entries = activity_.Entries();
  return entries > 1 ? DurationSeconds() / static_cast<double>(entries - 1) : 1.0;
}

std::uint64_t DesktopSession::CurrentEntry() {
  return static_cast<std::uint64_t>(std::llround(PositionSeconds() / SecondsPerEntry()));
}

HRESULT DesktopSession::SeekTo(double positionSeconds) {
  if (!seeking_) return E_NOTIMPL;
  LONGLONG target = std::llround(std::clamp(positionSeconds, 0.0, DurationSeconds()) * kUnitsPerSecond);
  pictures_->RestartPacing();
  return seeking_->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
}

HRESULT DesktopSession::Step(int direction) {
  const double entry = static_cast<double>(CurrentEntry()) + direction;
  // The middle of the period: the seek takes the index position at or before it.
  return SeekTo(std::max(entry, 0.0) * SecondsPerEntry() + SecondsPerEntry() / 2);
}

std::optional<ActivityPlace> DesktopSession::NextActivity() {
  if (!seeking_) return std::nullopt;
  auto place = ActivityMap::NextAfter(*settings_, CurrentEntry());
  if (place) {
    pictures_->RestartPacing();
    settings_->SeekIndexEntry(&place->seekIt1, &place->seekIt2);
  }
  return place;
}

HRESULT DesktopSession::ScanIndex(int direction) {
  if (!seeking_) return E_NOTIMPL;
  pictures_->RestartPacing();
  // Bit 1: index stepping; bit 2: forward.
  return settings_->SetPlayMode(direction == 0 ? 0 : direction > 0 ? 3 : 1);
}

HRESULT DesktopSession::ShowCamera(int camera) {
  if (camera >= 0 && !settings_->IsChannelPresent(camera)) return S_FALSE;
  return settings_->SetActiveCamera(camera);
}

HRESULT DesktopSession::ToggleMute() { return settings_->SetMute(settings_->GetMute() ? 0 : 1); }

HRESULT DesktopSession::Snapshot(const std::string& folder) {
  snapshotPrefix_ = (std::filesystem::path(folder) / "snapshot").string();
  const HRESULT hr = settings_->SaveSnapshot(snapshotPrefix_.c_str());
  // The snapshot holds the picture it saved; the window plays on.
  settings_->SetFreezeMode(0);
  return hr;
}

HRESULT DesktopSession::ToggleRecording(const std::string& folder) {
  if (Recording()) return settings_->StopRecording();
  recordPrefix_ = (std::filesystem::path(folder) / "recording").string();
  progress_.push_back(std::make_unique<play::RecordingProgress>());
  HRESULT hr = settings_->SetNotifyWindow(AsNotifyWindow(progress_.back().get()));
  if (SUCCEEDED(hr)) hr = settings_->StartRecording(recordPrefix_.c_str(), kRecordingUntilStopped);
  notifyWindowSet_ = SUCCEEDED(hr);
  return hr;
}

}  // namespace vesk::desktop
