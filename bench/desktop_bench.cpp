// The desktop window playing a four-camera 704x576 recording in real time,
// against headless playback of the same file into null sinks in the same
// run: the window's CPU time beyond the module's own decoding, as a share of
// one core. Needs a display (scripts/desktop-bench.sh gives it an Xvfb and
// adds the X server's own CPU time).
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <cstdio>
#include <filesystem>

#include "apps/desktop/player_window.h"
#include "host/filter_graph.h"
#include "host/null_sink.h"
#include "mkrec/recording_composer.h"

#include "built_module.h"

namespace {

using namespace vesk;

constexpr std::uint32_t kSeconds = 20;

std::string WriteRecording() {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("desktop-bench-" + std::to_string(::getpid()) + ".vsk")).string();
  mkrec::RecordingPlan plan;
  plan.startTime = 1796169600;
  plan.durationSeconds = kSeconds;
  for (std::uint8_t slot = 0; slot < 4; ++slot) plan.cameras.push_back({slot, 704, 576, "", ""});
  mkrec::AudioPlan audio;
  audio.format = {16000, 16, 1};
  plan.audio.push_back(audio);
  mkrec::FileSink sink(path);
  mkrec::StreamWriter writer(sink);
  if (!mkrec::RecordingComposer(plan).Write(writer).ok() || !sink.Close()) return {};
  return path;
}

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The module decoding and composing every picture as fast as it can, nothing shown.
bool PlayHeadless(const std::string& path) {
  ComPtr<IBaseFilter> filter;
  if (!bench::BuiltModule() || FAILED(bench::BuiltModule()->CreateInstance(
                                   CLSID_SplitterFilter, IID_IBaseFilter, reinterpret_cast<void**>(filter.GetAddressOf()))))
    return false;
  ComPtr<host::FilterGraph> graph = host::FilterGraph::Create();
  ComPtr<IFileSourceFilter> source;
  const std::u16string name(path.begin(), path.end());
  bool played = SUCCEEDED(graph->AddFilter(filter.Get(), u"source")) &&
                SUCCEEDED(filter.As(IID_IFileSourceFilter, &source)) && SUCCEEDED(source->Load(name.c_str(), nullptr));
  for (const char16_t* pin : {u"VideoOutput0", u"Audio"}) {
    ComPtr<host::NullSink> sink = host::NullSink::Create();
    ComPtr<IPin> output;
    played = played && SUCCEEDED(filter->FindPin(pin, output.GetAddressOf())) &&
             SUCCEEDED(graph->AddFilter(sink.Get(), pin)) &&
             SUCCEEDED(graph->ConnectDirect(output.Get(), sink->Pin(), nullptr));
  }
  played = played && SUCCEEDED(graph->Run()) && graph->WaitForCompletion(std::chrono::minutes(5));
  graph->Stop();
  return played;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const std::string path = WriteRecording();
  if (path.empty()) return 1;

  double started = CpuSeconds();
  if (!PlayHeadless(path)) {
    std::fprintf(stderr, "the headless playback did not reach the end\n");
    return 1;
  }
  const double headless = CpuSeconds() - started;

  QString error;
  auto window = desktop::PlayerWindow::Open(path, &error);
  if (!window) {
    std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
    return 1;
  }
  window->resize(1440, 1240);
  window->show();
  started = CpuSeconds();
  QElapsedTimer wall;
  wall.start();
  const bool ended = QTest::qWaitFor([&] { return window->Session().Ended(); }, (kSeconds + 30) * 1000);
  const double shown = CpuSeconds() - started;
  const double seconds = wall.elapsed() / 1000.0;
  const long pictures = window->Session().Frames().Published();
  window.reset();
  std::filesystem::remove(path);
  if (!ended) {
    std::fprintf(stderr, "the window did not reach the end of the recording\n");
    return 1;
  }
  std::printf("recording: %u s, 4 cameras of 704x576, %ld pictures shown\n", kSeconds, pictures);
  std::printf("headless playback: %.2f s CPU\n", headless);
  std::printf("window playback: %.2f s CPU in %.2f s\n", shown, seconds);
  std::printf("window beyond headless: %.3f of one core\n", (shown - headless) / seconds);
  return 0;
}
