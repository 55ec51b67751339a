// vesk-mkrec: writes recordings in the recorder's stream format, for trying
// the player by hand and for its tests.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "command_line.h"
#include "mkrec/recording_composer.h"
#include "mkrec/stream_writer.h"

namespace {

using vesk::mkrec::CommandLine;
using vesk::mkrec::CompositionSummary;
using vesk::mkrec::Status;

// The temporary file while it exists, for a signal that ends the program.
char stagedPath[4096];
volatile std::sig_atomic_t staged = 0;

// Removes the temporary file, then lets the signal end the program as it would have.
void RemoveStagedFileAndStop(int signal) {
  if (staged) ::unlink(stagedPath);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "vesk-mkrec: %s\n", message.c_str());
  return 1;
}

// Writes under a temporary name beside the output and renames it at the end,
// so a failure never leaves a partial recording under the name asked for.
Status WriteRecording(const CommandLine& commandLine, CompositionSummary& summary) {
  const std::string& output = commandLine.outputPath();
  std::string temporary = output + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return Status::Error(output + ": cannot create a file there");
  // mkstemp makes the file private; give it the mode any new file would get.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  close(fd);
  if (temporary.size() < sizeof stagedPath) {
    std::memcpy(stagedPath, temporary.c_str(), temporary.size() + 1);
    staged = 1;
  }

  vesk::mkrec::FileSink sink(temporary);
  vesk::mkrec::StreamWriter writer(sink);
  vesk::mkrec::RecordingComposer composer(commandLine.plan());
  // On a terminal, long runs say how far they are.
  const bool terminal = ::isatty(STDERR_FILENO);
  const auto started = std::chrono::steady_clock::now();
  bool progressShown = false;
  composer.SetProgress([&](std::uint32_t done, std::uint32_t total) {
    if (!terminal || std::chrono::steady_clock::now() - started < std::chrono::seconds(1)) return;
    std::fprintf(stderr, "\rvesk-mkrec: %s: %u of %u seconds written", output.c_str(), done, total);
    progressShown = true;
  });
  Status status = sink.IsOpen() ? composer.Write(writer) : Status::Error(output + ": cannot write");
  if (!sink.Close() && status.ok()) status = Status::Error(output + ": write failed");
  if (status.ok() && std::rename(temporary.c_str(), output.c_str()) != 0)
    status = Status::Error(output + ": cannot rename the finished file into place");
  if (progressShown) std::fputc('\n', stderr);
  if (!status.ok()) std::remove(temporary.c_str());
  staged = 0;
  if (!status.ok()) return status;
  summary = composer.summary();
  return status;
}

int Run(const std::vector<std::string>& args) {
  CommandLine commandLine;
  if (Status s = commandLine.Parse(args); !s.ok()) return Fail(s.message());
  if (commandLine.helpWanted()) {
    std::fputs(CommandLine::Usage(), stdout);
    return 0;
  }
  if (commandLine.versionWanted()) {
    std::printf("vesk-mkrec %s\n", VESK_VERSION);
    return 0;
  }
  std::string refusal;
  if (!vesk::cli::CheckOutputFiles({commandLine.outputPath()}, commandLine.InputFiles(), commandLine.overwrite(),
                                   "vesk-mkrec", &refusal))
    return Fail(refusal);
  CompositionSummary summary;
  if (Status s = WriteRecording(commandLine, summary); !s.ok()) return Fail(s.message());
  std::printf(
      "vesk-mkrec: wrote %s: %llu bytes, %llu packets (%u s, %u video frames, "
      "%u audio packets, %u text lines)\n",
      commandLine.outputPath().c_str(), static_cast<unsigned long long>(summary.bytes),
      static_cast<unsigned long long>(summary.packets), commandLine.plan().durationSeconds,
      summary.videoFrames, summary.audioPackets, summary.textLines);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, RemoveStagedFileAndStop);
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& error) {
    return Fail(error.what());
  }
}
