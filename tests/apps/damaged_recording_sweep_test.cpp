// Cut and damaged recordings, played through the installed module as
// vesk-play plays them (a WAV file and a null sink for the pictures): copies
// of a generated recording cut at every packet boundary and a byte either
// side, at seeded random offsets, and with flipped bytes. None may crash or
// hang; a file the filter takes plays sound that is a prefix of the whole
// recording's, never shorter than the audio lying wholly before the cut.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "host/filter_graph.h"
#include "host/module_loader.h"
#include "host/null_sink.h"
#include "host/wav_writer_sink.h"
#include "mkrec/recording_composer.h"
#include "mkrec/stream_writer.h"
#include "player_process.h"
#include "stream_walker.h"
#include "vesk/com_ptr.h"
#include "vesk/splitter_settings.h"

namespace vesk::play {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Generous: it only turns a hang into a failure.
constexpr auto kPlayLimit = std::chrono::seconds(20);
constexpr std::uint8_t kAudioChannel = 8;

// Four cameras, audio in fragments, a text line, the status channel, and the
// channel description again after the first second.
Bytes Recording() {
  mkrec::RecordingPlan plan;
  plan.durationSeconds = 2;
  plan.framesPerSecond = 2;
  for (std::uint8_t slot = 0; slot < 4; ++slot) {
    mkrec::CameraPlan camera;
    camera.slot = slot;
    camera.width = 16;
    camera.height = 16;
    plan.cameras.push_back(camera);
  }
  mkrec::AudioPlan audio;
  audio.channel = kAudioChannel;
  plan.audio = {audio};
  plan.texts = {mkrec::TextPlan{130, {{0, "Gate"}}, ""}};
  plan.repeatDescriptionAt = 1;
  plan.maxFragment = 1024;
  mkrec::VectorSink stream;
  mkrec::StreamWriter writer(stream);
  EXPECT_TRUE(mkrec::RecordingComposer(plan).Write(writer).ok());
  return stream.bytes();
}

struct Played {
  HRESULT load = E_FAIL;
  bool hung = false;
  Bytes pcm;
};

class Player {
 public:
  explicit Player(std::string folder) : folder_(std::move(folder)) {
    std::string error;
    module_ = host::ModuleLoader::Load(std::filesystem::path(VESK_PLAY_PATH).parent_path() / "libvesk.so", &error);
    EXPECT_TRUE(module_) << error;
  }

  Played Play(const Bytes& recording) {
    const std::string path = folder_ + "/damaged.vsk", wav = folder_ + "/damaged.wav";
    std::filesystem::remove(wav);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(recording.data()), recording.size());

    Played played;
    ComPtr<IBaseFilter> filter;
    if (FAILED(module_->CreateInstance(CLSID_SplitterFilter, IID_IBaseFilter,
                                       reinterpret_cast<void**>(filter.GetAddressOf())))) {
      ADD_FAILURE() << "no filter";
      return played;
    }
    auto graph = host::FilterGraph::Create();
    graph->AddFilter(filter.Get(), u"source");
    ComPtr<IFileSourceFilter> source;
    filter.As(IID_IFileSourceFilter, &source);
    const std::u16string name(path.begin(), path.end());
    played.load = source->Load(name.c_str(), nullptr);
    auto audio = host::WavWriterSink::Create(wav);
    auto video = host::NullSink::Create();
    // A pin that cannot connect (a camera size of 0, say) refuses the file as well.
    if (SUCCEEDED(played.load)) played.load = Connect(*graph, *filter, u"Audio", *audio);
    if (SUCCEEDED(played.load)) played.load = Connect(*graph, *filter, u"VideoOutput0", *video);
    if (SUCCEEDED(played.load)) {
      played.hung = FAILED(graph->Run()) || !graph->WaitForCompletion(kPlayLimit);
      graph->Stop();
    }
    if (std::filesystem::exists(wav)) played.pcm = ReadWav(wav).data;
    return played;
  }

 private:
  static HRESULT Connect(host::FilterGraph& graph, IBaseFilter& filter, const char16_t* pin, host::SinkFilter& sink) {
    ComPtr<IPin> output;
    HRESULT hr = filter.FindPin(pin, output.GetAddressOf());
    if (SUCCEEDED(hr)) hr = graph.AddFilter(&sink, pin);
    return SUCCEEDED(hr) ? graph.ConnectDirect(output.Get(), sink.Pin(), nullptr) : hr;
  }

  std::string folder_;
  std::unique_ptr<host::ModuleLoader> module_;
};

TEST(DamagedRecordingSweepTest, CutAndFlippedCopiesNeitherCrashNorHangAndKeepAPrefixOfTheSound) {
  const Bytes whole = Recording();
  const auto packets = mkrec::testing::WalkStream(whole);
  ASSERT_FALSE(packets.empty());
  // In memory where the machine has it: the WAV writer syncs every file it finishes.
  const std::string scratch = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : ::testing::TempDir();
  const std::string folder = scratch + "/sweep-" + std::to_string(::getpid());
  std::filesystem::create_directories(folder);
  Player player(folder);
  const Played full = player.Play(whole);
  ASSERT_EQ(full.load, S_OK);
  ASSERT_FALSE(full.hung);

  // Where each audio packet ends, and how much sound the packets up to it hold.
  std::vector<std::pair<std::size_t, std::size_t>> audioEnds;
  std::size_t pcm = 0;
  for (std::size_t i = 0; i < packets.size(); ++i) {
    const auto& packet = packets[i];
    if (packet.kind != mkrec::testing::WalkedPacket::kFragment || packet.fragment.channel != kAudioChannel) continue;
    pcm += packet.payload.size();
    if (packet.fragment.last) audioEnds.emplace_back(i + 1 < packets.size() ? packets[i + 1].offset : whole.size(), pcm);
  }
  ASSERT_EQ(pcm, full.pcm.size());

  std::set<std::size_t> cuts;
  for (const auto& packet : packets)
    for (std::size_t at : {packet.offset - 1, packet.offset, packet.offset + 1})
      if (at > 0 && at < whole.size()) cuts.insert(at);
  std::mt19937 random(2026);
  for (int i = 0; i < 150; ++i) cuts.insert(1 + random() % (whole.size() - 1));

  int refused = 0, hung = 0, mismatched = 0;
  for (std::size_t cut : cuts) {
    const Played played = player.Play(Bytes(whole.begin(), whole.begin() + cut));
    hung += played.hung;
    if (FAILED(played.load)) {
      ++refused;
      continue;
    }
    std::size_t before = 0;
    for (const auto& [end, sound] : audioEnds)
      if (end <= cut) before = sound;
    const bool prefix = played.pcm.size() <= full.pcm.size() && played.pcm.size() >= before &&
                        std::equal(played.pcm.begin(), played.pcm.end(), full.pcm.begin());
    mismatched += !prefix;
    EXPECT_TRUE(prefix) << "cut at " << cut << ": " << played.pcm.size() << " bytes of sound, " << before
                        << " lie before the cut";
  }
  // Flipped bytes: in the description, in headers and in payloads alike. The
  // first copy's repeated description garbles the audio rate, so the sink
  // refuses the new format in mid-stream.
  const std::string rate = "rate=8000";
  const auto first = std::search(whole.begin(), whole.end(), rate.begin(), rate.end());
  const auto repeated = std::search(first + 1, whole.end(), rate.begin(), rate.end());
  ASSERT_NE(repeated, whole.end());
  const int kFlips = 60;
  for (int i = 0; i < kFlips; ++i) {
    Bytes damaged = whole;
    if (i == 0) damaged[repeated - whole.begin() + 5] = 0xC7;
    for (int n = 0; n < i % 4; ++n) damaged[random() % damaged.size()] ^= static_cast<std::uint8_t>(1 + random() % 255);
    hung += player.Play(damaged).hung;
  }
  std::printf("%zu cut files (%d refused), %d with flipped bytes: %d hung, %d prefix mismatches\n", cuts.size(),
              refused, kFlips, hung, mismatched);
  EXPECT_EQ(hung, 0);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace vesk::play
