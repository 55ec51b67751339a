// Runs vesk-play as a user does, for the player's tests: a subprocess with its
// exit status, its output and the files it writes. The including target
// defines VESK_PLAY_PATH.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/little_endian.h"

extern char** environ;

namespace vesk::play {

// Long enough for a sanitizer build on a busy machine; a hang ends here.
constexpr auto kRunLimit = std::chrono::seconds(90);

struct Outcome {
  int exitCode = -1;  // -1: killed by a signal or by the time limit
  bool hung = false;
  std::string out;
  std::string err;
};

inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class Scratch {
 public:
  Scratch() {
    std::string pattern = ::testing::TempDir() + "vesk-play-XXXXXX";
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~Scratch() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// With `signal`, the player is sent it once `after` has passed.
inline Outcome RunPlayer(const Scratch& dir, std::vector<std::string> args, int signal = 0,
                         std::chrono::milliseconds after = {}) {
  const std::string outPath = dir.File("stdout"), errPath = dir.File("stderr");
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&files, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  args.insert(args.begin(), VESK_PLAY_PATH);
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  // A location given alone opens the desktop window where there is a display.
  ::unsetenv("DISPLAY");
  Outcome run;
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, VESK_PLAY_PATH, &files, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << VESK_PLAY_PATH;
    return run;
  }
  const auto started = std::chrono::steady_clock::now();
  const auto deadline = started + kRunLimit;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (signal != 0 && std::chrono::steady_clock::now() > started + after) {
      ::kill(pid, signal);
      signal = 0;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      run.hung = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!run.hung && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  run.out = Slurp(outPath);
  run.err = Slurp(errPath);
  return run;
}

struct Wav {
  std::uint16_t channels = 0;
  std::uint32_t rate = 0;
  std::uint16_t bits = 0;
  std::vector<std::uint8_t> data;
};

// Walks the chunks; fails the test when the file is not a well-formed WAV.
inline Wav ReadWav(const std::string& path) {
  const std::string file = Slurp(path);
  const auto* p = reinterpret_cast<const std::uint8_t*>(file.data());
  Wav wav;
  EXPECT_GE(file.size(), 12u) << path;
  if (file.size() < 12) return wav;
  EXPECT_EQ(file.compare(0, 4, "RIFF"), 0);
  EXPECT_EQ(file.compare(8, 4, "WAVE"), 0);
  EXPECT_EQ(platform::LoadLe32(p + 4), file.size() - 8);
  for (std::size_t at = 12; at + 8 <= file.size();) {
    const std::string id = file.substr(at, 4);
    const std::size_t size = platform::LoadLe32(p + at + 4);
    if (at + 8 + size > file.size()) {
      ADD_FAILURE() << "chunk " << id << " runs past the end of " << path;
      break;
    }
    if (id == "fmt " && size >= 16) {
      EXPECT_EQ(platform::LoadLe16(p + at + 8), 1);  // PCM
      wav.channels = platform::LoadLe16(p + at + 10);
      wav.rate = platform::LoadLe32(p + at + 12);
      wav.bits = platform::LoadLe16(p + at + 22);
    } else if (id == "data") {
      wav.data.assign(p + at + 8, p + at + 8 + size);
    }
    at += 8 + size + size % 2;
  }
  return wav;
}

// What the failures must look like: one line naming the program, status 1.
inline void ExpectOneLineFailure(const Outcome& run, const std::string& about) {
  EXPECT_FALSE(run.hung) << about;
  EXPECT_EQ(run.exitCode, 1) << about << "\n" << run.err;
  EXPECT_EQ(run.err.rfind("vesk-play:", 0), 0u) << about << "\n" << run.err;
  EXPECT_TRUE(!run.err.empty() && run.err.find('\n') == run.err.size() - 1) << about << "\n" << run.err;
}

}  // namespace vesk::play
