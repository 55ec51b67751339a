// The recorder's byte stream: a plain concatenation of packets, little-endian,
// each beginning with a 32-bit header word that selects its kind.
#pragma once

#include <cstdint>

namespace vesk::input {

constexpr std::uint32_t kChannelDescriptionMark = 0xA505A5A5;
constexpr std::uint32_t kIndexPositionMark = 0xA5A5A505;

constexpr std::uint32_t kMaxFragmentPayload = 0xFFFF;
constexpr std::uint8_t kFlagByteMask = 0x3F;

// The channel number byte that ends a configuration's channel list; never a data channel.
constexpr std::uint8_t kChannelListEnd = 0xA5;

// Channel types of the configuration record.
enum ChannelType : std::uint32_t {
  kChannelVideo = 1,
  kChannelAudio = 2,
  kChannelText = 4,
  kChannelStatus = 16,
};

// A status payload: 4 bytes not interpreted, then (channel, activity) byte pairs.
constexpr std::uint32_t kStatusPayloadMax = 600;
constexpr std::uint32_t kStatusEntriesOffset = 4;
constexpr std::uint32_t StatusActivityOffset(std::uint8_t channel) { return 5u + 2u * channel; }

// The header word of a data fragment, as a bit field.
struct FragmentHeader {
  std::uint16_t length = 0;
  std::uint8_t flagByte = 0;  // six bits; bit 0 is the mark flag
  bool last = false;
  bool first = false;
  std::uint8_t channel = 0;

  static FragmentHeader Decode(std::uint32_t word) {
    FragmentHeader h;
    h.length = static_cast<std::uint16_t>(word & 0xFFFF);
    h.flagByte = static_cast<std::uint8_t>((word >> 16) & kFlagByteMask);
    h.last = (word >> 22) & 1;
    h.first = (word >> 23) & 1;
    h.channel = static_cast<std::uint8_t>(word >> 24);
    return h;
  }

  std::uint32_t Encode() const {
    return static_cast<std::uint32_t>(length) |
           (static_cast<std::uint32_t>(flagByte & kFlagByteMask) << 16) |
           (static_cast<std::uint32_t>(last) << 22) | (static_cast<std::uint32_t>(first) << 23) |
           (static_cast<std::uint32_t>(channel) << 24);
  }
};

}  // namespace vesk::input
