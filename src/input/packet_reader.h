// Pulls one complete packet at a time out of a byte source: reassembles
// fragmented data packets, follows the status channel's activity table, and
// stops at the first bytes that break the format instead of hunting for the
// next header.
#pragma once

#include <cstdint>

#include "input/byte_source.h"
#include "input/packet.h"
#include "input/stream_format.h"

namespace vesk::input {

enum class ReadMode {
  kWithData,     // payloads are read into the packets
  kHeadersOnly,  // payloads are skipped; packets carry no buffer (local files only)
};

// The recorder's own reader kept the status channel number and the status table
// once for the whole process. Here every filter owns its reader, so two
// recordings played at once never see each other's activity. One thread at a
// time uses a reader: the index scan at Load, then the filter's producer.
class PacketReader {
 public:
  // S_OK and one packet owned by the caller; 1 (S_FALSE) when the data ended
  // or the packet under construction was abandoned there; E_FAIL when a read
  // failed or the stream broke the format. `out` is empty unless S_OK.
  HRESULT ReadPacket(ByteSource& source, PacketPtr* out, ReadMode mode);

  // True when the data ended inside the payload of the last packet returned,
  // which then holds only the bytes that were there.
  bool LastPacketCut() const { return lastPacketCut_; }

  // The channel whose payloads carry the activity table, or kNoStatusChannel.
  static constexpr int kNoStatusChannel = -1;
  void SetStatusChannel(int channel) { statusChannel_ = channel; }
  int StatusChannel() const { return statusChannel_; }

  // The activity of a channel as the status channel last reported it.
  std::uint8_t Activity(std::uint8_t channel) const {
    return statusTable_[StatusActivityOffset(channel)];
  }

 private:
  // A packet's length is 32 bits, and its buffer holds four bytes more.
  static constexpr std::uint64_t kMaxPacketLength = 0xFFFFFFFFull - 4;

  HRESULT MakeRoom(PacketPtr& packet, std::uint32_t accumulated, std::uint32_t payloadLength,
                   std::uint8_t channel);
  HRESULT ReadStatusPayload(ByteSource& source, Packet& packet, std::uint32_t length,
                            std::uint32_t dataOffset, bool continuation, ReadMode mode);

  // No channel is taken for the status channel until a configuration names
  // one: channel 0 is usually a camera, and reading a camera's pictures as
  // status payloads would lose them.
  int statusChannel_ = kNoStatusChannel;
  bool lastPacketCut_ = false;
  // Image of the last status payload: byte j is payload byte j (j >= 4).
  std::uint8_t statusTable_[kStatusPayloadMax] = {};
  std::uint8_t scratch_[kStatusPayloadMax] = {};
};

}  // namespace vesk::input
