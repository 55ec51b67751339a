// vesk-play as a user runs it: a subprocess with its exit status, its output
// and the files it writes.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "input/stream_format.h"
#include "mkrec/recording_composer.h"
#include "mkrec/stream_writer.h"
#include "player_process.h"
#include "test_http_server.h"

namespace vesk::play {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Two 16-bit audio channels (8 and 9) with patterns that never meet: channel
// 8's bytes stay below 0x80, channel 9's above, and the packet sizes differ.
// An index position opens each second.
constexpr std::uint32_t kStart = 1796472001;  // 05/12/26 12:00:01 UTC
constexpr int kSeconds = 6;

Bytes Pcm(int channel, int second) {
  Bytes bytes(channel == 0 ? 320 : 480);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = channel == 0 ? static_cast<std::uint8_t>((second * 31 + i) % 128)
                            : static_cast<std::uint8_t>(0x80 | ((second * 17 + i) % 128));
  return bytes;
}

// The recording's bytes; secondAt[n] is where the index position of second n begins.
Bytes TwoChannelRecording(std::vector<std::uint64_t>* secondAt = nullptr) {
  mkrec::VectorSink stream;
  mkrec::StreamWriter writer(stream);
  writer.ChannelDescription(mkrec::ConfigurationBuilder("DVR")
                                .Channel(8, input::kChannelAudio, "PCM", "left", "rate=8000 bits=16")
                                .Channel(9, input::kChannelAudio, "PCM", "right", "rate=8000 bits=16")
                                .End()
                                .bytes());
  for (int second = 0; second < kSeconds; ++second) {
    if (secondAt) secondAt->push_back(writer.Position());
    writer.IndexPosition(kStart + second);
    writer.DataPacket(8, Pcm(0, second));
    writer.DataPacket(9, Pcm(1, second));
  }
  return stream.bytes();
}

void WriteTwoChannelRecording(const std::string& path) {
  const Bytes bytes = TwoChannelRecording();
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

Bytes Expected(int fromSecond, std::vector<int> channels) {
  Bytes bytes;
  for (int second = fromSecond; second < kSeconds; ++second) {
    for (int channel : channels) {
      const Bytes pcm = Pcm(channel, second);
      bytes.insert(bytes.end(), pcm.begin(), pcm.end());
    }
  }
  return bytes;
}


TEST(VeskPlayTest, HelpAndEveryRefusalIsOneLineAndStatusOne) {
  Scratch dir;
  const Outcome version = RunPlayer(dir, {"--version"});
  EXPECT_EQ(version.out, std::string("vesk-play ") + VESK_VERSION + "\n");
  const Outcome help = RunPlayer(dir, {"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.out.rfind("usage: vesk-play", 0), 0u) << help.out;
  EXPECT_TRUE(help.err.empty()) << help.err;

  const std::string notRecording = dir.File("notes.vsk");
  std::ofstream(notRecording) << "shopping list: milk, bread, a new hard disk\n";

  // A port bound but never listening refuses every connection.
  const int closed = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(closed, reinterpret_cast<sockaddr*>(&address), length), 0);
  ASSERT_EQ(::getsockname(closed, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const std::string refusing = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x";

  test::TestHttpServer::Script notFound;
  notFound.answer = test::TestHttpServer::Answer::kNotFound;
  test::TestHttpServer missing(notFound);
  ASSERT_NE(missing.Port(), 0);

  // Each refusal names the file and says why in the system's words.
  const std::vector<std::pair<std::vector<std::string>, std::string>> namedCauses = {
      {{"--headless", dir.File("no-such.vsk")}, "no-such.vsk: No such file or directory"},
      {{"--headless", dir.File("")}, ": is a directory"},
      {{"--headless", notRecording}, "notes.vsk: not a VESK recording (not a recorder stream: no channel description at byte 0)"},
      {{"--info", "https://127.0.0.1/x"}, "https:// is not supported"},
      {{"--info", "file:///" + notRecording}, "file:// is not supported"},
      {{"--info", "-"}, "standard input"},
  };
  for (const auto& [args, cause] : namedCauses) {
    const Outcome run = RunPlayer(dir, args);
    ExpectOneLineFailure(run, cause);
    EXPECT_NE(run.err.find(cause), std::string::npos) << run.err;
  }

  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--bogus", notRecording},
      {"--seek"},
      {"--seek", "soon", notRecording},
      {"--timeout", "0", notRecording},
      {"--audio-channel", "left", notRecording},
      {"--info", notRecording},
      {"--headless", refusing},
      {"--headless", missing.Url()},
  };
  for (const auto& args : cases) {
    std::string shown;
    for (const auto& arg : args) shown += arg + " ";
    ExpectOneLineFailure(RunPlayer(dir, args), shown);
  }

  // A bad picture option is named before any file is read.
  const std::vector<std::pair<std::vector<std::string>, std::string>> badPictureOptions = {
      {{"--camera", "4"}, "--camera"},
      {{"--camera", "two"}, "--camera"},
      {{"--show", "time,clock"}, "--show"},
      {{"--brightness", "101"}, "--brightness"},
      {{"--contrast", "1.5"}, "--contrast"},
      {{"--sharpness", "-1"}, "--sharpness"},
      {{"--smooth", "much"}, "--smooth"},
      {{"--record", dir.File("rec")}, "--record"},
      {{"--frames", "5"}, "--frames"},
      {{"--record", dir.File("rec"), "--frames", "1"}, "--frames"},
  };
  for (auto [args, option] : badPictureOptions) {
    args.push_back(notRecording);
    const Outcome run = RunPlayer(dir, args);
    ExpectOneLineFailure(run, option);
    EXPECT_NE(run.err.find(option), std::string::npos) << run.err;
  }
  ::close(closed);
}

TEST(VeskPlayTest, InfoReportsTheConfigurationAndTheTimeRange) {
  Scratch dir;
  const std::string path = dir.File("composed.vsk");
  mkrec::RecordingPlan plan;
  plan.deviceName = "Склад 2";
  plan.startTime = kStart;
  plan.durationSeconds = 4;
  mkrec::CameraPlan camera;
  camera.slot = 1;
  camera.width = 64;
  camera.height = 48;
  plan.cameras = {camera};
  mkrec::AudioPlan audio;
  audio.format.rate = 11025;
  audio.format.bits = 16;
  mkrec::AudioPlan other;
  other.channel = 9;
  plan.audio = {audio, other};
  plan.allowMixedAudio = true;
  {
    mkrec::FileSink file(path);
    mkrec::StreamWriter writer(file);
    mkrec::RecordingComposer composer(plan);
    ASSERT_TRUE(composer.Write(writer).ok());
    ASSERT_TRUE(file.Close());
  }

  // The filter's own "file:\" prefix is taken too.
  const Outcome run = RunPlayer(dir, {"--info", "file:\\" + path});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(run.err.empty()) << run.err;
  // In this order; the index positions are one a second from the start.
  std::size_t at = 0;
  for (const char* line : {"Device name: Склад 2\n", "Number of video channels: 1\n",
                           "Number of audio channels: 2\n", "Audio configuration: 1, 8000, 8\n",
                           "0x1: Video Channel; Name: Camera 1", "0x8: Audio Channel; Name: Audio 8",
                           "Channels:\n  0x1: video, 64x48\n  0x8: audio, 11025 Hz, 16 bits, mono\n"
                           "  0x9: audio, 8000 Hz, 8 bits, mono\n",
                           "Start time: 05/12/26 12:00:01\n", "End time: 05/12/26 12:00:04\n",
                           "Duration: 3 seconds\n"}) {
    const std::size_t found = run.out.find(line, at);
    EXPECT_NE(found, std::string::npos) << "missing or out of order: " << line << "\n" << run.out;
    if (found != std::string::npos) at = found;
  }
  EXPECT_EQ(run.out.find('\r'), std::string::npos);

  // Played, channels of different formats are named in a warning.
  const Outcome played = RunPlayer(dir, {path});
  EXPECT_EQ(played.exitCode, 0);
  EXPECT_NE(played.err.find("warning: audio channels 8 (11025 Hz, 16 bits, mono) and 9 (8000 Hz, 8 bits, mono) differ"),
            std::string::npos) << played.err;

  // A live recorder is listened to until its configuration has come.
  const std::string bytes = Slurp(path);
  test::TestHttpServer server({.body = Bytes(bytes.begin(), bytes.end())});
  ASSERT_NE(server.Port(), 0);
  const Outcome live = RunPlayer(dir, {"--info", server.Url()});
  EXPECT_EQ(live.exitCode, 0) << live.err;
  EXPECT_NE(live.out.find("Device name: Склад 2\n"), std::string::npos) << live.out;
  EXPECT_NE(live.out.find("Duration: unknown (live source)\n"), std::string::npos) << live.out;
}

// Without the overlay font no filter is made, and the player says why.
TEST(VeskPlayTest, AMissingFontIsNamedAtStartUp) {
  Scratch dir;
  const std::string path = dir.File("one.vsk");
  {
    mkrec::RecordingPlan plan;
    plan.durationSeconds = 1;
    mkrec::FileSink file(path);
    mkrec::StreamWriter writer(file);
    ASSERT_TRUE(mkrec::RecordingComposer(plan).Write(writer).ok());
    ASSERT_TRUE(file.Close());
  }
  const std::string config = dir.File("fonts.conf");
  std::ofstream(config) << "<?xml version=\"1.0\"?><fontconfig><dir>" << dir.File("no-fonts")
                        << "</dir><cachedir>" << dir.File("cache") << "</cachedir></fontconfig>\n";
  ::setenv("FONTCONFIG_FILE", config.c_str(), 1);
  const Outcome run = RunPlayer(dir, {"--info", path});
  ::unsetenv("FONTCONFIG_FILE");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("is not installed (Debian package fonts-liberation2)\n"), std::string::npos) << run.err;
}

class VeskPlayAudioTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteTwoChannelRecording(recording_); }

  // Plays the recording headless into a WAV file and returns it.
  Wav Play(std::vector<std::string> options) {
    std::filesystem::remove(wav_);
    options.insert(options.begin(), {"--headless", "--audio-out", wav_});
    options.push_back(recording_);
    const Outcome run = RunPlayer(dir_, options);
    EXPECT_FALSE(run.hung);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(run.err.empty()) << run.err;
    EXPECT_NE(run.out.find(wav_), std::string::npos) << run.out;
    return ReadWav(wav_);
  }

  Scratch dir_;
  const std::string recording_ = dir_.File("two.vsk");
  const std::string wav_ = dir_.File("out.wav");
};

TEST_F(VeskPlayAudioTest, WritesTheActiveChannelUnchanged) {
  const Wav first = Play({});
  EXPECT_EQ(first.channels, 1);
  EXPECT_EQ(first.rate, 8000u);
  EXPECT_EQ(first.bits, 16);
  EXPECT_EQ(first.data, Expected(0, {0}));

  EXPECT_EQ(Play({"--audio-channel", "1"}).data, Expected(0, {1}));
  EXPECT_EQ(Play({"--audio-channel", "all"}).data, Expected(0, {0, 1}));
}

TEST_F(VeskPlayAudioTest, MuteKeepsTheLengthAndSeekStartsAtTheIndexEntry) {
  EXPECT_EQ(Play({"--mute", "--audio-channel", "1"}).data, Bytes(Expected(0, {1}).size(), 0));
  // 3.7 seconds in: the index position of second 3 is the one at or before.
  EXPECT_EQ(Play({"--seek", "3.7"}).data, Expected(3, {0}));
  EXPECT_EQ(Play({"--seek", "0", "--audio-channel", "all"}).data, Expected(0, {0, 1}));
}

// The saved audio channel and mute give way to those given, and a reset
// brings back the first run's; a store that cannot be written is named.
TEST_F(VeskPlayAudioTest, GivenChannelAndMuteWinOverTheSavedOnes) {
  const std::string before = ::getenv("XDG_CONFIG_HOME") ? ::getenv("XDG_CONFIG_HOME") : "";
  ::setenv("XDG_CONFIG_HOME", dir_.File("config").c_str(), 1);
  const Bytes mutedRight(Expected(0, {1}).size(), 0);
  EXPECT_EQ(Play({"--audio-channel", "1", "--mute", "--save-settings"}).data, mutedRight);
  EXPECT_EQ(Play({}).data, mutedRight);
  EXPECT_EQ(Play({"--audio-channel", "0", "--no-mute"}).data, Expected(0, {0}));
  EXPECT_EQ(Play({"--no-mute"}).data, Expected(0, {1}));
  EXPECT_EQ(Play({"--reset-settings"}).data, Expected(0, {0}));
  EXPECT_EQ(Play({}).data, Expected(0, {0}));

  ::setenv("XDG_CONFIG_HOME", recording_.c_str(), 1);  // a file where a folder should be
  const Outcome unwritable = RunPlayer(dir_, {"--headless", "--save-settings", recording_});
  ::setenv("XDG_CONFIG_HOME", before.c_str(), 1);
  ExpectOneLineFailure(unwritable, "an unwritable settings store");
  EXPECT_NE(unwritable.err.find("the settings cannot be saved: "), std::string::npos) << unwritable.err;
  EXPECT_NE(unwritable.err.find("Not a directory"), std::string::npos) << unwritable.err;

  ExpectOneLineFailure(RunPlayer(dir_, {"--headless", "--audio-channel", "2", recording_}), "audio channel 2 of 2");
}

// An output never replaces the recording, nor a file the user did not give up.
TEST_F(VeskPlayAudioTest, OutputsNeverReplaceTheRecordingOrAFileUnasked) {
  const Outcome missing = RunPlayer(dir_, {"--headless", "--audio-out", dir_.File("missing/out.wav"), recording_});
  ExpectOneLineFailure(missing, "unwritable --audio-out");
  EXPECT_NE(missing.err.find("missing/out.wav: cannot be written in " + dir_.File("missing") +
                             ": No such file or directory"),
            std::string::npos)
      << missing.err;

  const std::string before = Slurp(recording_);
  const std::string alias = dir_.File("alias.vsk");
  ASSERT_EQ(::link(recording_.c_str(), alias.c_str()), 0);
  const std::string kept = dir_.File("kept.wav");
  std::ofstream(kept) << "mine";
  const std::vector<std::pair<std::vector<std::string>, std::string>> refusals = {
      {{"-y", "--audio-out", alias}, "alias.vsk: is an input of this run"},
      {{"--audio-out", kept}, "kept.wav: exists and is kept (-y replaces it)"},
      {{"-n", "--audio-out", kept}, "kept.wav: exists"},
      {{"--audio-out", dir_.File("x.avi"), "--video-out", dir_.File("x.avi")}, "x.avi: is given for two outputs"},
  };
  for (auto [args, cause] : refusals) {
    args.push_back(recording_);
    const Outcome run = RunPlayer(dir_, args);
    ExpectOneLineFailure(run, cause);
    EXPECT_NE(run.err.find(cause), std::string::npos) << run.err;
  }
  EXPECT_EQ(Slurp(recording_), before);
  EXPECT_EQ(Slurp(kept), "mine");

  // What a player killed outright left beside the file goes; a running writer's stays.
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ASSERT_GT(gone, 0);
  ::waitpid(gone, nullptr, 0);
  const std::string orphan = kept + ".staged-" + std::to_string(gone) + "-a1b2c3";
  const std::string busy = kept + ".staged-" + std::to_string(::getpid()) + "-d4e5f6";
  std::ofstream(orphan) << "half";
  std::ofstream(busy) << "half";
  EXPECT_EQ(RunPlayer(dir_, {"-y", "--audio-out", kept, recording_}).exitCode, 0);
  EXPECT_EQ(ReadWav(kept).data, Expected(0, {0}));
  EXPECT_FALSE(std::filesystem::exists(orphan));
  EXPECT_TRUE(std::filesystem::exists(busy));
}

// Stopped by a signal, the player finishes its files and says so.
TEST(VeskPlayHttpTest, ASignalFinishesTheFilesAndEndsWithItsStatus) {
  std::vector<std::uint64_t> secondAt;
  const Bytes body = TwoChannelRecording(&secondAt);
  Scratch dir;
  const std::string wav = dir.File("live.wav");
  for (const auto& [signal, name] : {std::pair{SIGINT, "SIGINT"}, std::pair{SIGTERM, "SIGTERM"}}) {
    test::TestHttpServer server({.body = body, .pauseAt = secondAt[3], .pauseMs = 60000});
    ASSERT_NE(server.Port(), 0);
    const Outcome run = RunPlayer(dir, {"-y", "--audio-out", wav, server.Url()}, signal, std::chrono::seconds(2));
    EXPECT_EQ(run.exitCode, 128 + signal) << run.err;
    EXPECT_NE(run.out.find("audio written to " + wav + ": 0.1 seconds\n"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(std::string("stopped by ") + name), std::string::npos) << run.err;
    const Bytes whole = Expected(0, {0});
    EXPECT_EQ(ReadWav(wav).data, Bytes(whole.begin(), whole.begin() + 3 * Pcm(0, 0).size()));
  }
}

}  // namespace
}  // namespace vesk::play

namespace vesk::play {
namespace {

// A live recorder that misbehaves, played into a WAV file: each fault ends in
// the whole sound, a part of its start, or a one-line refusal, and soon.
TEST(VeskPlayHttpTest, EveryRecorderFaultEndsSoonWithTheSoundOrAPrefixOrARefusal) {
  using Answer = test::TestHttpServer::Answer;
  enum class Expect { kWhole, kPrefix, kRefusal };
  struct Case {
    const char* name;
    test::TestHttpServer::Script script;
    Expect expect;
    std::string cause = "";  // how the player names it
    int faultSeconds = 0;    // how long the fault itself lasts
    std::vector<std::string> options = {};
  };
  std::vector<std::uint64_t> secondAt;
  const Bytes body = TwoChannelRecording(&secondAt);
  // Inside the payload of second 4's first packet, and where second 4 begins.
  const std::uint64_t inside = secondAt[4] + 12 + 4 + 100, between = secondAt[4];
  const auto shorterBy = static_cast<std::int64_t>(inside) - static_cast<std::int64_t>(body.size());
  const std::string closed = "closed the connection early", broke = "the connection broke",
                    silent = "no data for 5 seconds", notRecorder = "not a recorder stream", http500 = "HTTP 500";
  const std::vector<Case> cases = {
      {"pause 2 s", {.body = body, .pauseAt = inside, .pauseMs = 2000}, Expect::kWhole, "", 2},
      {"pause 10 s", {.body = body, .pauseAt = inside, .pauseMs = 10000}, Expect::kPrefix, silent, 5, {"--timeout", "5"}},
      {"cut", {.body = body, .cutAt = inside}, Expect::kPrefix, closed},
      {"reset", {.body = body, .resetAt = inside}, Expect::kPrefix, broke},
      {"drip", {.body = body, .drip = true}, Expect::kWhole, "", 1},
      {"garbage first", {.body = body, .garbageAt = 0}, Expect::kRefusal, notRecorder},
      {"garbage later", {.body = body, .garbageAt = between}, Expect::kPrefix, notRecorder},
      {"301", {.body = body, .answer = Answer::kMoved}, Expect::kWhole},
      {"302", {.body = body, .answer = Answer::kFound}, Expect::kWhole},
      {"redirect loop", {.body = body, .answer = Answer::kFound, .laterAnswer = Answer::kFound}, Expect::kRefusal,
       "more than five redirects"},
      // A recorder that answers one request and drops the next (it restarts).
      {"second dropped", {.body = body, .laterAnswer = Answer::kCloseAtOnce}, Expect::kWhole},
      {"500", {.body = body, .answer = Answer::kServerError}, Expect::kRefusal, http500},
      {"500 second", {.body = body, .answer = Answer::kFound, .laterAnswer = Answer::kServerError},
       Expect::kRefusal, http500},
      {"length short", {.body = body, .lengthError = shorterBy}, Expect::kPrefix, closed},
      {"length long", {.body = body, .lengthError = 1000}, Expect::kPrefix, closed},
      {"chunked", {.body = body, .chunked = true}, Expect::kWhole},
      {"chunked broken", {.body = body, .chunked = true, .brokenChunkAt = inside}, Expect::kPrefix, broke},
      {"headers 3 s", {.body = body, .headerDelayMs = 3000}, Expect::kWhole, "", 3},
      {"headers 10 s", {.body = body, .headerDelayMs = 10000}, Expect::kRefusal, silent, 5, {"--timeout", "5"}},
      {"close at once", {.body = body, .answer = Answer::kCloseAtOnce}, Expect::kRefusal, closed},
      {"not http", {.body = body, .answer = Answer::kNotHttp}, Expect::kRefusal, "the answer is not HTTP"},
  };
  // Slack for a sanitizer build on a busy machine: no mode may take longer.
  constexpr auto kSlack = std::chrono::seconds(15);
  const Bytes whole = Expected(0, {0});
  const std::size_t beforeFault = 4 * Pcm(0, 0).size();

  Scratch dir;
  const std::string wav = dir.File("live.wav");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(wav);
    test::TestHttpServer server(c.script);
    ASSERT_NE(server.Port(), 0);
    std::vector<std::string> args = {"--headless", "--audio-out", wav};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back(server.Url());
    const auto started = std::chrono::steady_clock::now();
    const Outcome run = RunPlayer(dir, args);
    const auto took = std::chrono::steady_clock::now() - started;
    std::printf("%-15s %5lld ms\n", c.name,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
    EXPECT_LT(took, std::chrono::seconds(c.faultSeconds) + kSlack);

    if (c.expect == Expect::kWhole) {
      EXPECT_EQ(run.exitCode, 0) << run.err;
      EXPECT_EQ(ReadWav(wav).data, whole);
      continue;
    }
    ExpectOneLineFailure(run, c.name);
    EXPECT_NE(run.err.find(c.cause), std::string::npos) << run.err;
    if (c.expect == Expect::kRefusal) {
      // The pins' streams ended at once: the file, if any, holds no sound.
      if (std::filesystem::exists(wav)) {
        EXPECT_TRUE(ReadWav(wav).data.empty());
      }
      continue;
    }
    EXPECT_NE(run.err.find("the stream was cut"), std::string::npos) << run.err;
    const Bytes kept = ReadWav(wav).data;
    ASSERT_LE(kept.size(), whole.size());
    EXPECT_TRUE(std::equal(kept.begin(), kept.end(), whole.begin()));
    // A reset may take bytes the kernel held back with it.
    if (c.script.resetAt == test::TestHttpServer::kNever) {
      EXPECT_GE(kept.size(), beforeFault);
    }
  }
}

}  // namespace
}  // namespace vesk::play
