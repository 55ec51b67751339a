#include "audio/audio_channel_format.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <optional>

namespace vesk::audio {
namespace {

// The number after a word and one separator of any kind ("rate=16000",
// "bits 16"): leading white space skipped, signed, up to the first non-digit,
// 0 when no digit follows; nothing when the word is absent. Never reads past
// the end of the text.
std::optional<long> NumberAfter(const char* text, const char* word) {
  const char* at = std::strstr(text, word);
  if (!at) return std::nullopt;
  const std::size_t skip = std::strlen(word) + 1;
  if (std::strlen(at) < skip) return 0;
  const char* p = at + skip;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  long value = 0;
  for (; std::isdigit(static_cast<unsigned char>(*p)) && value < 1000000000L; ++p)
    value = value * 10 + (*p - '0');
  return negative ? -value : value;
}

}  // namespace

AudioChannelFormat AudioChannelFormat::FromOptions(const char* options) {
  AudioChannelFormat format;
  if (!options) options = "";
  format.rate = static_cast<std::uint32_t>(NumberAfter(options, "rate").value_or(8000));
  format.bits = static_cast<std::uint16_t>(NumberAfter(options, "bits").value_or(8));
  format.channels = std::strstr(options, "stereo") ? 2 : 1;
  format.noSound = std::strstr(options, "-nosnd") != nullptr;
  // Two seconds of sound; absurd options give a size the allocator refuses
  // rather than one that wrapped around.
  const std::uint64_t twoSeconds =
      static_cast<std::uint64_t>(format.bits / 8u) * format.channels * format.rate * 2u;
  format.bufferSize = static_cast<std::uint32_t>(
      std::min<std::uint64_t>(twoSeconds, std::numeric_limits<std::uint32_t>::max()));
  return format;
}

}  // namespace vesk::audio
