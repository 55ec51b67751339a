// The picture adjustments on a 704 x 576 picture, each against a memcpy of
// the same picture measured in the same run. The enlargement writes that
// picture from a 352 x 288 camera, as the pin shows one camera enlarged.
//
// Sharpening and smoothing run on the same noisy picture every time, as the
// pin adjusts each decoded picture once: run again and again on one picture
// they would measure a picture that has settled (saturated, flattened). Their
// ratios include the copy that restores the picture.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "video/brightness_contrast.h"
#include "video/picture_adjustments.h"

#include "ratio_reporter.h"

namespace {

using namespace vesk;

constexpr std::uint32_t kWidth = 704;
constexpr std::uint32_t kHeight = 576;
constexpr std::size_t kBytes = 4u * kWidth * kHeight;

std::vector<std::uint8_t> Picture() {
  std::mt19937 random(3);
  std::vector<std::uint8_t> picture(kBytes);
  for (auto& byte : picture) byte = static_cast<std::uint8_t>(100 + random() % 50);
  return picture;
}

void Memcpy(benchmark::State& state) {
  const auto source = Picture();
  std::vector<std::uint8_t> target(kBytes);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), kBytes);
    benchmark::ClobberMemory();
  }
}

void BrightnessContrast(benchmark::State& state) {
  auto picture = Picture();
  video::BrightnessContrast adjust;
  for (auto _ : state) {
    adjust.Apply(picture.data(), kWidth, kHeight, 10, 20);
    benchmark::ClobberMemory();
  }
}

// Factor 1 and threshold 0 are skipped outright: use settings that work.
void Sharpen(benchmark::State& state) {
  const auto decoded = Picture();
  auto picture = decoded;
  for (auto _ : state) {
    std::memcpy(picture.data(), decoded.data(), kBytes);
    video::SharpenPicture(picture.data(), kWidth, kHeight, 2);
    benchmark::ClobberMemory();
  }
}

void Smooth(benchmark::State& state) {
  const auto decoded = Picture();
  auto picture = decoded;
  for (auto _ : state) {
    std::memcpy(picture.data(), decoded.data(), kBytes);
    video::SmoothPicture(picture.data(), kWidth, kHeight, 30);
    benchmark::ClobberMemory();
  }
}

void Enlarge(benchmark::State& state) {
  const auto camera = Picture();  // its first quarter is the 352 x 288 camera
  std::vector<std::uint8_t> output(kBytes);
  for (auto _ : state) {
    video::EnlargePicture(camera.data(), kWidth / 2, kHeight / 2, output.data());
    benchmark::ClobberMemory();
  }
}

BENCHMARK(Memcpy);
BENCHMARK(BrightnessContrast);
BENCHMARK(Sharpen);
BENCHMARK(Smooth);
BENCHMARK(Enlarge);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double copy = reporter.Seconds("Memcpy");
  if (copy > 0) {
    std::printf("\n");
    for (const char* name : {"BrightnessContrast", "Sharpen", "Smooth", "Enlarge"})
      std::printf("%-18s / memcpy: %.2f\n", name, reporter.Seconds(name) / copy);
  }
  benchmark::Shutdown();
  return 0;
}
