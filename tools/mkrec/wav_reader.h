// Reads a PCM WAV file as a stream: RIFF/WAVE with a plain PCM fmt chunk, 8 or
// 16 bits, mono or stereo. Chunks other than fmt and data are skipped. Only
// the header is held in memory, so a file of any length costs the same.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "mkrec/audio_format.h"
#include "mkrec/status.h"

namespace vesk::mkrec {

class WavReader {
 public:
  // Reads the header and finds the samples.
  Status Open(const std::string& path);

  const AudioFormat& format() const { return format_; }
  // The bytes of the whole sample frames the file stores.
  std::uint64_t sampleBytes() const { return sampleBytes_; }

  // Up to `size` of the next sample bytes into `out`; fewer at the end of the
  // samples. Rewind starts them again.
  Status Read(std::uint8_t* out, std::size_t size, std::size_t& read);
  Status Rewind();

 private:
  struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };

  Status FindChunks(std::uint64_t fileSize);
  Status ParseFormat(const std::uint8_t* chunk, std::uint32_t size);

  std::string path_;
  std::unique_ptr<std::FILE, FileCloser> file_;
  AudioFormat format_;
  std::uint64_t samplesStart_ = 0;
  std::uint64_t sampleBytes_ = 0;
  std::uint64_t position_ = 0;  // within the samples
};

}  // namespace vesk::mkrec
