// The description of one channel as the configuration record gives it.
#pragma once

#include <cstdint>

namespace vesk::input {

constexpr int kChannelCount = 256;
constexpr std::uint32_t kChannelTextSize = 200;  // 199 characters and a zero byte

// The 616-byte unit the pins copy. Texts are zero-terminated Windows-1251.
struct ChannelRecord {
  std::uint32_t number = 0;
  // Video: the camera slot; audio: the ordinal among the audio channels;
  // text: channel number - 128 (-1 for channel 255); otherwise 0.
  std::int32_t pinIndex = 0;
  // The closest video channel listed before this one in the record, 0 if none.
  std::uint32_t previousVideoChannel = 0;
  std::uint32_t type = 0;
  char name[kChannelTextSize] = {};
  char options[kChannelTextSize] = {};
  char codec[kChannelTextSize] = {};
};
static_assert(sizeof(ChannelRecord) == 616, "pins copy channel records as 616-byte units");

}  // namespace vesk::input
