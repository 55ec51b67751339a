#include "probe/recording_probe.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

#include "input/file_source.h"
#include "input/packet_reader.h"
#include "input/stream_configuration.h"
#include "input/stream_time.h"
#include "vesk/report_text.h"

namespace vesk::probe {
namespace {

// The probe has no pins: it only keeps the reader following the status channel.
class ProbeListener final : public input::ConfigurationListener {
 public:
  explicit ProbeListener(input::PacketReader& reader) : reader_(reader) {}
  void SetVideoChannelDescription(const input::ChannelRecord&) override {}
  void SetAudioChannelDescription(const input::ChannelRecord&) override {}
  void SetStatusChannel(int channel) override { reader_.SetStatusChannel(channel); }
  void ConfigurationParsed() override {}

 private:
  input::PacketReader& reader_;
};

constexpr std::uint32_t kReportSize = 64 * 1024;

std::string Format(const char* format, auto... args) {
  char line[256];
  std::snprintf(line, sizeof line, format, args...);
  return line;
}

std::vector<ChannelInfo> ChannelsOf(const input::StreamConfiguration& configuration) {
  std::vector<ChannelInfo> channels;
  for (int number = 0; number < input::kChannelCount; ++number) {
    if (!configuration.IsChannelPresent(number)) continue;
    const input::ChannelRecord& record = configuration.Channel(number);
    ChannelInfo channel;
    channel.number = static_cast<std::uint8_t>(number);
    channel.type = record.type;
    channel.name = record.name;
    channel.codec = record.codec;
    if (record.type == input::kChannelVideo) channel.cameraSize = input::CameraSizeFromOptions(record.options);
    if (record.type == input::kChannelAudio) channel.sound = audio::AudioChannelFormat::FromOptions(record.options);
    channels.push_back(std::move(channel));
  }
  return channels;
}

const char* KindOf(std::uint32_t type) {
  switch (type) {
    case input::kChannelVideo: return "video";
    case input::kChannelAudio: return "audio";
    case input::kChannelText: return "text";
    default: return "status";
  }
}

// What a channel carries, in words: the camera size, or the sound's own format.
std::string FormatOf(const ChannelInfo& channel) {
  if (channel.type == input::kChannelVideo)
    return channel.cameraSize.Given() ? Format("%ux%u", channel.cameraSize.width, channel.cameraSize.height)
                                      : "no camera size";
  if (channel.type != input::kChannelAudio) return "";
  if (channel.sound.noSound) return "no sound";
  return Format("%u Hz, %u bits, %s", channel.sound.rate, static_cast<unsigned>(channel.sound.bits),
                channel.sound.channels == 2 ? "stereo" : "mono");
}

// A UTF-8 text as a JSON string.
std::string JsonString(const std::string& text) {
  std::string quoted = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    if (c < 0x20)
      quoted += Format("\\u%04x", c);
    else
      quoted += static_cast<char>(c);
  }
  return quoted + "\"";
}

// A text as the recorder wrote it (Windows-1251) as a JSON string.
std::string JsonRecordedText(const std::string& text) { return JsonString(ReportTextForTerminal(text)); }

void Stop(ProbeResult& result, HRESULT status, std::uint64_t offset, std::string why) {
  result.status = status;
  result.stoppedAt = offset;
  result.error = std::move(why) + Format(" at byte %" PRIu64, offset);
}

}  // namespace

namespace {

ProbeResult Probe(const std::string& path, const PacketVisitor& visit, bool firstDescriptionOnly) {
  ProbeResult result;
  input::FileSource source;
  if (HRESULT hr = source.Open(path); FAILED(hr)) {
    result.status = hr;
    result.error = hr == HRESULT_FROM_WIN32(2) ? "no such file" : "cannot open the file";
    return result;
  }
  input::PacketReader reader;
  ProbeListener listener(reader);
  input::StreamConfiguration configuration(&listener);

  for (;;) {
    const std::uint64_t offset = source.Position();
    input::PacketPtr packet;
    const HRESULT hr = reader.ReadPacket(source, &packet, input::ReadMode::kWithData);
    if (hr == S_FALSE) {
      if (offset == 0) {
        Stop(result, E_FAIL, 0, "empty file: not a recorder stream");
      } else if (source.Position() != offset) {
        Stop(result, E_FAIL, offset, "the recording is cut short inside the packet beginning");
      }
      return result;
    }
    if (FAILED(hr)) {
      if (offset == 0)
        Stop(result, hr, 0, "not a recorder stream: no channel description");
      else
        Stop(result, hr, source.Position(), "the stream breaks the recorder format: reading stopped");
      return result;
    }
    if (offset == 0 && packet->kind != input::PacketKind::kChannelDescription) {
      Stop(result, E_FAIL, 0, "not a recorder stream: no channel description");
      return result;
    }
    if (visit) visit(offset, *packet);
    if (reader.LastPacketCut()) {
      Stop(result, E_FAIL, offset, "the recording is cut short inside the packet beginning");
      return result;
    }

    switch (packet->kind) {
      case input::PacketKind::kChannelDescription:
        // The filter refuses a recording whose first description does not
        // parse; later ones are taken as the stream brings them.
        if (FAILED(configuration.ParseConfiguration(packet->data, packet->length)) && offset == 0) {
          Stop(result, E_FAIL, 0, "not a recorder stream: its channel description has an entry cut short");
          return result;
        }
        if (result.channelDescriptions++ == 0) {
          std::vector<char> report(kReportSize);
          configuration.GetConfigReport(report.data(), kReportSize, input::PinReport{});
          result.configReport = report.data();
          result.channelList = ChannelsOf(configuration);
          if (firstDescriptionOnly) return result;
        }
        break;
      case input::PacketKind::kIndexPosition:
        if (result.indexPositions++ == 0) result.firstTime = packet->time;
        result.lastTime = packet->time;
        break;
      default: {
        ChannelTotals& totals = result.channels[packet->channel];
        ++totals.packets;
        totals.bytes += packet->length;
        break;
      }
    }
  }
}

}  // namespace

ProbeResult ProbeRecording(const std::string& path, const PacketVisitor& visit) { return Probe(path, visit, false); }

ProbeResult ProbeConfiguration(const std::string& path) { return Probe(path, {}, true); }

std::string FormatChannels(const std::vector<ChannelInfo>& channels) {
  std::string text = "Channels:\n";
  for (const ChannelInfo& channel : channels) {
    const std::string format = FormatOf(channel);
    text += Format("  0x%x: %s", static_cast<unsigned>(channel.number), KindOf(channel.type));
    if (!format.empty()) text += ", " + format;
    text += "\n";
  }
  return text;
}

std::string AudioFormatsDiffer(const std::vector<ChannelInfo>& channels) {
  const ChannelInfo* first = nullptr;
  for (const ChannelInfo& channel : channels) {
    if (channel.type != input::kChannelAudio) continue;
    if (!first) {
      first = &channel;
    } else if (FormatOf(channel) != FormatOf(*first)) {
      return Format("audio channels %u (%s) and %u (%s) differ", static_cast<unsigned>(first->number),
                    FormatOf(*first).c_str(), static_cast<unsigned>(channel.number), FormatOf(channel).c_str());
    }
  }
  return "";
}

std::string FormatSummary(const ProbeResult& result) {
  std::string text = FormatChannels(result.channelList);
  text += Format("Channel descriptions: %u\n", result.channelDescriptions);
  text += Format("Index positions: %u\n", result.indexPositions);
  if (result.indexPositions > 0) {
    text += "First time: " + input::FormatStreamTime(result.firstTime) + "\n";
    text += "Last time: " + input::FormatStreamTime(result.lastTime) + "\n";
    const std::int64_t duration =
        static_cast<std::int64_t>(result.lastTime) - static_cast<std::int64_t>(result.firstTime);
    text += Format("Duration: %" PRId64 " seconds\n", duration);
  }
  text += "Data packets per channel:\n";
  for (const auto& [channel, totals] : result.channels)
    text += Format("  channel 0x%x: %" PRIu64 " packets, %" PRIu64 " bytes\n",
                   static_cast<unsigned>(channel), totals.packets, totals.bytes);
  return text;
}

std::string FormatPacketLine(std::uint64_t offset, const input::Packet& packet) {
  switch (packet.kind) {
    case input::PacketKind::kChannelDescription:
      return Format("%10" PRIu64 "  description  length %u", offset, packet.length);
    case input::PacketKind::kIndexPosition:
      return Format("%10" PRIu64 "  index        time %s  prevLength %u", offset,
                    input::FormatStreamTime(packet.time).c_str(), packet.prevLength);
    default:
      return Format("%10" PRIu64 "  data         channel 0x%02x  length %u  flags 0x%02x", offset,
                    static_cast<unsigned>(packet.channel), packet.length,
                    static_cast<unsigned>(packet.flagByte));
  }
}

std::string FormatJson(const std::string& path, const ProbeResult& result) {
  std::string json = "{\n  \"file\": " + JsonString(path) + ",\n";
  json += "  \"complete\": " + std::string(SUCCEEDED(result.status) ? "true" : "false") + ",\n";
  if (FAILED(result.status))
    json += "  \"error\": " + JsonString(result.error) + ",\n" +
            Format("  \"stopped_at\": %" PRIu64 ",\n", result.stoppedAt);
  json += "  \"channels\": [";
  const char* separator = "\n";
  for (const ChannelInfo& channel : result.channelList) {
    json += separator + Format("    {\"number\": %u, \"kind\": \"%s\", \"name\": ", static_cast<unsigned>(channel.number),
                               KindOf(channel.type)) +
            JsonRecordedText(channel.name) + ", \"codec\": " + JsonRecordedText(channel.codec);
    if (channel.type == input::kChannelVideo)
      json += Format(", \"width\": %u, \"height\": %u", channel.cameraSize.width, channel.cameraSize.height);
    if (channel.type == input::kChannelAudio) {
      if (channel.sound.noSound)
        json += ", \"sound\": false";
      else
        json += Format(", \"sample_rate\": %u, \"bits\": %u, \"audio_channels\": %u", channel.sound.rate,
                       static_cast<unsigned>(channel.sound.bits), static_cast<unsigned>(channel.sound.channels));
    }
    auto totals = result.channels.find(channel.number);
    json += Format(", \"packets\": %" PRIu64 ", \"bytes\": %" PRIu64 "}",
                   totals == result.channels.end() ? 0 : totals->second.packets,
                   totals == result.channels.end() ? 0 : totals->second.bytes);
    separator = ",\n";
  }
  json += std::string(result.channelList.empty() ? "" : "\n  ") + "],\n";
  json += Format("  \"channel_descriptions\": %u,\n  \"index_positions\": %u", result.channelDescriptions,
                 result.indexPositions);
  if (result.indexPositions > 0)
    json += ",\n  \"first_time\": " + JsonString(input::FormatStreamTime(result.firstTime)) +
            ",\n  \"last_time\": " + JsonString(input::FormatStreamTime(result.lastTime)) +
            Format(",\n  \"first_seconds\": %u,\n  \"duration_seconds\": %" PRId64, result.firstTime,
                   static_cast<std::int64_t>(result.lastTime) - static_cast<std::int64_t>(result.firstTime));
  return json + "\n}\n";
}

}  // namespace vesk::probe
