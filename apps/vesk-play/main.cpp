// vesk-play: plays a VESK recording through the playback module.
#include <csignal>
#include <cstdio>

#include "apps/vesk-play/play_options.h"
#include "apps/vesk-play/player.h"

namespace {

std::atomic<bool> interrupted{false};

void OnInterrupt(int) { interrupted = true; }

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

  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  auto player = vesk::play::Player::Open(*options, &error);
  if (!player) return Fail(error);
  if (options->info || options->settings || options->configReport) {
    if (options->info) std::fputs(player->Info().c_str(), stdout);
    if (options->configReport) std::fputs(player->ConfigReport().c_str(), stdout);
    if (options->settings) std::fputs(player->Settings().c_str(), stdout);
    return 0;
  }
  if (player->Play(interrupted, &error) != 0) return Fail(error);
  return 0;
}
