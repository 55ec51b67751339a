// Reading a 200 MB recording: header-only scanning (as the index scan does)
// and full reading (as playback does), against a plain sequential read() of
// the same file measured in the same run; and one packet of many fragments.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "input/file_source.h"
#include "input/packet_reader.h"
#include "input/stream_format.h"
#include "mkrec/stream_writer.h"

#include "ratio_reporter.h"

namespace {

using namespace vesk;

constexpr std::uint64_t kRecordingBytes = 200ull << 20;

// Four cameras of compressed pictures (a key picture now and then, larger than
// one fragment), 16-bit mono audio, a status payload and an index position
// every second.
std::string WriteRecording() {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("reader-bench-" + std::to_string(::getpid()) + ".vsk"))
          .string();
  mkrec::FileSink sink(path);
  mkrec::StreamWriter writer(sink);
  mkrec::ConfigurationBuilder record("bench");
  for (std::uint8_t camera = 0; camera < 4; ++camera)
    record.Channel(camera, input::kChannelVideo, "xvid", "camera", "-width 704 -height 576");
  record.Channel(8, input::kChannelAudio, "pcm", "audio", "rate=16000 bits=16");
  record.Channel(16, input::kChannelStatus, "", "status", "");
  writer.ChannelDescription(record.bytes());

  std::mt19937 random(7);
  std::vector<std::uint8_t> payload(200000);
  for (auto& byte : payload) byte = static_cast<std::uint8_t>(random());
  const auto status = mkrec::StatusPayload({1, 2, 3, 4, 0, 0, 0, 0, 5});
  std::uint32_t time = 1796169600;
  for (int frame = 0; writer.Position() < kRecordingBytes; ++frame) {
    if (frame % 25 == 0) {
      writer.IndexPosition(time++);
      writer.DataPacket(16, status);
    }
    for (std::uint8_t camera = 0; camera < 4; ++camera) {
      const std::size_t size = frame % 25 == 0 ? 120000 : 15000 + random() % 20000;
      writer.DataPacket(camera, mkrec::Bytes(payload.data(), size));
    }
    writer.DataPacket(8, mkrec::Bytes(payload.data(), 1280));
  }
  if (!sink.Close()) std::fprintf(stderr, "could not write %s\n", path.c_str());
  return path;
}

const std::string& RecordingPath() {
  static const std::string path = WriteRecording();
  return path;
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

void ReadPackets(benchmark::State& state, input::ReadMode mode) {
  for (auto _ : state) {
    input::FileSource source;
    source.Open(RecordingPath());
    input::PacketReader reader;
    reader.SetStatusChannel(16);
    input::PacketPtr packet;
    std::int64_t packets = 0;
    while (reader.ReadPacket(source, &packet, mode) == S_OK) ++packets;
    benchmark::DoNotOptimize(packets);
    state.SetBytesProcessed(state.bytes_processed() + static_cast<std::int64_t>(source.Position()));
    state.counters["packets"] = static_cast<double>(packets);
  }
}

// One 48 MB packet in fragments of state.range(0) bytes: reassembly costs time
// in proportion to the packet, so the rate stays near that of large fragments.
void OneFragmentedPacket(benchmark::State& state) {
  constexpr std::size_t kPacketBytes = 48u << 20;
  const auto fragment = static_cast<std::size_t>(state.range(0));
  const std::string path = RecordingPath() + ".fragments";
  {
    mkrec::FileSink sink(path);
    mkrec::StreamWriter writer(sink);
    const std::vector<std::uint8_t> piece(fragment, 0x5A);
    for (std::size_t at = 0; at < kPacketBytes; at += fragment)
      writer.Fragment(3, piece, at == 0, at + fragment >= kPacketBytes);
    sink.Close();
  }
  for (auto _ : state) {
    input::FileSource source;
    source.Open(path);
    input::PacketReader reader;
    input::PacketPtr packet;
    if (reader.ReadPacket(source, &packet, input::ReadMode::kWithData) != S_OK) state.SkipWithError("no packet");
    state.SetBytesProcessed(state.bytes_processed() + static_cast<std::int64_t>(source.Position()));
  }
  std::filesystem::remove(path);
}

void HeaderOnlyScan(benchmark::State& state) { ReadPackets(state, input::ReadMode::kHeadersOnly); }
void FullRead(benchmark::State& state) { ReadPackets(state, input::ReadMode::kWithData); }

BENCHMARK(PlainRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(HeaderOnlyScan)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(FullRead)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(OneFragmentedPacket)->Arg(65535)->Arg(4096)->Arg(256)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RecordingPath();  // written before timing starts, and left in the page cache
  bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double plain = reporter.Seconds("PlainRead");
  if (plain > 0) {
    std::printf("\nheader-only scan / plain read: %.3f\n",
                reporter.Seconds("HeaderOnlyScan") / plain);
    std::printf("full read / plain read:        %.3f\n", reporter.Seconds("FullRead") / plain);
  }
  std::filesystem::remove(RecordingPath());
  benchmark::Shutdown();
  return 0;
}
