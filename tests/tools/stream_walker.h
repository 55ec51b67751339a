// Splits a written stream into its packets by the header words alone, so the
// writer's tests check the layout without the player's reader.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/little_endian.h"
#include "input/stream_format.h"

namespace vesk::mkrec::testing {

struct WalkedPacket {
  enum Kind { kDescription, kIndex, kFragment } kind;
  std::size_t offset = 0;
  input::FragmentHeader fragment;     // for kFragment
  std::uint32_t time = 0;             // for kIndex
  std::uint32_t prevLength = 0;       // for kIndex
  std::vector<std::uint8_t> payload;  // record or fragment payload
};

// Empty when the stream does not split cleanly into whole packets.
inline std::vector<WalkedPacket> WalkStream(const std::vector<std::uint8_t>& bytes) {
  std::vector<WalkedPacket> packets;
  std::size_t at = 0;
  while (at < bytes.size()) {
    if (bytes.size() - at < 4) return {};
    const std::uint8_t* p = bytes.data() + at;
    const std::uint32_t word = platform::LoadLe32(p);
    WalkedPacket packet{WalkedPacket::kFragment, at, {}, 0, 0, {}};
    std::size_t head = 4;
    std::size_t length = 0;
    if (word == input::kChannelDescriptionMark) {
      if (bytes.size() - at < 8) return {};
      packet.kind = WalkedPacket::kDescription;
      head = 8;
      length = platform::LoadLe16(p + 4);
    } else if (word == input::kIndexPositionMark) {
      if (bytes.size() - at < 12) return {};
      packet.kind = WalkedPacket::kIndex;
      packet.time = platform::LoadLe32(p + 4);
      packet.prevLength = platform::LoadLe32(p + 8);
      head = 12;
    } else {
      packet.fragment = input::FragmentHeader::Decode(word);
      length = packet.fragment.length;
    }
    if (bytes.size() - at - head < length) return {};
    packet.payload.assign(p + head, p + head + length);
    packets.push_back(std::move(packet));
    at += head + length;
  }
  return packets;
}

}  // namespace vesk::mkrec::testing
