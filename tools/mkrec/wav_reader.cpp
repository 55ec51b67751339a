#include "mkrec/wav_reader.h"

#include <cstring>
#include <fstream>
#include <iterator>

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

Status WavReader::Read(const std::string& path) {
  path_ = path;
  std::ifstream in(path, std::ios::binary);
  if (!in) return Status::Error(path + ": cannot open");
  const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
  if (in.bad()) return Status::Error(path + ": read failed");
  return Parse(file);
}

Status WavReader::Parse(const std::vector<std::uint8_t>& file) {
  if (file.size() < kRiffHeader || !HasId(file.data(), "RIFF") || !HasId(file.data() + 8, "WAVE"))
    return Status::Error(path_ + ": not a RIFF/WAVE file");
  bool haveFormat = false;
  const std::uint8_t* data = nullptr;
  std::uint32_t dataSize = 0;
  std::size_t offset = kRiffHeader;
  // The RIFF size field is often wrong in files written while recording, so
  // the chunks are walked up to the real end of the file.
  while (file.size() - offset >= kChunkHeader) {
    const std::uint8_t* chunk = file.data() + offset;
    const std::uint32_t size = LoadLe32(chunk + 4);
    const std::size_t left = file.size() - offset - kChunkHeader;
    if (HasId(chunk, "fmt ")) {
      if (size > left) return Status::Error(path_ + ": fmt chunk is cut short");
      if (Status format = ParseFormat(chunk + kChunkHeader, size); !format.ok()) return format;
      haveFormat = true;
    } else if (HasId(chunk, "data")) {
      if (size > left) return Status::Error(path_ + ": data chunk is cut short");
      data = chunk + kChunkHeader;
      dataSize = size;
    }
    if (size >= left) break;
    // Chunks start on even offsets: an odd-sized chunk is followed by a pad byte.
    offset += kChunkHeader + size + (size & 1);
  }
  if (!haveFormat) return Status::Error(path_ + ": no fmt chunk");
  if (!data) return Status::Error(path_ + ": no data chunk");
  const std::uint32_t whole = dataSize - dataSize % format_.frameBytes();
  samples_.assign(data, data + whole);
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
