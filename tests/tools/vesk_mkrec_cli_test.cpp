#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/little_endian.h"
#include "input/stream_format.h"
#include "scratch_dir.h"

namespace vesk::mkrec {
namespace {

using testing::ScratchDir;

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Quoted(const std::string& arg) {
  std::string quoted = "'";
  for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

Outcome RunMkrec(const ScratchDir& dir, const std::vector<std::string>& args) {
  std::string command = Quoted(VESK_MKREC_PATH);
  for (const std::string& arg : args) command += " " + Quoted(arg);
  command += " >" + Quoted(dir.File("stdout")) + " 2>" + Quoted(dir.File("stderr"));
  Outcome run;
  const int status = std::system(command.c_str());
  if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  run.out = Slurp(dir.File("stdout"));
  run.err = Slurp(dir.File("stderr"));
  std::remove(dir.File("stdout").c_str());
  std::remove(dir.File("stderr").c_str());
  return run;
}

bool IsOneLine(const std::string& text) {
  return !text.empty() && text.back() == '\n' && text.find('\n') == text.size() - 1;
}

TEST(VeskMkrecCliTest, BadArgumentsGiveOneLineAndExitOneLeavingNoFile) {
  ScratchDir dir;
  const std::string out = dir.File("out.vsk");
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"--bogus", out},
      {"--duration"},
      {"--camera", "7", out},
      {"--camera", "0:351x288", out},
      {"--camera", "0:64x48:y4m=" + dir.File("missing.y4m"), out},
      {"--audio", "8:rate=8000:wav=x.wav", out},
      {"--text", "255:soon", out},
      {"--text", "255:12:after the end", "--duration", "3", out},
      {"--start", "2026-02-30 12:00:00", out},
      {"--demo", "--fps", "3", out},
      {"--duration", "1", dir.File("no/such/dir/out.vsk")},
      {"--duration", "-5", out},
      {"--fps", "0", out},
  };
  for (const auto& args : cases) {
    std::string shown;
    for (const auto& arg : args) shown += arg + " ";
    const Outcome run = RunMkrec(dir, args);
    EXPECT_EQ(run.exitCode, 1) << shown;
    EXPECT_TRUE(IsOneLine(run.err)) << shown << "\n" << run.err;
    EXPECT_EQ(run.err.rfind("vesk-mkrec: ", 0), 0u) << run.err;
    EXPECT_TRUE(dir.Names().empty()) << shown;
  }
  EXPECT_NE(RunMkrec(dir, {"--duration", "-5", out}).err.find("--duration -5: takes a whole number from 1 to 86400"),
            std::string::npos);
}

// An existing file is kept unless -y, and an input is never written over.
TEST(VeskMkrecCliTest, OutputsAreKeptUnlessOverwrittenAndNeverAnInput) {
  ScratchDir dir;
  const std::string out = dir.File("out.vsk");
  std::ofstream(out) << "mine";
  for (const auto& refused : {std::vector<std::string>{"--duration", "1", out},
                              std::vector<std::string>{"-n", "--duration", "1", out}}) {
    const Outcome run = RunMkrec(dir, refused);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("out.vsk: exists and is kept (-y replaces it)"), std::string::npos) << run.err;
  }
  EXPECT_EQ(Slurp(out), "mine");
  EXPECT_EQ(RunMkrec(dir, {"-y", "--duration", "1", out}).exitCode, 0);
  EXPECT_NE(Slurp(out), "mine");

  const std::string y4m = dir.File("a.y4m");
  std::ofstream(y4m) << "YUV4MPEG2 W16 H16 F5:1 C420jpeg\nFRAME\n" << std::string(16 * 16 * 3 / 2, 'x');
  const Outcome self = RunMkrec(dir, {"-y", "--camera", "0:y4m=" + y4m, y4m});
  EXPECT_EQ(self.exitCode, 1);
  EXPECT_NE(self.err.find("a.y4m: is an input of this run"), std::string::npos) << self.err;
  EXPECT_EQ(Slurp(y4m).rfind("YUV4MPEG2", 0), 0u);
}

TEST(VeskMkrecCliTest, WritesTheRecordingAndSaysWhatItWrote) {
  ScratchDir dir;
  const std::string out = dir.File("small.vsk");
  const Outcome run =
      RunMkrec(dir, {"--duration", "2", "--camera", "0:64x48", "--camera", "3:32x32", "--audio",
                     "8:rate=8000:bits=16:stereo", "--text", "255:1:Тревога: дверь", "--start",
                     "2026-12-05 12:00:01", "--max-fragment", "200", "--mark-keyframes", out});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(IsOneLine(run.out)) << run.out;
  EXPECT_NE(run.out.find("small.vsk"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("20 video frames"), std::string::npos) << run.out;
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"small.vsk"});

  const std::string bytes = Slurp(out);
  ASSERT_GT(bytes.size(), 8u);
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
  EXPECT_EQ(platform::LoadLe32(p), input::kChannelDescriptionMark);
  const std::size_t index = 8 + platform::LoadLe16(p + 4);
  ASSERT_GT(bytes.size(), index + 8);
  EXPECT_EQ(platform::LoadLe32(p + index), input::kIndexPositionMark);
  EXPECT_EQ(platform::LoadLe32(p + index + 4), 1796472001u);
  EXPECT_NE(run.out.find(std::to_string(bytes.size()) + " bytes"), std::string::npos) << run.out;
}

// Stopped by a signal while it writes, it takes its temporary file with it.
TEST(VeskMkrecCliTest, AnInterruptedRunLeavesNoFile) {
  ScratchDir dir;
  for (int signal : {SIGINT, SIGTERM}) {
    const std::string command = Quoted(VESK_MKREC_PATH) + " --duration 3600 --camera 0:704x576 " +
                                Quoted(dir.File("long.vsk")) + " >/dev/null 2>&1 & echo $!";
    FILE* shell = ::popen(command.c_str(), "r");
    ASSERT_NE(shell, nullptr);
    int pid = 0;
    ASSERT_EQ(std::fscanf(shell, "%d", &pid), 1);
    ::pclose(shell);
    // Until the temporary file is there, then a little longer.
    for (int wait = 0; wait < 500 && dir.Names().empty(); ++wait) ::usleep(10'000);
    ::usleep(100'000);
    EXPECT_FALSE(dir.Names().empty());
    ASSERT_EQ(::kill(pid, signal), 0);
    for (int wait = 0; wait < 1000 && ::kill(pid, 0) == 0; ++wait) ::usleep(10'000);
    EXPECT_NE(::kill(pid, 0), 0) << "still running after signal " << signal;
    if (::kill(pid, 0) == 0) ::kill(pid, SIGKILL);  // should it still run, it goes now
    EXPECT_TRUE(dir.Names().empty()) << dir.Names().front();
  }
}

TEST(VeskMkrecCliTest, HelpVersionAndDemo) {
  ScratchDir dir;
  EXPECT_EQ(RunMkrec(dir, {"--version"}).out, std::string("vesk-mkrec ") + VESK_VERSION + "\n");
  const Outcome help = RunMkrec(dir, {"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--camera SLOT[:WxH][:y4m=FILE]"), std::string::npos);

  const Outcome demo = RunMkrec(dir, {"--demo", dir.File("demo.vsk")});
  ASSERT_EQ(demo.exitCode, 0) << demo.err;
  EXPECT_NE(demo.out.find("200 video frames"), std::string::npos) << demo.out;
  EXPECT_NE(demo.out.find("5 text lines"), std::string::npos) << demo.out;
}

}  // namespace
}  // namespace vesk::mkrec
