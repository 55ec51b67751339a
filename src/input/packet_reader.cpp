#include "input/packet_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/little_endian.h"
#include "platform/debug_trace.h"

namespace vesk::input {
namespace {

using platform::LoadLe16;
using platform::LoadLe32;
using platform::Trace;

enum class FieldRead { kRead, kFailed, kEnded };

// Reads a fixed-size field. A source cut inside the field gives what it had,
// the rest reads as zero bytes; only a read with no bytes at all is the end.
FieldRead ReadField(ByteSource& source, std::uint8_t* field, std::uint32_t size) {
  std::uint32_t got = 0;
  if (FAILED(source.Read(field, size, &got))) return FieldRead::kFailed;
  if (got == 0) return FieldRead::kEnded;
  std::memset(field + got, 0, size - got);
  return FieldRead::kRead;
}

HRESULT FieldReadResult(FieldRead read) {
  Trace("error");
  return read == FieldRead::kFailed ? E_FAIL : S_FALSE;
}

// Passes over payload bytes the reader has no room for.
HRESULT DiscardBytes(ByteSource& source, std::uint32_t count) {
  if (!source.IsInternet()) return source.Skip(count);
  std::uint8_t sink[4096];
  while (count > 0) {
    std::uint32_t got = 0;
    HRESULT hr = source.Read(sink, std::min<std::uint32_t>(count, sizeof sink), &got);
    if (FAILED(hr)) return hr;
    if (got == 0) break;
    count -= got;
  }
  return S_OK;
}

}  // namespace

HRESULT PacketReader::ReadPacket(ByteSource& source, PacketPtr* out, ReadMode mode) {
  if (!out) return E_FAIL;
  out->Reset();
  lastPacketCut_ = false;
  const bool withData = mode == ReadMode::kWithData;

  PacketPtr packet;
  std::uint32_t fragments = 1;  // 0 once the packet is complete
  std::uint32_t accumulated = 0;
  int previousChannel = -1;

  for (;;) {
    std::uint8_t headerBytes[4];
    if (FieldRead read = ReadField(source, headerBytes, 4); read != FieldRead::kRead)
      return FieldReadResult(read);
    const std::uint32_t header = LoadLe32(headerBytes);
    Trace("1---- Packet %d begin,\n Mark = 0x%08x", static_cast<int>(fragments), header);

    std::uint32_t payloadLength = 0;
    bool payloadUnread = true;

    if (header == kChannelDescriptionMark || header == kIndexPositionMark) {
      if (fragments > 1) {
        Trace("clean");
        packet.Reset();
        accumulated = 0;
      }
      fragments = 0;
      if (header == kChannelDescriptionMark) {
        // Length and reserved bytes are read one after the other: a stream
        // cut right after the length ends here instead of passing for a
        // description with no payload.
        std::uint8_t length[2], reserved[2];
        for (auto [field, size] : {std::pair{length, 2u}, std::pair{reserved, 2u}})
          if (FieldRead read = ReadField(source, field, size); read != FieldRead::kRead)
            return FieldReadResult(read);
        payloadLength = LoadLe16(length);
        packet.Reset(Packet::Create(PacketKind::kChannelDescription, payloadLength, withData));
        if (!packet) return E_OUTOFMEMORY;
        Trace("  Channel descripion:  length = %d\n", static_cast<int>(payloadLength));
      } else {
        // Time and previous length are read one after the other: an index
        // position cut inside them is an end, never an entry with a made-up time.
        std::uint8_t time[4], prevLength[4];
        for (auto [field, size] : {std::pair{time, 4u}, std::pair{prevLength, 4u}})
          if (FieldRead read = ReadField(source, field, size); read != FieldRead::kRead)
            return FieldReadResult(read);
        packet.Reset(Packet::Create(PacketKind::kIndexPosition, 0, false));
        if (!packet) return E_OUTOFMEMORY;
        packet->time = LoadLe32(time);
        packet->prevLength = LoadLe32(prevLength);
        Trace("  Index position: Time = 0x%08x, prevLength = 0x%08x\n", packet->time,
              packet->prevLength);
      }
    } else {
      const FragmentHeader fragment = FragmentHeader::Decode(header);
      const std::uint8_t c = fragment.channel;
      payloadLength = fragment.length;
      Trace("  DATA: length = %d, channel = %d, flags = 0x%02x", static_cast<int>(fragment.length),
            static_cast<int>(c), static_cast<unsigned>(fragment.first + 2 * fragment.last));

      if (fragments > 1 && (fragment.first || c != previousChannel)) {
        Trace("clean");
        packet.Reset();
        accumulated = 0;
        fragments = 1;
      }
      if (fragments == 1 && !fragment.first) {
        Trace("error1");
        return E_FAIL;
      }

      bool grown = false;
      if (packet && withData && payloadLength > 0) {
        // A continuation: one new packet holds the bytes so far and room for these.
        PacketPtr larger(Packet::Create(PacketKind::kData, packet->capacity + payloadLength, true));
        if (!larger) return E_OUTOFMEMORY;
        larger->length = accumulated + payloadLength;
        larger->kind = packet->kind;
        larger->flagByte = packet->flagByte;
        larger->channel = packet->channel;
        larger->status[c] = packet->status[c];
        std::memcpy(larger->data, packet->data, accumulated);
        packet = std::move(larger);
        grown = true;
      }
      const bool started = !packet;
      if (started) {
        packet.Reset(Packet::Create(PacketKind::kData, payloadLength, withData));
        if (!packet) return E_OUTOFMEMORY;
        packet->flagByte = fragment.flagByte;
        packet->channel = c;
        packet->status[c] = Activity(c);
      }

      if (c == statusChannel_ && (started || grown) && payloadLength > 0) {
        HRESULT hr = ReadStatusPayload(source, *packet, payloadLength, accumulated, grown, mode);
        if (hr != S_OK) return hr;
        payloadUnread = false;
      }

      ++fragments;
      previousChannel = c;
      if (fragment.last) fragments = 0;
    }

    if (withData) {
      const std::uint32_t offset = accumulated;
      accumulated += payloadLength;
      if (payloadLength > 0 && payloadUnread) {
        Trace(source.IsInternet() ? "************ 3.0.0 bInternet" : "************ 3.0.1 ReadFile");
        std::uint32_t got = 0;
        if (FAILED(source.Read(packet->data + offset, payloadLength, &got))) return E_FAIL;
        if (got == 0) {
          Trace("error4");
          return S_FALSE;
        }
        if (got < payloadLength) {
          // The source ended inside the payload: keep the bytes that are there.
          accumulated = offset + got;
          packet->length = accumulated;
          lastPacketCut_ = true;
        }
        packet->data[offset + got] = 0;
      }
    } else if (payloadLength > 0 && payloadUnread) {
      if (FAILED(source.Skip(payloadLength))) return E_FAIL;
    }

    if (fragments == 0) {
      Trace("Packets readed");
      *out = std::move(packet);
      return S_OK;
    }
  }
}

// Each status fragment is a whole status payload. Only its first 600 bytes fit
// the table; the rest is passed over so the stream stays in step.
HRESULT PacketReader::ReadStatusPayload(ByteSource& source, Packet& packet, std::uint32_t length,
                                        std::uint32_t dataOffset, bool continuation,
                                        ReadMode mode) {
  const std::uint32_t kept = std::min(length, kStatusPayloadMax);
  std::uint32_t got = 0;
  HRESULT hr = source.Read(scratch_, kept, &got);
  if (SUCCEEDED(hr) && got == kept && length > kept)
    hr = DiscardBytes(source, length - kept);
  if (FAILED(hr)) {
    Trace(continuation ? "error3.1" : "error2.1");
    return E_FAIL;
  }
  if (got == 0) {
    Trace(continuation ? "error3.2" : "error2.2");
    return S_FALSE;
  }
  if (got > kStatusEntriesOffset) {
    const std::uint32_t entries = got - kStatusEntriesOffset;
    std::memcpy(packet.status, scratch_ + kStatusEntriesOffset, entries);
    std::memcpy(statusTable_ + kStatusEntriesOffset, scratch_ + kStatusEntriesOffset, entries);
  }
  if (mode == ReadMode::kWithData) {
    std::memcpy(packet.data + dataOffset, scratch_, got);
    std::memset(packet.data + dataOffset + got, 0, length - got);
  }
  return S_OK;
}

}  // namespace vesk::input
