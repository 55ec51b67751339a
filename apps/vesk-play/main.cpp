// vesk-play: plays a VESK recording through the playback module.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "apps/vesk-play/play_options.h"
#include "apps/vesk-play/player.h"

namespace {

// The signal that asked the run to stop, or 0. A second one ends the
// program at once, as the default action does.
std::atomic<int> interruptedBy{0};

void OnInterrupt(int signal) {
  interruptedBy = signal;
  std::signal(signal, SIG_DFL);
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "vesk-play: %s\n", why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  bool help = false;
  std::string error;
  const auto options = vesk::play::ParsePlayOptions(argc, argv, &help, &error);
  if (help) {
    std::fputs(vesk::play::kPlayUsage, stdout);
    return 0;
  }
  if (!options) return Fail(error);
  if (options->version) {
    std::printf("vesk-play %s\n", VESK_VERSION);
    return 0;
  }

  // A location alone: the desktop player beside this program shows it, where there is a display.
  if (argc == 2 && options->location == argv[1]) {
#ifdef VESK_DESKTOP_PLAYER
    const char* display = std::getenv("DISPLAY");
    std::error_code ignored;  // no path: the exec below fails and says so
    const auto window = std::filesystem::read_symlink("/proc/self/exe", ignored).parent_path() / "vesk-desktop";
    if (display && *display) ::execl(window.c_str(), "vesk-desktop", argv[1], static_cast<char*>(nullptr));
    std::fprintf(stderr, "vesk-play: %s: playing without a window\n",
                 display && *display ? "the desktop player cannot be started" : "no display");
#else
    std::fprintf(stderr, "vesk-play: this build has no desktop player: playing without a window\n");
#endif
  }
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  auto player = vesk::play::Player::Open(*options, &error);
  if (!player) return Fail(error);
  if (options->info || options->settings || options->configReport) {
    if (!player->ReceiveConfiguration(interruptedBy, &error)) return Fail(error);
    if (options->info) std::fputs(player->Info().c_str(), stdout);
    if (options->configReport) std::fputs(player->ConfigReport().c_str(), stdout);
    if (options->settings) std::fputs(player->Settings().c_str(), stdout);
    return 0;
  }
  const int status = player->Play(interruptedBy, &error);
  if (const int signal = interruptedBy.load()) {
    // The files were finished when the graph stopped; the lines above say what they hold.
    std::fprintf(stderr, "vesk-play: stopped by %s%s\n", signal == SIGINT ? "SIGINT" : "SIGTERM",
                 status == 0 ? "; what was played is kept" : ("; " + error).c_str());
    return 128 + signal;
  }
  if (status != 0) return Fail(error);
  return 0;
}
