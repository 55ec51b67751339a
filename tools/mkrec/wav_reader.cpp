#include "mkrec/wav_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/little_endian.h"

namespace vesk::mkrec {

using platform::LoadLe16;
using platform::LoadLe32;

namespace {

constexpr std::size_t kRiffHeader = 12;
constexpr std::size_t kChunkHeader = 8;
constexpr std::uint32_t kPcmTag = 1;
constexpr std::uint32_t kPcmFormatSize = 16;

bool HasId(const std::uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

}  // namespace

Status WavReader::Open(const std::string& path) {
  path_ = path;
  position_ = 0;
  file_.reset(std::fopen(path.c_str(), "rb"));
  if (!file_) return Status::Error(path + ": cannot open: " + std::strerror(errno));
  if (std::fseek(file_.get(), 0, SEEK_END) != 0) return Status::Error(path + ": cannot be read to its end");
  const long size = std::ftell(file_.get());
  if (size < 0) return Status::Error(path + ": cannot be read to its end");
  return FindChunks(static_cast<std::uint64_t>(size));
}

Status WavReader::FindChunks(std::uint64_t fileSize) {
  std::uint8_t header[kRiffHeader];
  std::rewind(file_.get());
  if (std::fread(header, 1, kRiffHeader, file_.get()) != kRiffHeader || !HasId(header, "RIFF") ||
      !HasId(header + 8, "WAVE"))
    return Status::Error(path_ + ": not a RIFF/WAVE file");
  bool haveFormat = false, haveData = false;
  std::uint32_t dataSize = 0;
  std::uint64_t offset = kRiffHeader;
  // The RIFF size field is often wrong in files written while recording, so
  // the chunks are walked up to the real end of the file.
  while (fileSize - offset >= kChunkHeader) {
    std::uint8_t chunk[kChunkHeader];
    if (std::fseek(file_.get(), static_cast<long>(offset), SEEK_SET) != 0 ||
        std::fread(chunk, 1, kChunkHeader, file_.get()) != kChunkHeader)
      return Status::Error(path_ + ": read failed");
    const std::uint32_t size = LoadLe32(chunk + 4);
    const std::uint64_t left = fileSize - offset - kChunkHeader;
    if (HasId(chunk, "fmt ")) {
      if (size > left) return Status::Error(path_ + ": fmt chunk is cut short");
      std::vector<std::uint8_t> body(size);
      if (std::fread(body.data(), 1, size, file_.get()) != size) return Status::Error(path_ + ": read failed");
      if (Status format = ParseFormat(body.data(), size); !format.ok()) return format;
      haveFormat = true;
    } else if (HasId(chunk, "data")) {
      if (size > left) return Status::Error(path_ + ": data chunk is cut short");
      samplesStart_ = offset + kChunkHeader;
      dataSize = size;
      haveData = true;
    }
    if (size >= left) break;
    // Chunks start on even offsets: an odd-sized chunk is followed by a pad byte.
    offset += kChunkHeader + size + (size & 1);
  }
  if (!haveFormat) return Status::Error(path_ + ": no fmt chunk");
  if (!haveData) return Status::Error(path_ + ": no data chunk");
  sampleBytes_ = dataSize - dataSize % format_.frameBytes();
  return Rewind();
}

Status WavReader::Read(std::uint8_t* out, std::size_t size, std::size_t& read) {
  const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, sampleBytes_ - position_));
  read = std::fread(out, 1, wanted, file_.get());
  position_ += read;
  return read == wanted ? Status::Ok() : Status::Error(path_ + ": read failed");
}

Status WavReader::Rewind() {
  position_ = 0;
  if (std::fseek(file_.get(), static_cast<long>(samplesStart_), SEEK_SET) != 0)
    return Status::Error(path_ + ": cannot go back to the first sample");
  return Status::Ok();
}

Status WavReader::ParseFormat(const std::uint8_t* chunk, std::uint32_t size) {
  if (size < kPcmFormatSize) return Status::Error(path_ + ": fmt chunk is too small");
  const std::uint32_t tag = LoadLe16(chunk);
  if (tag != kPcmTag)
    return Status::Error(path_ + ": format tag " + std::to_string(tag) + " is not plain PCM");
  format_.channels = LoadLe16(chunk + 2);
  format_.rate = LoadLe32(chunk + 4);
  const std::uint32_t blockAlign = LoadLe16(chunk + 12);
  format_.bits = LoadLe16(chunk + 14);
  if (format_.channels != 1 && format_.channels != 2)
    return Status::Error(path_ + ": " + std::to_string(format_.channels) +
                         " channels, only mono or stereo is supported");
  if (format_.bits != 8 && format_.bits != 16)
    return Status::Error(path_ + ": " + std::to_string(format_.bits) +
                         "-bit samples, only 8 or 16 bits are supported");
  if (format_.rate == 0) return Status::Error(path_ + ": sample rate is 0");
  if (blockAlign != format_.frameBytes())
    return Status::Error(path_ + ": block align " + std::to_string(blockAlign) +
                         " does not match the channels and bits");
  return Status::Ok();
}

}  // namespace vesk::mkrec
