// Playing a ten-minute recording of four 48 kHz 16-bit stereo audio channels
// through the built module into a null sink, every channel at once, against a
// plain sequential read() of the same file measured in the same run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/counting_sink.h"
#include "host/filter_graph.h"
#include "host/null_sink.h"
#include "mkrec/recording_composer.h"
#include "vesk/splitter_settings.h"

#include "built_module.h"
#include "ratio_reporter.h"

namespace {

using namespace vesk;

constexpr std::uint32_t kSeconds = 10 * 60;
constexpr std::uint32_t kPacketsPerSecond = 10;  // of each channel
constexpr std::uint32_t kChannels = 4;

std::string WriteRecording() {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("playback-bench-" + std::to_string(::getpid()) + ".vsk"))
          .string();
  mkrec::RecordingPlan plan;
  plan.startTime = 1796169600;
  plan.durationSeconds = kSeconds;
  plan.framesPerSecond = kPacketsPerSecond;  // without cameras: audio packets per second
  for (std::uint8_t channel = 8; channel < 8 + kChannels; ++channel) {
    mkrec::AudioPlan audio;
    audio.channel = channel;
    audio.format = {48000, 16, 2};
    plan.audio.push_back(audio);
  }
  mkrec::FileSink sink(path);
  mkrec::StreamWriter writer(sink);
  mkrec::RecordingComposer composer(plan);
  const mkrec::Status status = composer.Write(writer);
  if (!status.ok() || !sink.Close())
    std::fprintf(stderr, "could not write %s: %s\n", path.c_str(), status.message().c_str());
  return path;
}

const std::string& RecordingPath() {
  static const std::string path = WriteRecording();
  return path;
}

// One whole session as a player runs it: a new filter loads the file, its
// audio pin feeds `sink`, and the graph runs to the end of the stream.
bool Play(IBaseFilter* sink, IPin* sinkPin) {
  ComPtr<IBaseFilter> filter;
  if (!bench::BuiltModule() ||
      FAILED(bench::BuiltModule()->CreateInstance(CLSID_SplitterFilter, IID_IBaseFilter,
                                      reinterpret_cast<void**>(filter.GetAddressOf()))))
    return false;
  ComPtr<host::FilterGraph> graph = host::FilterGraph::Create();
  ComPtr<IFileSourceFilter> source;
  ComPtr<ISplitterSettings> settings;
  ComPtr<IPin> audio;
  const std::u16string name(RecordingPath().begin(), RecordingPath().end());
  const bool played = SUCCEEDED(graph->AddFilter(filter.Get(), u"source")) &&
                      SUCCEEDED(filter.As(IID_IFileSourceFilter, &source)) &&
                      SUCCEEDED(source->Load(name.c_str(), nullptr)) &&
                      SUCCEEDED(graph->AddFilter(sink, u"sink")) &&
                      SUCCEEDED(filter->FindPin(u"Audio", audio.GetAddressOf())) &&
                      SUCCEEDED(graph->ConnectDirect(audio.Get(), sinkPin, nullptr)) &&
                      SUCCEEDED(filter.As(IID_ISplitterSettings, &settings)) &&
                      SUCCEEDED(settings->SetActiveAudio(-1)) && SUCCEEDED(graph->Run()) &&
                      graph->WaitForCompletion(std::chrono::minutes(10));
  graph->Stop();
  return played;
}

void PlainRead(benchmark::State& state) {
  std::vector<char> buffer(1 << 20);
  for (auto _ : state) {
    int fd = ::open(RecordingPath().c_str(), O_RDONLY);
    std::int64_t total = 0;
    for (ssize_t n; (n = ::read(fd, buffer.data(), buffer.size())) > 0;) total += n;
    ::close(fd);
    benchmark::DoNotOptimize(total);
    state.SetBytesProcessed(state.bytes_processed() + total);
  }
}

void Playback(benchmark::State& state) {
  const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(RecordingPath()));
  for (auto _ : state) {
    ComPtr<host::NullSink> sink = host::NullSink::Create();
    if (!Play(sink.Get(), sink->Pin())) {
      state.SkipWithError("the recording did not play to its end");
      break;
    }
    state.SetBytesProcessed(state.bytes_processed() + bytes);
  }
}

// The work is on the filter's reading thread, so wall time is what counts.
BENCHMARK(PlainRead)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(Playback)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RecordingPath();  // written before timing starts, and left in the page cache
  bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  // One more session, untimed, to show the figures are for every packet played.
  ComPtr<host::CountingSink> counter = host::CountingSink::Create();
  const bool played = Play(counter.Get(), counter->Pin());
  std::printf("\nrecording: %u s, %.1f MB\n", kSeconds,
              static_cast<double>(std::filesystem::file_size(RecordingPath())) / 1e6);
  std::printf("samples delivered: %ld of %u%s\n", counter->Samples(), kSeconds * kPacketsPerSecond * kChannels,
              played ? "" : " (did not reach the end)");

  const double plain = reporter.Seconds("PlainRead");
  const double playback = reporter.Seconds("Playback");
  if (plain > 0 && playback > 0) {
    std::printf("playback: %.0f recording-seconds per wall-second\n", kSeconds / playback);
    std::printf("playback / plain read: %.3f\n", playback / plain);
  }
  counter.Reset();
  std::filesystem::remove(RecordingPath());
  benchmark::Shutdown();
  return 0;
}
