// Builds WAV files byte by byte, including ones that break the rules.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/little_endian.h"

namespace vesk::mkrec::testing {

inline void AppendChunk(std::vector<std::uint8_t>& file, const char* id,
                        const std::vector<std::uint8_t>& body) {
  file.insert(file.end(), id, id + 4);
  file.resize(file.size() + 4);
  platform::StoreLe32(file.data() + file.size() - 4, static_cast<std::uint32_t>(body.size()));
  file.insert(file.end(), body.begin(), body.end());
  if (body.size() % 2) file.push_back(0);
}

inline std::vector<std::uint8_t> FmtChunk(std::uint16_t tag, std::uint16_t channels,
                                          std::uint32_t rate, std::uint16_t bits) {
  std::vector<std::uint8_t> fmt(16);
  const auto align = static_cast<std::uint16_t>(channels * bits / 8);
  platform::StoreLe16(&fmt[0], tag);
  platform::StoreLe16(&fmt[2], channels);
  platform::StoreLe32(&fmt[4], rate);
  platform::StoreLe32(&fmt[8], rate * align);
  platform::StoreLe16(&fmt[12], align);
  platform::StoreLe16(&fmt[14], bits);
  return fmt;
}

// RIFF/WAVE with the fmt chunk, an odd-sized chunk to skip, then the data.
inline std::vector<std::uint8_t> WavFile(const std::vector<std::uint8_t>& fmt,
                                         const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> file = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  AppendChunk(file, "fmt ", fmt);
  AppendChunk(file, "LIST", {1, 2, 3});
  AppendChunk(file, "data", data);
  return file;
}

}  // namespace vesk::mkrec::testing
