// Reads a whole recording and tells what it holds: the configuration of its
// first channel description, its index positions and its data per channel.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "audio/audio_channel_format.h"
#include "input/camera_size.h"
#include "input/packet.h"
#include "vesk/com.h"

namespace vesk::probe {

struct ChannelTotals {
  std::uint64_t packets = 0;
  std::uint64_t bytes = 0;
};

// One channel of the first channel description, with its own format.
struct ChannelInfo {
  std::uint8_t number = 0;
  std::uint32_t type = 0;  // 1 video, 2 audio, 4 text, 16 status
  std::string name;        // as recorded: Windows-1251
  std::string codec;
  input::CameraSize cameraSize;        // video
  audio::AudioChannelFormat sound;     // audio
};

struct ProbeResult {
  // S_OK: the whole file was read. Otherwise `error` says why reading stopped
  // and `stoppedAt` where; what was read before that is still summarised.
  HRESULT status = S_OK;
  std::string error;
  std::uint64_t stoppedAt = 0;

  std::string configReport;  // of the first channel description
  std::vector<ChannelInfo> channelList;  // likewise, in channel-number order
  std::uint32_t channelDescriptions = 0;
  std::uint32_t indexPositions = 0;
  std::uint32_t firstTime = 0;
  std::uint32_t lastTime = 0;
  std::map<std::uint8_t, ChannelTotals> channels;
};

// Called for every packet with the byte offset where it began.
using PacketVisitor = std::function<void(std::uint64_t offset, const input::Packet& packet)>;

ProbeResult ProbeRecording(const std::string& path, const PacketVisitor& visit = {});
// Reads only as far as the first channel description: the configuration and
// the channels, with no index or data summary.
ProbeResult ProbeConfiguration(const std::string& path);

// Every channel with its own format, one a line under "Channels:".
std::string FormatChannels(const std::vector<ChannelInfo>& channels);
// "audio channels 8 (8000 Hz, 8 bits, mono) and 9 (48000 Hz, 16 bits,
// stereo) differ" for the first two audio channels of different formats;
// empty when they all agree.
std::string AudioFormatsDiffer(const std::vector<ChannelInfo>& channels);

// The summary vesk-probe prints after the configuration report: every
// channel with its own format, the index and the data per channel.
std::string FormatSummary(const ProbeResult& result);
// All of it as one JSON object, texts in UTF-8.
std::string FormatJson(const std::string& path, const ProbeResult& result);
// One line describing a packet, for `--packets`.
std::string FormatPacketLine(std::uint64_t offset, const input::Packet& packet);

}  // namespace vesk::probe
