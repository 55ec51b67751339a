// Four 704 x 576 cameras played through the built module's video pin into a
// counting sink, once with every text on and the adjustments off, once with
// everything on, against xvidcore decoding the same frames alone, measured in
// the same run.
//
// The pin draws the fps and bps texts only from its first statistics pass on,
// 4 s into a session, so a path is timed over a window that starts after that
// pass. To keep sessions that long without minutes of encoding, the recording
// replays one encoded clip many times over.
//
// Both sides are timed as their fastest whole pass over the clip: on a shared
// machine others only ever slow a pass down, so the fastest passes of both
// sides compare the work itself, where means over a run swing with the load.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <xvid.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "host/counting_sink.h"
#include "host/filter_graph.h"
#include "input/file_source.h"
#include "input/packet_reader.h"
#include "input/stream_configuration.h"
#include "mkrec/camera_feed.h"
#include "mkrec/channel_options.h"
#include "mkrec/recording_plan.h"
#include "mkrec/stream_writer.h"
#include "vesk/splitter_settings.h"

#include "built_module.h"
#include "ratio_reporter.h"

namespace {

using namespace vesk;
using Clock = std::chrono::steady_clock;

constexpr int kCameras = 4;
constexpr int kWidth = 704;
constexpr int kHeight = 576;
constexpr std::uint32_t kFramesPerSecond = 5;  // of each camera, as the demo recording
constexpr std::uint32_t kClipSeconds = 100;
constexpr int kKeyFrameInterval = 25;  // vesk-mkrec's default
constexpr std::uint32_t kPasses = 12;  // outlasts warm-up and window even at decoding speed
constexpr std::uint32_t kClipFramesPerCamera = kClipSeconds * kFramesPerSecond;
// The frames that decoding alone is timed on: one pass of the clip.
constexpr std::size_t kClipFrames = std::size_t{kClipFramesPerCamera} * kCameras;
constexpr std::uint8_t kStatusChannel = 16;
constexpr std::uint32_t kStartTime = 1796169600;

// The pin's first statistics pass comes 4 s after its first camera frame.
constexpr auto kWarmUp = std::chrono::milliseconds(4500);
constexpr auto kWindow = std::chrono::seconds(6);
constexpr auto kPollInterval = std::chrono::milliseconds(5);

constexpr const char16_t* kVideoPinName = u"VideoOutput0";

// The recording, and the settings store the filter saves to and loads from:
// a user's saved settings must not change what is measured.
const std::filesystem::path& Folder() {
  static const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("video-bench-" + std::to_string(::getpid()));
  return folder;
}

std::string RecordingPath() { return (Folder() / "cameras.vsk").string(); }

using EncodedClip = std::array<std::vector<std::vector<std::uint8_t>>, kCameras>;

// The synthetic test picture of each camera, compressed as vesk-mkrec does it.
bool EncodeClip(EncodedClip& clip) {
  mkrec::XvidSettings encoding;
  encoding.framesPerSecond = kFramesPerSecond;
  encoding.keyFrameInterval = kKeyFrameInterval;
  for (std::uint8_t slot = 0; slot < kCameras; ++slot) {
    mkrec::CameraPlan plan;
    plan.slot = slot;
    plan.width = kWidth;
    plan.height = kHeight;
    mkrec::CameraFeed feed;
    mkrec::Status status = feed.Open(plan, encoding);
    mkrec::EncodedFrame encoded;
    for (std::uint32_t frame = 0; status.ok() && frame < kClipFramesPerCamera; ++frame) {
      status = feed.Next(static_cast<double>(frame) / kFramesPerSecond, encoded);
      clip[slot].push_back(std::move(encoded.bytes));
    }
    if (!status.ok()) {
      std::fprintf(stderr, "camera %d: %s\n", slot, status.message().c_str());
      return false;
    }
  }
  return true;
}

// The clip played kPasses times as the recorder writes a stream: each second
// an index position and the status packet, then the cameras tick by tick.
// The clip holds whole key frame intervals, so every pass starts on key frames.
bool WriteRecording(const EncodedClip& clip) {
  static_assert(kClipFramesPerCamera % kKeyFrameInterval == 0, "a pass must start on key frames");
  mkrec::ConfigurationBuilder description("VESK");
  for (std::uint8_t slot = 0; slot < kCameras; ++slot)
    description.Channel(slot, input::kChannelVideo, "XVID", "Camera " + std::to_string(slot),
                        mkrec::VideoOptions(kWidth, kHeight));
  description.Channel(kStatusChannel, input::kChannelStatus, "STATUS", "Status", "").End();

  mkrec::FileSink sink(RecordingPath());
  mkrec::StreamWriter writer(sink);
  writer.ChannelDescription(description.bytes());
  std::uint64_t secondStart = writer.Position();
  for (std::uint32_t second = 0; second < kClipSeconds * kPasses; ++second) {
    const std::uint64_t previousLength = second == 0 ? 0 : writer.Position() - secondStart;
    secondStart = writer.Position();
    writer.IndexPosition(kStartTime + second, static_cast<std::uint32_t>(previousLength));
    std::vector<std::uint8_t> activity;
    for (std::uint8_t channel = 0; channel < kCameras; ++channel)
      activity.push_back(mkrec::SyntheticActivity(channel, second));
    writer.DataPacket(kStatusChannel, mkrec::StatusPayload(activity));
    for (std::uint32_t tick = 0; tick < kFramesPerSecond; ++tick) {
      const std::uint32_t frame = (second * kFramesPerSecond + tick) % kClipFramesPerCamera;
      for (std::uint8_t slot = 0; slot < kCameras; ++slot)
        writer.DataPacket(slot, clip[slot][frame]);
    }
  }
  if (!sink.Close()) {
    std::fprintf(stderr, "could not write %s\n", RecordingPath().c_str());
    return false;
  }
  return true;
}

struct CameraFrame {
  std::uint8_t slot = 0;
  std::vector<std::uint8_t> bytes;
};

// The first pass of camera frames in file order, routed to their camera
// slots by the channel description as the filter's demultiplexer does it.
std::vector<CameraFrame> ReadClipFrames() {
  std::vector<CameraFrame> frames;
  input::FileSource source;
  if (FAILED(source.Open(RecordingPath()))) return frames;
  input::PacketReader reader;
  input::StreamConfiguration configuration;
  input::PacketPtr packet;
  while (frames.size() < kClipFrames &&
         reader.ReadPacket(source, &packet, input::ReadMode::kWithData) == S_OK) {
    if (packet->kind == input::PacketKind::kChannelDescription) {
      configuration.ParseConfiguration(packet->data, packet->length);
    } else if (packet->kind == input::PacketKind::kData) {
      const input::ChannelRoute route = configuration.RouteOf(packet->channel);
      if (route.type == input::kChannelVideo && route.pinIndex >= 0 && route.pinIndex < kCameras)
        frames.push_back({static_cast<std::uint8_t>(route.pinIndex),
                          std::vector<std::uint8_t>(packet->data, packet->data + packet->length)});
    }
  }
  return frames;
}

const std::vector<CameraFrame>& ClipFrames() {
  static const std::vector<CameraFrame> frames = ReadClipFrames();
  return frames;
}

// One camera's xvidcore decoder, set up as the module's decoder wrapper sets
// it up for RGB32 output: B,G,R,X rows bottom-up into a buffer of its own.
class CameraDecoder {
 public:
  CameraDecoder() : picture_(4u * kWidth * kHeight + kSpareBytes) {
    xvid_gbl_init_t init{};
    init.version = XVID_VERSION;
    xvid_global(nullptr, XVID_GBL_INIT, &init, nullptr);
    xvid_dec_create_t create{};
    create.version = XVID_VERSION;
    create.width = kWidth;
    create.height = kHeight;
    if (xvid_decore(nullptr, XVID_DEC_CREATE, &create, nullptr) >= 0) handle_ = create.handle;
    frame_.version = XVID_VERSION;
    frame_.output.csp = XVID_CSP_BGRA | XVID_CSP_VFLIP;
    frame_.output.plane[0] = picture_.data();
    frame_.output.stride[0] = 4 * kWidth;
  }
  ~CameraDecoder() {
    if (handle_) xvid_decore(handle_, XVID_DEC_DESTROY, nullptr, nullptr);
  }
  CameraDecoder(const CameraDecoder&) = delete;
  CameraDecoder& operator=(const CameraDecoder&) = delete;

  bool IsOpen() const { return handle_ != nullptr; }

  // xvidcore's result: the bytes it used, negative for an error.
  int Decode(const std::vector<std::uint8_t>& bytes) {
    // xvidcore only reads the bitstream; its frame record has no const pointer.
    frame_.bitstream = const_cast<std::uint8_t*>(bytes.data());
    frame_.length = static_cast<int>(bytes.size());
    return xvid_decore(handle_, XVID_DEC_DECODE, &frame_, nullptr);
  }

 private:
  static constexpr std::size_t kSpareBytes = 256;  // as the wrapper's buffer has

  void* handle_ = nullptr;
  std::vector<std::uint8_t> picture_;
  xvid_dec_frame_t frame_{};
};

// Processor time of the whole process: steadier than wall time on a shared
// machine, and the module's work all happens on one of its threads.
double ProcessorSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// The time of one pass over the clip's frames, by the clock and by the
// processor; the fastest of a benchmark's passes is what it reports.
struct PassTime {
  double wall = 0;
  double processor = 0;

  void KeepFaster(PassTime other) {
    if (wall == 0 || other.wall < wall) *this = other;
  }
  void Report(benchmark::State& state) const {
    state.counters["pass_s"] = wall;
    state.counters["pass_cpu_s"] = processor;
  }
};

// One pass of xvidcore decoding the clip's frames alone; empty when a
// decoder could not be made or a frame failed.
PassTime DecodePass() {
  std::array<CameraDecoder, kCameras> decoders;
  for (const CameraDecoder& decoder : decoders)
    if (!decoder.IsOpen()) return {};
  const Clock::time_point start = Clock::now();
  const double processorStart = ProcessorSeconds();
  for (const CameraFrame& frame : ClipFrames())
    if (decoders[frame.slot].Decode(frame.bytes) < 0) return {};
  return {std::chrono::duration<double>(Clock::now() - start).count(), ProcessorSeconds() - processorStart};
}

void DecodeAlone(benchmark::State& state) {
  PassTime fastest;
  for (auto _ : state) {
    const PassTime pass = DecodePass();
    if (pass.wall == 0) {
      state.SkipWithError("xvidcore refused a decoder or failed to decode a frame");
      return;
    }
    fastest.KeepFaster(pass);
  }
  fastest.Report(state);
}

// A new filter of the module, in `graph`, with the recording loaded; null
// when any step fails.
ComPtr<IBaseFilter> LoadedFilter(host::FilterGraph& graph) {
  ComPtr<IBaseFilter> filter;
  ComPtr<IFileSourceFilter> source;
  const std::string path = RecordingPath();
  const std::u16string name(path.begin(), path.end());
  if (!bench::BuiltModule() ||
      FAILED(bench::BuiltModule()->CreateInstance(CLSID_SplitterFilter, IID_IBaseFilter,
                                      reinterpret_cast<void**>(filter.GetAddressOf()))) ||
      FAILED(graph.AddFilter(filter.Get(), u"source")) ||
      FAILED(filter.As(IID_IFileSourceFilter, &source)) ||
      FAILED(source->Load(name.c_str(), nullptr)))
    return nullptr;
  return filter;
}

bool HasVideoPin() {
  ComPtr<host::FilterGraph> graph = host::FilterGraph::Create();
  ComPtr<IBaseFilter> filter = LoadedFilter(*graph);
  ComPtr<IPin> video;
  return filter && SUCCEEDED(filter->FindPin(kVideoPinName, video.GetAddressOf()));
}

// What a whole-path run asks of the picture; both switch every text on.
struct PictureSettings {
  LONG brightness = 0;
  LONG contrast = 0;
  LONG sharpness = 0;
  LONG smooth = 0;
  LONG adjustmentsOn = 0;  // the brightness/contrast switch and the filter switch
};

constexpr PictureSettings kTextsOnly{};
constexpr PictureSettings kEverything{10, 60, 2, 20, 1};

// Saved as well: the filter loads the saved switches again when the channel
// description at the start of the stream passes.
bool Apply(ISplitterSettings& settings, PictureSettings picture) {
  LONG on = 1;
  const HRESULT results[] = {
      settings.SetActiveCamera(-1),
      settings.ShowTimeOp(OptionWrite, &on),
      settings.ShowFpsOp(OptionWrite, &on),
      settings.ShowBpsOp(OptionWrite, &on),
      settings.ShowActivityOp(OptionWrite, &on),
      settings.SetBrightness(picture.brightness),
      settings.SetContrast(picture.contrast),
      settings.SetSharpness(picture.sharpness),
      settings.SetSmooth(picture.smooth),
      settings.ShowBrightnessOp(OptionWrite, &picture.adjustmentsOn),
      settings.ShowSmoothOp(OptionWrite, &picture.adjustmentsOn),
      settings.SaveSettings(),
  };
  for (HRESULT result : results)
    if (FAILED(result)) return false;
  return true;
}

// How far a session had got at a moment of its timing window.
struct Progress {
  Clock::time_point when;
  double processor;
  long pictures;
};

// The fastest stretch of kClipFrames consecutive pictures among the moments:
// every such stretch holds each frame of the clip once, as a pass does.
PassTime FastestPass(const std::vector<Progress>& moments) {
  const auto frames = static_cast<long>(kClipFrames);
  PassTime fastest;
  std::size_t end = 0;
  for (std::size_t begin = 0; begin < moments.size(); ++begin) {
    while (end < moments.size() && moments[end].pictures - moments[begin].pictures < frames) ++end;
    if (end == moments.size()) break;
    // Scaled to exactly one pass: the moments fall between pictures.
    const double share = static_cast<double>(frames) / (moments[end].pictures - moments[begin].pictures);
    fastest.KeepFaster({std::chrono::duration<double>(moments[end].when - moments[begin].when).count() * share,
                        (moments[end].processor - moments[begin].processor) * share});
  }
  return fastest;
}

struct SessionResult {
  PassTime fastest;
  const char* failure = nullptr;
};

// One session as a player runs it: a new filter loads the file, its video
// pin feeds a counting sink with the given settings, the audio pin stays
// unconnected. Once the warm-up is over, the pictures are counted every few
// milliseconds over kWindow, or up to the end of the stream if that comes
// first.
SessionResult PlaySteadily(PictureSettings picture) {
  ComPtr<host::FilterGraph> graph = host::FilterGraph::Create();
  ComPtr<IBaseFilter> filter = LoadedFilter(*graph);
  if (!filter) return {{}, "the module's filter did not load the recording"};
  ComPtr<host::CountingSink> sink = host::CountingSink::Create();
  ComPtr<IPin> video;
  ComPtr<ISplitterSettings> settings;
  if (FAILED(graph->AddFilter(sink.Get(), u"sink")) ||
      FAILED(filter->FindPin(kVideoPinName, video.GetAddressOf())) ||
      FAILED(graph->ConnectDirect(video.Get(), sink->Pin(), nullptr)))
    return {{}, "the video pin did not connect"};
  if (FAILED(filter.As(IID_ISplitterSettings, &settings)) || !Apply(*settings, picture))
    return {{}, "the filter refused a setting"};

  SessionResult result;
  if (FAILED(graph->Run()) || !sink->WaitForSamples(1, std::chrono::seconds(30))) {
    result.failure = "no picture came";
  } else if (graph->WaitForCompletion(kWarmUp)) {
    result.failure = "the recording ended before the warm-up did";
  } else {
    std::vector<Progress> moments;
    const Clock::time_point end = Clock::now() + kWindow;
    bool ended = false;
    while (!ended && Clock::now() < end) {
      moments.push_back({Clock::now(), ProcessorSeconds(), sink->Samples()});
      ended = graph->WaitForCompletion(kPollInterval);
    }
    moments.push_back({Clock::now(), ProcessorSeconds(), sink->Samples()});
    // Every camera frame makes a picture; only the pin's first one is withheld.
    if (ended && static_cast<std::size_t>(sink->Samples()) + 1 < kClipFrames * kPasses)
      result.failure = "pictures went missing";
    else if ((result.fastest = FastestPass(moments)).wall == 0)
      result.failure = "the window did not hold a whole pass of the clip";
  }
  graph->Stop();
  return result;
}

// The fastest of a few passes of decoding alone.
PassTime FastestDecodePass() {
  constexpr int kPairedPasses = 2;
  PassTime fastest;
  for (int i = 0; i < kPairedPasses; ++i) {
    const PassTime pass = DecodePass();
    if (pass.wall == 0) return {};
    fastest.KeepFaster(pass);
  }
  return fastest;
}

// Each session is also held against decoding alone right before and after
// it: the machine's speed drifts over a run, and a pair taken within seconds
// of each other shares its conditions.
void WholePath(benchmark::State& state, PictureSettings picture) {
  PassTime fastest;
  std::vector<double> pairedRatios;
  for (auto _ : state) {
    PassTime decoding = FastestDecodePass();
    const SessionResult session = PlaySteadily(picture);
    decoding.KeepFaster(FastestDecodePass());
    if (session.failure || decoding.wall == 0) {
      state.SkipWithError(session.failure ? session.failure : "xvidcore failed to decode the clip");
      return;
    }
    fastest.KeepFaster(session.fastest);
    pairedRatios.push_back(session.fastest.wall / decoding.wall);
    state.SetIterationTime(session.fastest.wall);
  }
  fastest.Report(state);
  std::sort(pairedRatios.begin(), pairedRatios.end());
  state.counters["paired_median"] = pairedRatios[(pairedRatios.size() - 1) / 2];
  state.counters["paired_best"] = pairedRatios.front();
  state.counters["paired_worst"] = pairedRatios.back();
}

void TextsOn(benchmark::State& state) { WholePath(state, kTextsOnly); }
void EverythingOn(benchmark::State& state) { WholePath(state, kEverything); }

void RemoveFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(Folder(), ignored);
}

// Writes the recording and reads its first pass back; false after saying why.
bool PrepareRecording() {
  const Clock::time_point start = Clock::now();
  EncodedClip clip;
  if (!EncodeClip(clip)) return false;
  const std::chrono::duration<double> encoding = Clock::now() - start;
  if (!WriteRecording(clip)) return false;
  std::printf("recording: %d cameras of %d x %d at %u frames per second; a %u s clip of %zu "
              "camera frames, encoded in %.1f s, played %u times: %u s, %.1f MB\n\n",
              kCameras, kWidth, kHeight, kFramesPerSecond, kClipSeconds, kClipFrames,
              encoding.count(), kPasses, kClipSeconds * kPasses,
              static_cast<double>(std::filesystem::file_size(RecordingPath())) / 1e6);
  if (ClipFrames().size() != kClipFrames) {
    std::fprintf(stderr, "read %zu camera frames back, %zu expected\n", ClipFrames().size(),
                 kClipFrames);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::filesystem::create_directories(Folder() / "settings");
  ::setenv("XDG_CONFIG_HOME", (Folder() / "settings").c_str(), 1);
  if (!PrepareRecording()) {
    RemoveFolder();
    return 1;
  }

  const bool videoPin = HasVideoPin();
  // Decoding alone is timed before and after the whole paths, so that its
  // fastest pass has the same chances as theirs while the load drifts.
  const auto decodeAlone = [](const char* name) {
    benchmark::RegisterBenchmark(name, DecodeAlone)->Unit(benchmark::kMillisecond)->MinTime(3.0)->UseRealTime();
  };
  decodeAlone("DecodeAlone");
  if (videoPin) {
    // The work is on the filter's reading thread: the window is wall time.
    benchmark::RegisterBenchmark("TextsOn", TextsOn)
        ->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
    benchmark::RegisterBenchmark("EverythingOn", EverythingOn)
        ->Unit(benchmark::kMillisecond)->Iterations(2)->UseManualTime();
    decodeAlone("DecodeAloneAgain");
  }
  bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  RemoveFolder();

  // The fastest pass by wall time, and the process's processor time in it.
  struct Figures {
    const char* name;
    double wall;
    double processor;
  };
  const auto figures = [&](const char* name, const char* benchmark) {
    return Figures{name, reporter.Counter(benchmark, "pass_s"), reporter.Counter(benchmark, "pass_cpu_s")};
  };
  Figures decode = figures("decode alone", "DecodeAlone");
  if (const Figures again = figures("decode alone", "DecodeAloneAgain");
      again.wall > 0 && (decode.wall == 0 || again.wall < decode.wall))
    decode = again;
  const Figures paths[] = {figures("texts on", "TextsOn"),
                           figures("everything on", "EverythingOn")};
  const auto frames = static_cast<double>(kClipFrames);
  std::printf("\ncamera frames per second in the fastest pass over the clip\n  %-14s %8s %10s\n", "", "wall",
              "processor");
  for (const Figures& f : {decode, paths[0], paths[1]})
    if (f.wall > 0 && f.processor > 0)
      std::printf("  %-14s %8.1f %10.1f\n", f.name, frames / f.wall, frames / f.processor);

  if (!videoPin) {
    std::fflush(stdout);
    std::fprintf(stderr,
                 "\nthe module's filter has no \"VideoOutput0\" pin: only decoding was measured; "
                 "the whole-path figures need the video pin\n");
    return 1;
  }
  bool complete = decode.wall > 0 && decode.processor > 0;
  std::printf("time / decode alone time (goal: texts on at most 1.15)\n");
  for (const Figures& path : paths) {
    if (complete && path.wall > 0 && path.processor > 0)
      std::printf("  %-14s %8.3f %10.3f\n", path.name, path.wall / decode.wall,
                  path.processor / decode.processor);
    else
      complete = false;
  }
  std::printf("whole paths' passes found in %.1f s from %.1f s into each session\n",
              std::chrono::duration<double>(kWindow).count(),
              std::chrono::duration<double>(kWarmUp).count());
  std::printf("\neach session against decoding alone right before and after it, by the clock\n"
              "  %-14s %8s %8s %8s\n", "", "median", "best", "worst");
  for (const auto& [name, benchmark] : {std::pair{"texts on", "TextsOn"}, std::pair{"everything on", "EverythingOn"}})
    std::printf("  %-14s %8.3f %8.3f %8.3f\n", name, reporter.Counter(benchmark, "paired_median"),
                reporter.Counter(benchmark, "paired_best"), reporter.Counter(benchmark, "paired_worst"));
  return complete ? 0 : 1;
}
