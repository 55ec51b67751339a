// vesk-play's pictures as a user gets them: the AVI file of --video-out, the
// camera choice, the adjustments, snapshots and recordings, read back from the
// files the player leaves.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "mkrec/recording_composer.h"
#include "mkrec/stream_writer.h"
#include "player_process.h"
#include "riff_file.h"

namespace vesk::play {
namespace {

using capture::testing::HaveFfprobe;
using capture::testing::Le16;
using capture::testing::Le32;
using capture::testing::ParseAvi;
using capture::testing::ParsedAvi;
using capture::testing::ProbeVideo;
using capture::testing::ReadFile;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kStart = 1796472001;  // 05/12/26 12:00:01 UTC
constexpr int kCameraWidth = 96;
constexpr int kCameraHeight = 72;
constexpr int kSeconds = 3;
constexpr int kFramesPerSecond = 5;
// The output picture is twice the camera size each way, 32 bits a pixel.
constexpr int kWidth = 2 * kCameraWidth;
constexpr int kHeight = 2 * kCameraHeight;
constexpr std::size_t kPictureBytes = std::size_t{4} * kWidth * kHeight;
// All cameras shown: every camera's frame is a picture, but the very first is
// withheld. Played for pictures, a file starts at its first index position,
// after the channel description, which would draw one more.
constexpr std::uint32_t kGridPictures = 4 * kSeconds * kFramesPerSecond - 1;

// A repeated description reconnects the video pin, whose new decoders wait
// for a key frame: the recording then has one each second.
void WriteRecording(const std::string& path, const std::vector<std::uint8_t>& slots,
                    std::optional<std::uint32_t> repeatDescriptionAt = std::nullopt) {
  mkrec::RecordingPlan plan;
  plan.repeatDescriptionAt = repeatDescriptionAt;
  if (repeatDescriptionAt) plan.keyFrameInterval = kFramesPerSecond;
  plan.startTime = kStart;
  plan.durationSeconds = kSeconds;
  plan.framesPerSecond = kFramesPerSecond;
  for (std::uint8_t slot : slots) {
    mkrec::CameraPlan camera;
    camera.slot = slot;
    camera.width = kCameraWidth;
    camera.height = kCameraHeight;
    plan.cameras.push_back(camera);
  }
  plan.audio = {mkrec::AudioPlan{}};
  mkrec::FileSink file(path);
  mkrec::StreamWriter writer(file);
  mkrec::RecordingComposer composer(plan);
  ASSERT_TRUE(composer.Write(writer).ok());
  ASSERT_TRUE(file.Close());
}

Bytes Frame(const ParsedAvi& avi, std::size_t index) {
  const std::size_t at = avi.frames.at(index);
  const auto begin = avi.bytes.begin() + static_cast<std::ptrdiff_t>(at + 8);
  return Bytes(begin, begin + Le32(avi.bytes, at + 4));
}

Bytes LastFrame(const ParsedAvi& avi) { return avi.frames.empty() ? Bytes() : Frame(avi, avi.frames.size() - 1); }

// The share of pixels whose blue byte outweighs green and red: camera 2's
// test picture has a blue tint, cameras 0, 1 and 3 red, green and yellow ones.
double BlueShare(const Bytes& picture) {
  std::size_t blue = 0;
  for (std::size_t at = 0; at + 4 <= picture.size(); at += 4)
    if (picture[at] > picture[at + 1] && picture[at] > picture[at + 2]) ++blue;
  return picture.empty() ? 0.0 : static_cast<double>(blue) / static_cast<double>(picture.size() / 4);
}

// The mean of the B, G and R bytes, and their mean distance from the middle, 128.
double MeanByte(const Bytes& picture, bool fromMiddle = false) {
  double sum = 0;
  for (std::size_t at = 0; at < picture.size(); ++at)
    if (at % 4 != 3) sum += fromMiddle ? std::abs(picture[at] - 128) : picture[at];
  return picture.empty() ? 0.0 : sum / static_cast<double>(picture.size() / 4 * 3);
}

// The path a report line of the player names: "vesk-play: <what> <path>\n".
std::string NamedFile(const std::string& out, const std::string& what) {
  const std::size_t at = out.find(what);
  if (at == std::string::npos) return "";
  const std::size_t start = at + what.size();
  return out.substr(start, out.find('\n', start) - start);
}

// Call it last in a test: without ffprobe it marks the test skipped.
void ExpectRead(const std::string& path, std::uint32_t frames) {
  const ParsedAvi avi = ParseAvi(path);
  ASSERT_EQ(avi.error, "") << path;
  EXPECT_EQ(avi.frames.size(), frames);
  EXPECT_EQ(Le32(avi.bytes, avi.strf + 4), static_cast<std::uint32_t>(kWidth));
  EXPECT_EQ(Le32(avi.bytes, avi.strf + 8), static_cast<std::uint32_t>(kHeight));  // bottom-up
  EXPECT_EQ(Le16(avi.bytes, avi.strf + 14), 32);
  if (!HaveFfprobe()) GTEST_SKIP() << "ffprobe not installed: " << path << " checked by the RIFF walk only";
  auto fields = ProbeVideo(path);
  EXPECT_EQ(fields["unexpected"], "");
  EXPECT_EQ(fields["width"], std::to_string(kWidth));
  EXPECT_EQ(fields["height"], std::to_string(kHeight));
  EXPECT_EQ(fields["nb_read_frames"], std::to_string(frames));
}

class VeskPlayVideoTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteRecording(recording_, {0, 1, 2, 3}); }

  // Plays the recording headless; the run must succeed.
  Outcome Play(std::vector<std::string> options) {
    options.insert(options.begin(), "--headless");
    options.push_back(recording_);
    Outcome run = RunPlayer(dir_, options);
    EXPECT_FALSE(run.hung);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(run.err.empty()) << run.err;
    return run;
  }

  // The last picture of a run into an AVI file.
  Bytes LastPicture(std::vector<std::string> options) {
    const std::string avi = dir_.File("last.avi");
    options.insert(options.begin(), {"-y", "--video-out", avi});
    Play(options);
    return LastFrame(ParseAvi(avi));
  }

  Scratch dir_;
  const std::string recording_ = dir_.File("four.vsk");
};

TEST_F(VeskPlayVideoTest, OneCameraFillsThePicture) {
  const Bytes grid = LastPicture({});
  const Bytes camera2 = LastPicture({"--camera", "2"});
  ASSERT_EQ(grid.size(), kPictureBytes);
  ASSERT_EQ(camera2.size(), kPictureBytes);
  EXPECT_LT(BlueShare(grid), 0.4);
  EXPECT_GT(BlueShare(camera2), 0.6);
  EXPECT_GT(BlueShare(LastPicture({"--camera", "all"})), 0.1);
}

// A channel description in mid-stream returns the module's view to all
// cameras; the player selects the camera again in time for the next picture.
TEST_F(VeskPlayVideoTest, OneCameraHoldsAcrossANewConfiguration) {
  WriteRecording(recording_, {0, 1, 2, 3}, 1);
  const std::string avi = dir_.File("camera2.avi");
  Play({"--video-out", avi, "--camera", "2"});
  const ParsedAvi parsed = ParseAvi(avi);
  ASSERT_EQ(parsed.error, "");
  std::size_t grids = 0;
  for (std::size_t i = 0; i < parsed.frames.size(); ++i)
    if (BlueShare(Frame(parsed, i)) < 0.6) ++grids;
  // The first picture may come before the player's choice does; then the
  // configuration's own picture, and the grid drawn again at once.
  EXPECT_LE(grids, 3u);
  EXPECT_GE(parsed.frames.size() - grids, std::size_t{kSeconds * kFramesPerSecond - 2});
  EXPECT_GT(BlueShare(LastFrame(parsed)), 0.6);
}

TEST_F(VeskPlayVideoTest, AdjustmentsAndTextsReachThePictures) {
  const Bytes plain = LastPicture({});
  EXPECT_GT(MeanByte(LastPicture({"--brightness", "50"})), MeanByte(plain) + 30);
  // Every value is pulled halfway to 128; the texts drawn afterwards are not.
  EXPECT_LT(MeanByte(LastPicture({"--contrast", "-50"}), true), 0.75 * MeanByte(plain, true));
  EXPECT_NE(LastPicture({"--show", "time,fps,bps,activity"}), LastPicture({}));
  EXPECT_NE(LastPicture({"--sharpness", "3", "--smooth", "100"}), LastPicture({}));
}

// The snapshot is the last picture the pin delivered, as a bottom-up 32-bit BMP.
TEST_F(VeskPlayVideoTest, VideoOutHoldsEveryPictureAndTheSnapshotTheLast) {
  const std::string avi = dir_.File("grid.avi");
  const Outcome run = Play({"--video-out", avi, "--snapshot", dir_.File("snap")});
  EXPECT_NE(run.out.find("video written to " + avi), std::string::npos) << run.out;
  const std::string bmp = NamedFile(run.out, "snapshot written to ");
  ASSERT_EQ(bmp.rfind(dir_.File("snap_"), 0), 0u) << run.out;
  const Bytes file = ReadFile(bmp);
  ASSERT_EQ(file.size(), 54 + kPictureBytes);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(Le32(file, 18), static_cast<std::uint32_t>(kWidth));
  EXPECT_EQ(Le32(file, 22), static_cast<std::uint32_t>(kHeight));
  EXPECT_EQ(Le16(file, 28), 32);
  EXPECT_EQ(Bytes(file.begin() + 54, file.end()), LastFrame(ParseAvi(avi)));
  ExpectRead(avi, kGridPictures);
}

// The first picture of a recording only opens its file.
TEST_F(VeskPlayVideoTest, RecordingOfFivePicturesHoldsFour) {
  const Outcome run = Play({"--record", dir_.File("rec"), "--frames", "5"});
  const std::string avi = NamedFile(run.out, "recording ended: 4 pictures in ");
  ASSERT_EQ(avi.rfind(dir_.File("rec_"), 0), 0u) << run.out;

  // A file size limit stands in for a full disk: the recording says how many
  // pictures its file holds, and the run fails.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 4620 + 2 * (8 + kPictureBytes) + 100;  // the headers and two pictures
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const Outcome full = RunPlayer(dir_, {"--headless", "--record", dir_.File("full"), "--frames", "5", recording_});
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &saved), 0);
  ExpectOneLineFailure(full, "a recording that fills the disk");
  EXPECT_NE(full.err.find("only 2 of 4 pictures"), std::string::npos) << full.err;
  const std::string cut = full.err.substr(full.err.find(dir_.File("full_")));
  ExpectRead(cut.substr(0, cut.find(": only")), 2);
  ExpectRead(avi, 4);
}

TEST_F(VeskPlayVideoTest, WhatCannotBeDoneIsOneLineAndStatusOne) {
  const std::string twoCameras = dir_.File("two.vsk");
  WriteRecording(twoCameras, {0, 2});
  const Outcome absent = RunPlayer(dir_, {"--headless", "--camera", "3", twoCameras});
  ExpectOneLineFailure(absent, "--camera 3 of cameras 0 and 2");
  EXPECT_NE(absent.err.find("camera 3"), std::string::npos) << absent.err;

  const std::string missing = dir_.File("missing/");
  for (const auto& option : {std::vector<std::string>{"--video-out", missing + "out.avi"},
                             std::vector<std::string>{"--snapshot", missing + "snap"},
                             std::vector<std::string>{"--record", missing + "rec", "--frames", "3"}}) {
    std::vector<std::string> args = option;
    args.insert(args.begin(), "--headless");
    args.push_back(recording_);
    const Outcome run = RunPlayer(dir_, args);
    ExpectOneLineFailure(run, option[0] + " into a missing folder");
    EXPECT_NE(run.err.find(missing), std::string::npos) << run.err;
  }
}

// Saved switches fill in what the command line does not give; what it gives
// wins, also after a channel description in mid-stream reloads the saved ones.
TEST_F(VeskPlayVideoTest, GivenSwitchesWinOverTheSavedOnesWhichFillInTheRest) {
  const std::string before = ::getenv("XDG_CONFIG_HOME") ? ::getenv("XDG_CONFIG_HOME") : "";
  auto useConfig = [&](const std::string& name) { ::setenv("XDG_CONFIG_HOME", dir_.File(name).c_str(), 1); };
  WriteRecording(recording_, {0, 1, 2, 3}, 1);
  useConfig("fresh");
  const Bytes freshTime = LastPicture({"--show", "time"});
  const Bytes freshNone = LastPicture({"--show", "none"});
  const Bytes fresh = LastPicture({});

  useConfig("config");
  const Bytes saved = LastPicture({"--show", "activity", "--save-settings"});
  const Bytes next = LastPicture({});
  const Bytes givenTime = LastPicture({"--show", "time"});
  const Bytes givenNone = LastPicture({"--show", "none"});
  const Outcome listed = Play({"--settings"});
  const Bytes reset = LastPicture({"--reset-settings"});
  const Bytes afterReset = LastPicture({});
  ::setenv("XDG_CONFIG_HOME", before.c_str(), 1);

  ASSERT_EQ(saved.size(), kPictureBytes);
  EXPECT_EQ(next, saved);
  EXPECT_NE(fresh, saved) << "without saved settings no activity is drawn";
  EXPECT_EQ(givenTime, freshTime);
  EXPECT_EQ(givenNone, freshNone);
  EXPECT_NE(freshNone, freshTime);
  EXPECT_EQ(reset, fresh);
  EXPECT_EQ(afterReset, fresh);
  EXPECT_EQ(listed.out.rfind("Settings store: " + dir_.File("config") + "/vesk/registry.reg\n", 0), 0u)
      << listed.out;
  EXPECT_NE(listed.out.find("bShowACTIV: 1\n"), std::string::npos) << listed.out;
}

}  // namespace
}  // namespace vesk::play
