// vesk-probe: prints what a recorder stream file holds.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/debug_trace.h"
#include "probe/recording_probe.h"
#include "vesk/report_text.h"

namespace {

constexpr const char* kUsage =
    "usage: vesk-probe [--trace] [--packets | --json] FILE\n"
    "  --trace    print the reader's trace lines to stderr\n"
    "  --packets  print one line per packet\n"
    "  --json     print the channels with their formats, the index and the data as JSON\n"
    "  --version  print the version\n";

class StderrTrace final : public vesk::platform::TraceSink {
 public:
  void Trace(const char* text) override { std::fprintf(stderr, "%s\n", text); }
};

}  // namespace

int main(int argc, char** argv) {
  bool trace = false;
  bool packets = false;
  bool json = false;
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--trace") == 0) {
      trace = true;
    } else if (std::strcmp(argv[i], "--packets") == 0) {
      packets = true;
    } else if (std::strcmp(argv[i], "--json") == 0) {
      json = true;
    } else if (std::strcmp(argv[i], "--version") == 0) {
      std::puts("vesk-probe " VESK_VERSION);
      return 0;
    } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
      std::fprintf(stderr, "vesk-probe: unknown option %s (try --help)\n", argv[i]);
      return 1;
    } else if (path) {
      std::fprintf(stderr, "vesk-probe: one file at a time (try --help)\n");
      return 1;
    } else {
      path = argv[i];
    }
  }
  if (!path || (json && packets)) {
    std::fputs(kUsage, stderr);
    return 1;
  }

  StderrTrace sink;
  if (trace) vesk::platform::DebugTrace::Install(&sink);
  vesk::probe::PacketVisitor visit;
  if (packets)
    visit = [](std::uint64_t offset, const vesk::input::Packet& packet) {
      std::printf("%s\n", vesk::probe::FormatPacketLine(offset, packet).c_str());
    };
  const vesk::probe::ProbeResult result = vesk::probe::ProbeRecording(path, visit);
  vesk::platform::DebugTrace::Install(nullptr);

  if (json) {
    std::fputs(vesk::probe::FormatJson(path, result).c_str(), stdout);
  } else if (result.channelDescriptions > 0) {
    std::fputs(vesk::ReportTextForTerminal(result.configReport).c_str(), stdout);
    std::fputs(vesk::probe::FormatSummary(result).c_str(), stdout);
  }
  std::fflush(stdout);
  if (FAILED(result.status)) {
    std::fprintf(stderr, "vesk-probe: %s: %s\n", path, result.error.c_str());
    return 1;
  }
  return 0;
}
