#include "apps/vesk-play/player.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "apps/vesk-play/url_check.h"
#include "host/null_sink.h"
#include "host/wav_writer_sink.h"
#include "vesk/module_trace.h"
#include "vesk/report_text.h"

namespace vesk::play {
namespace {

constexpr LONGLONG kUnitsPerSecond = 10000000;
constexpr auto kProgressAfter = std::chrono::seconds(1);

void TraceToStderr(const char* line) { std::fprintf(stderr, "%s\n", line); }

std::string Clock(LONGLONG units) {
  const long long seconds = units / kUnitsPerSecond;
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

bool IsUrl(const std::string& location) { return location.rfind("http://", 0) == 0; }

}  // namespace

std::unique_ptr<Player> Player::Open(const PlayOptions& options, std::string* error) {
  std::unique_ptr<Player> player(new Player());
  player->options_ = options;

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

  if (IsUrl(options.location)) {
    if (!CheckUrlReachable(options.location, error)) return nullptr;
  } else if (!std::filesystem::is_regular_file(options.location)) {
    *error = options.location + ": no such file";
    return nullptr;
  }

  HRESULT hr = player->module_->CreateInstance(CLSID_SplitterFilter, IID_IBaseFilter,
                                               reinterpret_cast<void**>(player->filter_.GetAddressOf()));
  if (FAILED(hr)) {
    *error = "the playback module could not make its filter";
    return nullptr;
  }
  player->filter_.As(IID_ISplitterSettings, &player->settings_);
  if (FAILED(player->BuildGraph(error))) return nullptr;
  return player;
}

Player::~Player() {
  if (settings_ && options_.trace) {
    if (auto setSink = reinterpret_cast<SetTraceSinkEntry>(module_->Entry(kSetTraceSinkEntry)))
      setSink(nullptr);
  }
  if (graph_) graph_->Stop();
  settings_.Reset();
  filter_.Reset();
  audioSink_.Reset();
  wavWriter_.Reset();
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
    *error = options_.location + ": not a VESK recording";
    return hr;
  }
  if (options_.info) return S_OK;

  if (options_.audioOut.empty()) {
    audioSink_ = ComPtr<IBaseFilter>(host::NullSink::Create().Get());
  } else {
    wavWriter_ = host::WavWriterSink::Create(options_.audioOut);
    audioSink_ = ComPtr<IBaseFilter>(wavWriter_.Get());
  }
  graph_->AddFilter(audioSink_.Get(), u"Audio sink");
  ComPtr<IPin> audioOut, audioIn;
  filter_->FindPin(u"Audio", audioOut.GetAddressOf());
  IEnumPins* pins = nullptr;
  audioSink_->EnumPins(&pins);
  ULONG fetched = 0;
  pins->Next(1, audioIn.GetAddressOf(), &fetched);
  pins->Release();
  hr = graph_->ConnectDirect(audioOut.Get(), audioIn.Get(), nullptr);
  if (FAILED(hr)) {
    *error = "the audio output could not be connected";
    return hr;
  }
  if (options_.audioChannel) settings_->SetActiveAudio(*options_.audioChannel);
  if (options_.mute) settings_->SetMute(1);
  if (options_.seekSeconds) {
    ComPtr<IMediaSeeking> seeking;
    if (FAILED(filter_.As(IID_IMediaSeeking, &seeking))) {
      *error = "a live recorder cannot be positioned";
      return E_FAIL;
    }
    LONGLONG target = static_cast<LONGLONG>(*options_.seekSeconds * kUnitsPerSecond);
    seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  }
  return S_OK;
}

std::string Player::Info() {
  std::string text;
  std::vector<char> report(64 * 1024);
  settings_->GetConfigReport(report.data(), static_cast<DWORD>(report.size()));
  text += ReportTextForTerminal(report.data());
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

void Player::ShowProgress(bool final) {
  ComPtr<IMediaSeeking> seeking;
  LONGLONG position = 0, duration = 0;
  std::string line = "\rplaying " + options_.location;
  if (SUCCEEDED(filter_.As(IID_IMediaSeeking, &seeking)) && SUCCEEDED(seeking->GetCurrentPosition(&position)) &&
      SUCCEEDED(seeking->GetDuration(&duration)))
    line += ": " + Clock(position) + " of " + Clock(duration);
  std::fprintf(stderr, "%s%s", line.c_str(), final ? "\n" : "");
  std::fflush(stderr);
  progressShown_ = true;
}

int Player::Play(const std::atomic<bool>& interrupted, std::string* error) {
  if (FAILED(graph_->Run())) {
    *error = "the graph could not start";
    return 1;
  }
  const bool terminal = ::isatty(STDERR_FILENO);
  const auto started = std::chrono::steady_clock::now();
  while (!graph_->WaitForCompletion(std::chrono::milliseconds(250))) {
    if (interrupted) break;
    if (terminal && std::chrono::steady_clock::now() - started > kProgressAfter) ShowProgress(false);
  }
  if (progressShown_) ShowProgress(true);
  graph_->Stop();
  if (wavWriter_ && FAILED(wavWriter_->Status())) {
    *error = options_.audioOut + ": cannot be written";
    return 1;
  }
  if (wavWriter_ && !std::filesystem::exists(options_.audioOut)) {
    *error = options_.location + ": no audio was played, so " + options_.audioOut + " was not written";
    return 1;
  }
  return 0;
}

}  // namespace vesk::play
